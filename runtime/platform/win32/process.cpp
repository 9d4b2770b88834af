#include "runtime/platform/process.h"

#include <fcntl.h>
#include <io.h>
#include <cstdlib>
#include <windows.h>

#include "runtime/platform/standard_io.h"
#include "runtime/platform/win32/wide.h"

namespace platform {

void PrepareProcess() {
  // (Asking connects the standard descriptors first: see standard_io.)
  const bool consoleOut = IsTerminal(1), consoleIn = IsTerminal(0);
  // Standard input and output carry bytes as they are (the stream display
  // does its own line ends).
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
  _setmode(2, _O_BINARY);
  // The stream display speaks UTF-8; a console shows and types it so while
  // the program runs, and gets its own code pages back at the end.
  static UINT output = 0, input = 0;
  if (consoleOut) {
    output = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
  }
  if (consoleIn) {
    input = GetConsoleCP();
    SetConsoleCP(CP_UTF8);
  }
  if (output || input)
    std::atexit([] {
      if (output) SetConsoleOutputCP(output);
      if (input) SetConsoleCP(input);
    });
  // No system dialog for a missing disk or a crash: the run-time reports.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

int ProgramEnded(int code) { return code; }

std::tm LocalTime(std::time_t moment) {
  std::tm t{};
  localtime_s(&t, &moment);
  return t;
}

std::string ProgramFileName(const char* argv0) {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  if (n == 0 || n >= MAX_PATH * 4) return ArgumentToCp932(argv0);
  return WideToCp932(std::wstring_view(path, n));
}

// The C library gives the arguments in the system's code page.
std::string ArgumentToCp932(const char* argument) {
  return WideToCp932(ToWide(argument ? argument : "", CP_ACP));
}

// What the one who started the program asked (a shortcut's "Run" setting,
// start /min, /max), else a normal window.
int StartShowCommand() {
  STARTUPINFOW start{};
  start.cb = sizeof start;
  GetStartupInfoW(&start);
  return (start.dwFlags & STARTF_USESHOWWINDOW) && start.wShowWindow != SW_SHOWDEFAULT ? start.wShowWindow
                                                                                     : SW_SHOWNORMAL;
}

}  // namespace platform
