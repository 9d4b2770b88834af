// The store's lock: flock on a file of its own beside the store, waited for
// a few seconds at most.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/platform/posix/registry_file.h"

namespace platform {
namespace {

volatile sig_atomic_t held = 0;     // this process holds the lock
volatile sig_atomic_t gaveUp = 0;   // a wait has already run out once

long long NowMilliseconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

}  // namespace

int LockStore(const char* lockPath) {
  int fd = open(lockPath, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  const long long deadline = NowMilliseconds() + (gaveUp ? 0 : kStoreLockWait * 1000LL);
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    if ((e != EWOULDBLOCK && e != EINTR) || NowMilliseconds() >= deadline) {
      close(fd);
      if (e == EWOULDBLOCK) gaveUp = 1;
      errno = e == EWOULDBLOCK ? ETIMEDOUT : e;
      return -1;
    }
    const timespec pause{0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  held = 1;
  return fd;
}

void ReleaseStore(int lockFd) {
  if (lockFd < 0) return;
  close(lockFd);  // closing drops the lock
  held = 0;
}

bool StoreLockHeld() { return held != 0; }

}  // namespace platform
