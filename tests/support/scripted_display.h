// A display for in-process runs of the host: it types what a test scripts
// (a window closed once the keys run out), and records what the host draws
// and asks of it.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "runtime/platform/display.h"
#include "runtime/platform/message_queue.h"

namespace test_support {

using platform::Message;

// What a test scripts and observes; it outlives the display, which the host
// destroys at the end of the run.
struct Script {
  int pumps = 0, closeAtPump = 0, charAtPump = 0;
  std::deque<Message> keys;
  std::string drawn;
  std::vector<std::string> boxes;
  // The window classes registered ("name black|white procedure") and the
  // class of the main window made; what the copy command put.
  std::vector<std::string> classes, copies;
  std::string madeOf;
  bool refuseClasses = false;
  void Type(const std::string& s) {
    for (char c : s) keys.push_back({1, platform::WM_CHAR, static_cast<unsigned char>(c), 0});
  }
};

class ScriptedDisplay : public platform::Display {
 public:
  explicit ScriptedDisplay(Script& s) : s_(s) {}
  const char* Name() const override { return "scripted"; }
  void Open(const platform::ScreenSource*, platform::WindowHandle w) override { window = w; }
  void PumpEvents(platform::MessageQueue& q) override {
    ++s_.pumps;
    if (s_.closeAtPump > 0 && s_.pumps == s_.closeAtPump) q.Post({window, platform::WM_CLOSE, 0, 0});
    if (s_.charAtPump > 0 && s_.pumps == s_.charAtPump) q.Post({window, platform::WM_CHAR, 3, 0});
  }
  void WaitEvents(platform::MessageQueue& q) override {
    if (s_.keys.empty()) {
      q.Post({window, platform::WM_CLOSE, 0, 0});
      return;
    }
    q.Post(s_.keys.front());
    s_.keys.pop_front();
  }
  void TextDrawn(const char* b, size_t n) override { s_.drawn.append(b, n); }
  bool RegisterWindowClass(const WindowClass& c) override {
    s_.classes.push_back(c.name + (c.blackBackground ? " black " : " white ") + (c.procedure ? "procedure" : "none"));
    return !s_.refuseClasses;
  }
  bool CreateMainWindow(const std::string& className) override {
    s_.madeOf = className;
    return true;
  }
  bool CopyText(const std::string&) override {
    s_.copies.push_back("text");
    return true;
  }
  bool CopyImage() override {
    s_.copies.push_back("image");
    return true;
  }
  void MessageBox(const std::string& caption, const std::string& text) override {
    s_.boxes.push_back(caption + "|" + text);
  }

  platform::WindowHandle window = 0;

 private:
  Script& s_;
};

}  // namespace test_support
