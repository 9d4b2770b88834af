// The thread's message queue, with the non-blocking pump of the statement
// prologue and the blocking wait of key reads. A display fills it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>

#include "runtime/platform/messages.h"

namespace platform {

class Display;

class MessageQueue {
 public:
  void SetDisplay(Display* display);
  void Post(const Message& m) { queue_.push_back(m); }
  void PostQuit(int code) { Post({0, WM_QUIT, static_cast<uint64_t>(code), 0}); }

  // PeekMessage: looks for a message in the range (0, 0 = any) after
  // letting the display deliver what is pending, without waiting.
  bool Peek(Message& m, uint32_t first = 0, uint32_t last = 0, bool remove = false);
  // GetMessage: waits for a message in the range; false for WM_QUIT.
  bool Get(Message& m, uint32_t first = 0, uint32_t last = 0);
  bool Empty() const { return queue_.empty(); }
  // SendMessage: the window procedure answers now, not from the queue (a
  // message whose sender waits for the answer). 0 without a receiver.
  void SetReceiver(std::function<int64_t(const Message&)> receiver) { receiver_ = std::move(receiver); }
  int64_t Send(const Message& m) { return receiver_ ? receiver_(m) : 0; }
  void Clear() { queue_.clear(); }

 private:
  bool Take(Message& m, uint32_t first, uint32_t last, bool remove);

  std::deque<Message> queue_;
  Display* display_ = nullptr;
  std::function<int64_t(const Message&)> receiver_;
};

}  // namespace platform
