// The files of a registry store, with plain system calls only, so that the
// fatal-signal report can write through them as well as the run-time.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace platform {

// Takes the lock beside the store (a file of its own, never followed
// through a link); -1 when it cannot be had. Release closes it.
int LockStore(const char* lockPath);
void ReleaseStore(int lockFd);

// Reads the whole store into the buffer: its size, 0 for a store that does
// not exist yet, -1 when it cannot be read or does not fit. The store's mode
// (0600 for a new one) comes back too.
long ReadStore(const char* path, char* buffer, size_t capacity, mode_t& mode);

// Writes the bytes to the new temporary file already created exclusively
// (fd), makes them durable, gives the file `mode` and renames it over the
// target. On failure the temporary file is removed and the store is as it
// was.
bool ReplaceStore(const char* target, int fd, const char* temporary, const char* bytes, size_t n, mode_t mode);

}  // namespace platform
