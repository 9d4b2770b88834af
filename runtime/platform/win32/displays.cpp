// The displays on Windows: the stream and the real window. There is no
// terminal display: a console program's window is the stream.
#include "runtime/platform/display.h"  // before windows.h, whose macros share the message names

#include <windows.h>

namespace platform {

std::unique_ptr<Display> CreateTerminalDisplay(std::string& problem) {
  problem = "there is no terminal display on Windows";
  return nullptr;
}

void NoticeOnDesktop(const std::string&) {}  // the window always opens here

// A window station that shows windows (not a service's).
bool DesktopReachable() {
  USEROBJECTFLAGS flags{};
  HWINSTA station = GetProcessWindowStation();
  if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace platform
