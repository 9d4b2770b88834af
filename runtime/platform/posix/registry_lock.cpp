// The store's lock: flock on a file of its own beside the store.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/platform/posix/registry_file.h"

namespace platform {

int LockStore(const char* lockPath) {
  int fd = open(lockPath, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd);
      return -1;
    }
  }
  return fd;
}

void ReleaseStore(int lockFd) {
  if (lockFd >= 0) close(lockFd);  // closing drops the lock
}

}  // namespace platform
