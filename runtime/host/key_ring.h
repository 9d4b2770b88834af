// The key ring of a window: key messages become byte codes that readers take
// in order. It holds at most 255 codes; a code that does not fit is dropped
// with a beep.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace host {

class KeyRing {
 public:
  // Called for a dropped code.
  void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }

  // WM_KEYDOWN, WM_KEYUP and WM_CHAR of the window.
  void OnKeyDown(uint32_t virtualKey);
  void OnKeyUp(uint32_t virtualKey);
  void OnChar(uint8_t byte);

  bool Push(uint8_t code);
  bool Empty() const { return read_ == write_; }
  // The next code without removing it, or 0.
  uint8_t Peek() const { return Empty() ? 0 : ring_[read_]; }
  uint8_t Take();
  void Clear() { read_ = write_; }
  int Count() const { return static_cast<uint8_t>(write_ - read_); }
  bool ShiftDown() const { return shift_ & 1; }
  bool CtrlDown() const { return shift_ & 2; }

  // The definitions of F1 to F12 (at most 15 bytes each), empty at start.
  std::array<std::string, 12> functionKeys;

 private:
  uint8_t read_ = 0, write_ = 0, shift_ = 0;
  std::array<uint8_t, 256> ring_{};
  std::function<void()> beep_;
};

}  // namespace host
