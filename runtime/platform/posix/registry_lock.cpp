// The store's lock: flock on a file of its own beside the store, waited for
// a few seconds at most.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/platform/posix/registry_file.h"

namespace platform {
namespace {

volatile sig_atomic_t holder = 0;  // the thread of this process that holds the lock, or 0
volatile sig_atomic_t gaveUp = 0;  // a wait has already run out once

int ThisThread() { return static_cast<int>(gettid()); }

// Signals wait while the lock and the record of its holder change together,
// so that a signal's handler never sees the one without the other.
struct SignalsHeld {
  sigset_t before;
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before, nullptr); }
};

long long NowMilliseconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

}  // namespace

int LockStore(const char* lockPath) {
  int fd = open(lockPath, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  const long long deadline = NowMilliseconds() + (gaveUp ? 0 : kStoreLockWait * 1000LL);
  for (;;) {
    int e;
    {
      SignalsHeld held;
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        holder = ThisThread();
        return fd;
      }
      e = errno;
    }
    if ((e != EWOULDBLOCK && e != EINTR) || NowMilliseconds() >= deadline) {
      close(fd);
      if (e == EWOULDBLOCK) gaveUp = 1;
      errno = e == EWOULDBLOCK ? ETIMEDOUT : e;
      return -1;
    }
    const timespec pause{0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
}

void ReleaseStore(int lockFd) {
  if (lockFd < 0) return;
  SignalsHeld held;
  close(lockFd);  // closing drops the lock
  holder = 0;
}

bool StoreLockHeld() { return holder != 0 && holder == ThisThread(); }

}  // namespace platform
