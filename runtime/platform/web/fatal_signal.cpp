// WebAssembly has no signals: a fault (a trap) ends the module with a
// JavaScript error. The report's line is built then by the page or node's
// abort handler, which calls TesselFatalLine while the module's memory is
// still there.
#include <emscripten.h>

#include "runtime/platform/fatal_line.h"
#include "runtime/platform/fatal_signal.h"

namespace platform {
namespace {

FatalLine prepared;
bool installed = false;

}  // namespace

void InstallFatalSignalReport(const FatalReport& report, FatalWhere where) {
  prepared.Prepare(report, where);
  installed = true;
}

void SetFatalReportOwner(void*) {}  // no message box here: the line on standard error

void SetTerminalRestore(void (*)()) {}

}  // namespace platform

// The line of the fatal report (UTF-8, ending in LF), or an empty text when
// no report was installed.
extern "C" EMSCRIPTEN_KEEPALIVE const char* TesselFatalLine() {
  static char text[2048];
  text[0] = '\0';
  if (!platform::installed) return text;
  const char* module = nullptr;
  unsigned line = 0;
  const size_t n = platform::prepared.Build(text, sizeof text - 1, module, line);
  text[n] = '\0';
  return text;
}
