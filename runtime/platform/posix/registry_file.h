// The files of a registry store, with plain system calls only, so that the
// fatal-signal report can write through them as well as the run-time.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace platform {

// Takes the lock beside the store (a regular file of its own, never
// followed through a link, never waited on to open). Another process may
// hold it, even one stopped with Ctrl+Z, so the wait is bounded: -1 with
// errno ETIMEDOUT when it stayed taken for kStoreLockWait seconds (after
// one such wait the process waits no more), -1 with another errno when it
// cannot be had at all. Release closes it. Async-signal-safe.
constexpr int kStoreLockWait = 3;
int LockStore(const char* lockPath);
void ReleaseStore(int lockFd);
// Whether the calling thread holds the lock now (a fatal signal's report
// must not wait for its own thread; another thread of the process that holds
// it goes on and lets it go). Async-signal-safe.
bool StoreLockHeld();

// Reads the whole store into the buffer: its size, 0 for a store that does
// not exist yet, -1 when it cannot be read, is not a regular file (never
// waiting to open a FIFO) or does not fit. The store's mode
// (0600 for a new one) comes back too.
long ReadStore(const char* path, char* buffer, size_t capacity, mode_t& mode);

// Writes the bytes to the new temporary file already created exclusively
// (fd), makes them durable, gives the file `mode` and renames it over the
// target. On failure the temporary file is removed and the store is as it
// was.
bool ReplaceStore(const char* target, int fd, const char* temporary, const char* bytes, size_t n, mode_t mode);

}  // namespace platform
