// Window messages and virtual keys, with the values the run-time's window
// procedure was written against. Display backends turn their native events
// into these messages.
#pragma once

#include <cstdint>

namespace platform {

using WindowHandle = uint32_t;  // 0: no window

struct Message {
  WindowHandle window = 0;
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
};

enum MessageId : uint32_t {
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_COMMAND = 0x0111,
  WM_SYSCOMMAND = 0x0112,
  WM_HSCROLL = 0x0114,
  WM_VSCROLL = 0x0115,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MBUTTONDBLCLK = 0x0209,
  WM_MOUSEWHEEL = 0x020A,
  WM_HELP = 0x0053,
  WM_SETFONT = 0x0030,
  WM_COMPACTING = 0x0041,
  WM_GETFONT = 0x0031,
  WM_COPY = 0x0301,
  WM_USER = 0x0400,
  WM_USER_SET_COPY_FORMAT = 0x0401,  // WM_USER + 1
};

// The keyboard messages: the range that the interrupt-only pump serves.
inline constexpr uint32_t kFirstKeyMessage = 0x0100;
inline constexpr uint32_t kLastKeyMessage = 0x0108;

enum VirtualKey : uint32_t {
  VK_BACK = 0x08,
  VK_CLEAR = 0x0C,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_EXECUTE = 0x2B,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_F1 = 0x70,
  VK_F10 = 0x79,
  VK_F12 = 0x7B,
};

// Scroll-bar requests (wParam of WM_VSCROLL and WM_HSCROLL).
enum ScrollRequest : uint32_t {
  SB_LINEUP = 0,
  SB_LINEDOWN = 1,
  SB_PAGEUP = 2,
  SB_PAGEDOWN = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
};

// System commands of the copy menu.
inline constexpr uint32_t kCommandCopyText = 103;
inline constexpr uint32_t kCommandCopyImage = 104;

}  // namespace platform
