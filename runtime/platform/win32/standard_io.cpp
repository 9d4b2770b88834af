#include "runtime/platform/standard_io.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

namespace platform {
namespace {

bool Valid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }

// The programs are of the windows subsystem, which gets no console of its
// own. Standard handles a parent passed (redirections, pipes) are used as
// they are; the ones missing, in a program started from a console (a command
// prompt), are that console's, so that --help and the stream display reach
// it. Done once, before the first use of a standard descriptor.
void ConnectStandardHandles() {
  static bool done = false;
  if (done) return;
  done = true;
  const DWORD kinds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  bool missing = false;
  for (DWORD kind : kinds) missing = missing || !Valid(GetStdHandle(kind));
  if (!missing || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  for (int fd = 0; fd < 3; ++fd) {
    if (Valid(GetStdHandle(kinds[fd])) && _get_osfhandle(fd) >= 0) continue;
    HANDLE h = CreateFileW(fd == 0 ? L"CONIN$" : L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!Valid(h)) continue;
    SetStdHandle(kinds[fd], h);
    const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(h), fd == 0 ? _O_RDONLY : 0);
    if (opened >= 0 && opened != fd) {
      _dup2(opened, fd);
      _close(opened);
    }
  }
}

// The descriptors are the C library's, put in binary mode before their
// first use here: no CR LF translation, no end-of-file byte.
void Binary(int fd) {
  ConnectStandardHandles();
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

bool IsTerminal(int fd) {
  ConnectStandardHandles();
  return _isatty(fd) != 0;
}

}  // namespace platform
