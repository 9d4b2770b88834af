// The process's standard streams (0 input, 1 output, 2 errors), or other
// descriptors a test gives, read and written without the C library's
// buffering or text translation.
#pragma once

#include <cstddef>

namespace platform {

// What one read gives, at most n bytes (as many as are there, waiting only
// when there are none): their count, or 0 at the end of the input or when
// it fails. An interrupted read is retried.
size_t ReadStandard(int fd, char* buffer, size_t n);
// Gives back the last n bytes read, where the input can be repositioned (a
// file), for whatever reads it after the program; from a pipe they are gone.
void ReturnUnread(int fd, size_t n);
// All the bytes; false when the stream is gone.
bool WriteStandard(int fd, const char* bytes, size_t n);
bool IsTerminal(int fd);

}  // namespace platform
