#include "runtime/platform/standard_io.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

size_t ReadStandard(int fd, char* buffer, size_t n) {
  for (;;) {
    const ssize_t got = read(fd, buffer, n);
    if (got > 0) return static_cast<size_t>(got);
    if (got < 0 && errno == EINTR) continue;
    return 0;
  }
}

void ReturnUnread(int fd, size_t n) {
  if (n > 0) lseek(fd, -static_cast<off_t>(n), SEEK_CUR);
}

bool WriteStandard(int fd, const char* bytes, size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, bytes, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    bytes += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

#if !defined(__EMSCRIPTEN__)
// (Emscripten's isatty says yes to pipes and files too: the web platform asks
// node instead, in web/process.cpp.)
bool IsTerminal(int fd) { return isatty(fd) == 1; }
#endif

}  // namespace platform
