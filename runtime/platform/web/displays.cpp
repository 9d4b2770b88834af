// The displays of the web: the page (a grid drawn in the browser) and the
// stream (under node, for scripts and tests). There is no terminal display.
#include <emscripten.h>

#include "runtime/platform/display.h"

namespace platform {

std::unique_ptr<Display> CreatePageDisplay();

std::unique_ptr<Display> CreateTerminalDisplay(std::string& problem) {
  problem = "there is no terminal display in WebAssembly";
  return nullptr;
}

// The page is the desktop: there is one wherever a document is.
void NoticeOnDesktop(const std::string&) {}  // the window always opens here

bool DesktopReachable() { return EM_ASM_INT({ return typeof document === 'object' ? 1 : 0; }) != 0; }

std::unique_ptr<Display> CreateWindowDisplay(std::string& problem) {
  if (auto page = CreatePageDisplay()) return page;
  problem = "the page has no grid to draw in";
  return nullptr;
}

}  // namespace platform
