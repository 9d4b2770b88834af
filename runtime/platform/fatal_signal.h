// The last word of a process that a fatal signal (SIGSEGV and the like) ends:
// the terminal put back, a line on standard error, the X* values in the
// user's registry store, then the signal's own end. Everything it needs is
// prepared when it is installed; the handler itself makes only
// async-signal-safe calls (open, read, write, rename, flock) on ready bytes.
#pragma once

#include <string>

namespace platform {

struct FatalReport {
  std::string caption;        // the main window's title (UTF-8)
  std::string message;        // the text before the module's name (UTF-8)
  std::string lineEnd;        // what follows the line number (UTF-8)
  std::string unknownModule;  // the module's name when there is none (UTF-8)
  std::string mode, version;  // the values of XMODE and XRTL (CP932)
  std::string key;            // the store's key of the error record
};

// Where the program stands when the signal comes: the module's name (or
// null) and the line. Must be async-signal-safe.
using FatalWhere = void (*)(const char** module, unsigned* line);

void InstallFatalSignalReport(const FatalReport& report, FatalWhere where);

// SIGTERM, SIGHUP, SIGINT and the other signals that ask a process to end
// (POSIX systems): the temporaries of saves not yet complete are removed, so
// that the older files stay as they were, the terminal is put back, and the
// process exits with 128 + the signal's number, in every display.
void InstallEndSignals();

// The window a fatal report's message box belongs to (Windows: the main
// window, when the window display shows it; null when there is none, and
// then no box is shown: the line on standard error stands alone).
void SetFatalReportOwner(void* window);

// A display that changed the terminal registers how to put it back, with
// async-signal-safe calls only; null when it has nothing to put back.
void SetTerminalRestore(void (*restore)());

}  // namespace platform
