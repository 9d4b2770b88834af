// A form host that keeps what the form player asks of it: the classes, the
// window records, the messages sent, the names looked up, the message boxes.
#pragma once

#include <string>
#include <vector>

#include "runtime/host/form_player.h"

namespace test_support {

class FakeFormHost : public host::FormHost {
 public:
  bool ClassExists(const std::string& name) override {
    for (auto& c : classes)
      if (c == name) return true;
    return false;
  }
  bool RegisterClass(const std::string& name, void*, const std::string& icon) override {
    classes.push_back(name);
    icons.push_back(icon);
    return true;
  }
  uint32_t CreateWindow(int kind, const std::string& cls, uint32_t parent, uint32_t style, uint32_t ex) override {
    if (windows.size() >= 10000) return 0;
    host::FormWindow w;
    w.kind = kind;
    w.className = cls;
    w.parent = parent;
    w.style = style;
    w.exStyle = ex;
    windows.push_back(w);
    return static_cast<uint32_t>(windows.size());
  }
  host::FormWindow* WindowRecord(uint32_t h) override {
    return h >= 1 && h <= windows.size() ? &windows[h - 1] : nullptr;
  }
  int64_t SendMessage(uint32_t, uint32_t message, uint64_t, int64_t) override {
    sent.push_back(message);
    return 0;
  }
  void* LookupSymbol(const std::string& name) override {
    looked.push_back(name);
    return name == "$PbMainWndProc" || name == bindable ? this : nullptr;
  }
  void MessageBox(const std::string& caption, const std::string& text) override {
    boxes.push_back(caption + "|" + text);
  }
  std::pair<int, int> FullWindowSize(uint32_t) override { return {648, 466}; }

  std::vector<std::string> classes, icons, looked, boxes;
  std::vector<host::FormWindow> windows;
  std::vector<uint32_t> sent;
  std::string bindable;  // a handler name that resolves
};

}  // namespace test_support
