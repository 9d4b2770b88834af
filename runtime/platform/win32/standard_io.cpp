#include "runtime/platform/standard_io.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace platform {
namespace {

// The descriptors are the C library's, put in binary mode before their
// first use here: no CR LF translation, no end-of-file byte.
void Binary(int fd) {
  static bool done[3] = {};
  if (fd >= 0 && fd < 3 && !done[fd]) {
    _setmode(fd, _O_BINARY);
    done[fd] = true;
  }
}

}  // namespace

size_t ReadStandard(int fd, char* buffer, size_t n) {
  Binary(fd);
  const int got = _read(fd, buffer, static_cast<unsigned>(n > 0x40000000 ? 0x40000000 : n));
  return got > 0 ? static_cast<size_t>(got) : 0;
}

void ReturnUnread(int fd, size_t n) {
  if (n > 0) _lseeki64(fd, -static_cast<__int64>(n), SEEK_CUR);
}

bool WriteStandard(int fd, const char* bytes, size_t n) {
  Binary(fd);
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
