#include "runtime/platform/display.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/platform/standard_io.h"

namespace platform {

const Rgb kCharPalette[16] = {
    {0x80, 0x80, 0x80}, {0x00, 0x00, 0x80}, {0x80, 0x00, 0x00}, {0x80, 0x00, 0x80},
    {0x00, 0x80, 0x00}, {0x00, 0x80, 0x80}, {0x80, 0x80, 0x00}, {0xC0, 0xC0, 0xC0},
    {0x00, 0x00, 0x00}, {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0x00}, {0xFF, 0x00, 0xFF},
    {0x00, 0xFF, 0x00}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0x00}, {0xFF, 0xFF, 0xFF},
};

const Rgb kFillPalette[16] = {
    {0x00, 0x00, 0x00}, {0x80, 0x80, 0x80}, {0x00, 0x00, 0x80}, {0x00, 0x00, 0xFF},
    {0x80, 0x00, 0x00}, {0xFF, 0x00, 0x00}, {0x80, 0x00, 0x80}, {0xFF, 0x00, 0xFF},
    {0x00, 0x80, 0x00}, {0x00, 0xFF, 0x00}, {0x00, 0x80, 0x80}, {0x00, 0xFF, 0xFF},
    {0x80, 0x80, 0x00}, {0xFF, 0xFF, 0x00}, {0xC0, 0xC0, 0xC0}, {0xFF, 0xFF, 0xFF},
};

CellColors ColorsOf(int colorNumber, int attribute, int backColor) {
  attribute &= 0x7FFF;
  const bool bright = attribute == 4 || attribute == 5;
  const Rgb text = kCharPalette[(colorNumber & 7) + (bright ? 8 : 0)];
  const Rgb back = kFillPalette[backColor & 15];
  const bool reverse = attribute == 1 || attribute == 5 || colorNumber > 7;
  if (reverse) return {back, text, true};
  return {text, back, false};
}

namespace {

// The terminal where both ends are terminals, else the stream; a terminal
// display that cannot be loaded is worth a word.
std::unique_ptr<Display> TerminalOrStream() {
  if (IsTerminal(0) && IsTerminal(1)) {
    std::string problem;
    if (auto t = CreateTerminalDisplay(problem)) return t;
    std::fprintf(stderr, "tessel: %s; using the stream\n", problem.c_str());
  }
  return CreateStreamDisplay(0, 1);
}

}  // namespace

std::unique_ptr<Display> CreateDisplay() {
  const char* chosen = std::getenv("TESSEL_DISPLAY");
  std::string problem;
  if (chosen && *chosen) {
    if (std::strcmp(chosen, "stream") == 0) return CreateStreamDisplay(0, 1);
    if (std::strcmp(chosen, "terminal") == 0) {
      if (auto t = CreateTerminalDisplay(problem)) return t;
      std::fprintf(stderr, "TESSEL_DISPLAY=terminal: %s; using the stream\n", problem.c_str());
      return CreateStreamDisplay(0, 1);
    }
    if (std::strcmp(chosen, "window") == 0) {
      if (!DesktopReachable()) problem = "no desktop answers";
      else if (auto w = CreateWindowDisplay(problem)) return w;
      std::fprintf(stderr, "TESSEL_DISPLAY=window: no desktop window can be opened here (%s); using the terminal or the stream\n",
                   problem.c_str());
      // Started from the desktop's menu (no terminal at either end), where
      // the line above reaches only the session's log: the desktop says it.
      if (!IsTerminal(0) && !IsTerminal(1)) NoticeOnDesktop("No window can be opened here: " + problem);
      return TerminalOrStream();
    }
    std::fprintf(stderr, "TESSEL_DISPLAY=%s is not a display (stream, terminal, window)\n", chosen);
  }
  if (DesktopReachable()) {
    if (auto w = CreateWindowDisplay(problem)) return w;
    // A module that is there but cannot be loaded is worth a word; one that
    // is not installed (a server without Qt) is not.
    if (problem.find("cannot be loaded") != std::string::npos)
      std::fprintf(stderr, "tessel: %s; using the terminal or the stream\n", problem.c_str());
  }
  return TerminalOrStream();
}

}  // namespace platform
