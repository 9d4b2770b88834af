// A host for in-process runs of the run-time core (tests and fuzz targets):
// it counts polls, records what the frame asks of it and can be told to
// close the window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime/core/frame.h"
#include "runtime/platform/encoding.h"

namespace rt::test {

struct ReportedError {
  int number = 0;
  int line = 0;
  uint32_t site = 0;
  std::string module;
};

class TestHost : public Host {
 public:
  bool PollHost() override {
    ++polls;
    pollStatements.push_back(statements);
    if (onPoll) onPoll();
    return !quit;
  }
  void ReportRuntimeError(const ModuleRecord* module, int number, int line,
                          uint32_t site) override {
    reports.push_back({number, line, site, module ? module->name : ""});
    if (onReport) onReport();
  }
  void EndWait(bool breakFlag, const std::string& text) override {
    waits.push_back(text);
    lastWaitBreak = breakFlag;
  }
  void ProgramExit() override {
    ++exits;
    BeginShutdown();
  }
  // A text screen of 80 columns as far as PRINT and INPUT need one: the
  // bytes written, the cursor column, and typed lines to read.
  bool ScreenWrite(const char* bytes, size_t length) override {
    for (size_t i = 0; i < length; ++i) {
      char c = bytes[i];
      screen += c;
      if (c == '\r') column = 0;
      else if (c != '\n' && ++column == 80) column = 0;
    }
    return true;
  }
  bool ReadLine(std::string& line, size_t, int& failure) override {
    failure = 0;
    if (typed.empty()) return false;
    line = typed.front();
    typed.erase(typed.begin());
    ScreenWrite((line + "\r\n").data(), line.size() + 2);
    return true;
  }
  int CursorColumn() override { return column; }
  int PrintWidth() override { return 80; }

  std::string screen;
  int column = 0;
  std::vector<std::string> typed;

  int polls = 0;
  int statements = 0;  // counted by the test's own statements
  std::vector<int> pollStatements;
  bool quit = false;
  std::function<void()> onPoll;
  std::function<void()> onReport;
  std::vector<ReportedError> reports;
  std::vector<std::string> waits;
  bool lastWaitBreak = false;
  int exits = 0;
};

// UTF-8 text as the CP932 bytes the run-time works with.
inline std::string Cp932(const std::string& utf8) {
  return platform::Utf8ToCp932(utf8);
}

}  // namespace rt::test
