// The store's lock on the web. Emscripten's flock locks nothing, so the lock
// is a file created exclusively beside the store and removed on release;
// several programs under node then still write whole records in turn. A lock
// left behind by a program that died is taken over after ten seconds, so a
// record is never waited for forever; nor is a live holder waited for longer
// than kStoreLockWait seconds.
#include <emscripten.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "runtime/platform/posix/registry_file.h"

namespace platform {
namespace {

std::string held;  // the lock file this program holds

}  // namespace

int LockStore(const char* lockPath) {
  const std::string path = std::string(lockPath) + ".held";
  const double deadline = emscripten_get_now() + kStoreLockWait * 1000.0;
  for (;;) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      held = path;
      return fd;
    }
    if (errno != EEXIST) return -1;
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && std::time(nullptr) - st.st_mtime > 10) unlink(path.c_str());
    if (emscripten_get_now() >= deadline) {
      errno = ETIMEDOUT;
      return -1;
    }
    emscripten_sleep(2);
  }
}

void ReleaseStore(int lockFd) {
  if (lockFd < 0) return;
  close(lockFd);
  if (!held.empty()) unlink(held.c_str());
  held.clear();
}

bool StoreLockHeld() { return !held.empty(); }

}  // namespace platform
