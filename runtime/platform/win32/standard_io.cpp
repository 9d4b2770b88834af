#include "runtime/platform/standard_io.h"

#include <io.h>

namespace platform {

// The descriptors are the C library's, in binary mode (PrepareProcess sets
// the standard ones so): no CR LF translation, no end-of-file byte.
int ReadStandardByte(int fd) {
  unsigned char b;
  return _read(fd, &b, 1) == 1 ? b : -1;
}

bool WriteStandard(int fd, const char* bytes, size_t n) {
  while (n > 0) {
    int w = _write(fd, bytes, static_cast<unsigned>(n > 0x40000000 ? 0x40000000 : n));
    if (w <= 0) return false;
    bytes += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool IsTerminal(int fd) { return _isatty(fd) != 0; }

}  // namespace platform
