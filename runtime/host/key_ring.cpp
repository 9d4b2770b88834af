#include "runtime/host/key_ring.h"

#include "runtime/core/frame.h"
#include "runtime/platform/messages.h"

namespace host {

using namespace platform;

bool KeyRing::Push(uint8_t code) {
  if (static_cast<uint8_t>(write_ + 1) == read_) {
    if (beep_) beep_();
    return false;
  }
  ring_[write_++] = code;
  return true;
}

uint8_t KeyRing::Take() {
  if (Empty()) return 0;
  return ring_[read_++];
}

void KeyRing::OnKeyDown(uint32_t vk) {
  switch (vk) {
    case VK_CLEAR: Push(12); return;
    case VK_SHIFT: shift_ |= 1; return;
    case VK_CONTROL: shift_ |= 2; return;
    case VK_PRIOR: Push(19); return;
    case VK_NEXT: Push(20); return;
    case VK_END: Push(21); return;
    case VK_HOME: Push(ShiftDown() ? 12 : 11); return;
    case VK_LEFT: Push(29); return;
    case VK_UP: Push(30); return;
    case VK_RIGHT: Push(28); return;
    case VK_DOWN: Push(31); return;
    case VK_EXECUTE: Push(13); return;
    case VK_INSERT: Push(18); return;
    case VK_DELETE: Push(4); return;
    default: break;
  }
  if (vk >= VK_F1 && vk <= VK_F12) {
    int n = static_cast<int>(vk - VK_F1);
    rt::PostEvent(static_cast<uint16_t>(2 + n));
    for (char c : functionKeys[n])
      if (!Push(static_cast<uint8_t>(c))) break;  // one beep, the rest is dropped
  }
}

void KeyRing::OnKeyUp(uint32_t vk) {
  if (vk == VK_SHIFT) shift_ &= ~1;
  if (vk == VK_CONTROL) shift_ &= ~2;
}

void KeyRing::OnChar(uint8_t byte) {
  // Code 0 is no key (a NUL typed, Ctrl+Space): a reader taking it would
  // think the window gone.
  if (byte == 0) return;
  if (byte == 3) rt::PostEvent(rt::kInterruptEvent);
  Push(byte);
}

}  // namespace host
