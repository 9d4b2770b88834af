#include "runtime/platform/message_queue.h"

#include "runtime/platform/display.h"

namespace platform {

void MessageQueue::SetDisplay(Display* display) {
  display_ = display;
  if (display_) display_->Connect(*this);
}

bool MessageQueue::Take(Message& m, uint32_t first, uint32_t last, bool remove) {
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    bool inRange = (first == 0 && last == 0) || it->message == WM_QUIT ||
                   (it->message >= first && it->message <= last);
    if (!inRange) continue;
    m = *it;
    if (!remove) return true;
    if (it == queue_.begin()) queue_.pop_front();  // the usual case, and the cheap one
    else queue_.erase(it);
    return true;
  }
  return false;
}

bool MessageQueue::Peek(Message& m, uint32_t first, uint32_t last, bool remove) {
  if (display_) display_->PumpEvents(*this);
  return Take(m, first, last, remove);
}

bool MessageQueue::Get(Message& m, uint32_t first, uint32_t last) {
  while (!Take(m, first, last, true)) {
    if (display_) display_->WaitEvents(*this);
    else PostQuit(0);  // nothing can ever arrive
  }
  return m.message != WM_QUIT;
}

}  // namespace platform
