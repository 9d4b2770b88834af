#include "runtime/platform/standard_io.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

int ReadStandardByte(int fd) {
  unsigned char b;
  for (;;) {
    ssize_t n = read(fd, &b, 1);
    if (n == 1) return b;
    if (n < 0 && errno == EINTR) continue;
    return -1;
  }
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
