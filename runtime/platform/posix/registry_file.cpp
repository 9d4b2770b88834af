#include "runtime/platform/posix/registry_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "runtime/platform/file_faults.h"
#include "runtime/platform/posix/durable.h"

namespace platform {

long ReadStore(const char* path, char* buffer, size_t capacity, mode_t& mode) {
  mode = 0600;
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno == ENOENT ? 0 : -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  mode = st.st_mode & 07777;
  size_t size = 0;
  for (;;) {
    if (size == capacity) {
      // Full: the store is larger than the buffer unless it ends here.
      char probe;
      ssize_t more = read(fd, &probe, 1);
      close(fd);
      return more == 0 ? static_cast<long>(size) : -1;
    }
    ssize_t n = read(fd, buffer + size, capacity - size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return -1;
    }
    if (n == 0) break;
    size += static_cast<size_t>(n);
  }
  close(fd);
  return static_cast<long>(size);
}

bool ReplaceStore(const char* target, int fd, const char* temporary, const char* bytes, size_t n, mode_t mode) {
  bool ok = true;
  while (ok && n > 0) {
    if (FileFault(FileCall::Write)) {
      ok = false;
      break;
    }
    ssize_t w = write(fd, bytes, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      ok = false;
      break;
    }
    bytes += w;
    n -= static_cast<size_t>(w);
  }
  if (ok) ok = fchmod(fd, mode) == 0;
  if (ok) ok = !FileFault(FileCall::Sync) && SyncToDisk(fd) == 0;
  // Renamed while still open (and locked), so that it never stands
  // unlocked under its temporary name.
  if (ok) ok = !FileFault(FileCall::Rename) && rename(temporary, target) == 0;
  if (ok) NoteFileCall(FileCall::Rename);
  if (!ok) unlink(temporary);
  close(fd);
  if (ok) SyncFolderOf(target);
  return ok;
}

}  // namespace platform
