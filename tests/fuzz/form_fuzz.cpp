// Any bytes as the MAINFORM resource through the form player: a window or a
// failure with its message, never a crash or a stack overflow.
#include <string>
#include <vector>

#include "runtime/host/form_player.h"

namespace {

class Host : public host::FormHost {
 public:
  bool ClassExists(const std::string& name) override {
    for (auto& c : classes)
      if (c == name) return true;
    return false;
  }
  bool RegisterClass(const std::string& name, void*) override {
    classes.push_back(name);
    return true;
  }
  uint32_t CreateWindow(int kind, const std::string& cls, uint32_t parent, uint32_t style, uint32_t ex) override {
    if (windows.size() > 1000) return 0;
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
  int64_t SendMessage(uint32_t, uint32_t, uint64_t, int64_t) override { return 0; }
  void* LookupSymbol(const std::string& name) override { return name == "$PbMainWndProc" ? this : nullptr; }
  void MessageBox(const std::string&, const std::string&) override {}
  std::pair<int, int> FullWindowSize(uint32_t) override { return {648, 466}; }

  std::vector<std::string> classes;
  std::vector<host::FormWindow> windows;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Host h;
  std::vector<host::Resource> resources = {{host::kResourceRcData, "MAINFORM", std::vector<uint8_t>(data, data + size)}};
  int show = 1, failure = 0;
  host::LoadForm(h, resources, "MainForm", show, failure);
  return 0;
}
