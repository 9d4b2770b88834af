#include "app/command_line.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/platform/standard_io.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "unknown"
#endif

namespace app {
namespace {

const char kEquationWhat[] =
    "equation (数式展開) expands products of parenthesised polynomials such as\n"
    "(26a2b+c)(3a-2b2)(2ab-1) or (a+b)3, collects like terms, shows the result after\n"
    "\"Answer =\" and saves it as text, in a normal form or an array form that polymul\n"
    "reads. The expression is typed or read from a file (its first line).\n";

const char kPolymulWhat[] =
    "polymul (数式乗算（ファイル）) multiplies two to ten answers that equation or\n"
    "polymul saved in the array form, shows the product after \"Answer =\" and saves it.\n";

const char kCommon[] =
    "\n"
    "The program asks its questions in Japanese on an 80 x 24 text screen, shown in\n"
    "one of three displays, chosen by the environment variable TESSEL_DISPLAY:\n"
    "  window    a desktop window (where the window display is installed)\n"
    "  terminal  this terminal%s\n"
    "  stream    keys from standard input, the screen's text on standard output\n"
    "            (UTF-8), for scripts: printf 'y\\nm\\n(a+b)2\\nn\\ny\\n' | TESSEL_DISPLAY=stream %s\n"
    "Without it: the window on a desktop, else the terminal, else the stream.\n"
    "\n"
    "Files are read from and written to the current folder (a name may carry a path).\n"
    "A run-time error is shown on the screen, ends the program with status 1 and is\n"
    "recorded in %s.\n"
    "\n"
    "Options:\n"
    "  --help     this text\n"
    "  --version  the version\n";

#if defined(_WIN32)
const char kNoTerminal[] = " (not on Windows: a console is the stream)";
const bool kManPages = false;
const char kRecord[] = "the registry (HKEY_CURRENT_USER\\Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR)";
#else
const char kNoTerminal[] = "";
const bool kManPages = true;
const char kRecord[] = "${XDG_CONFIG_HOME:-~/.config}/tessel/registry.reg";
#endif

// printf into a string.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  std::string out(static_cast<size_t>(std::snprintf(nullptr, 0, format, args...)), '\0');
  std::snprintf(out.data(), out.size() + 1, format, args...);
  return out;
}

// Standard output as it is: the same bytes on every system (no CR added).
int Say(const std::string& text) { return platform::WriteStandard(1, text.data(), text.size()) ? 0 : 1; }

}  // namespace

std::optional<int> AnswerInformationRequest(Program program, int argc, char** argv) {
  const char* name = program == Program::Equation ? "equation" : "polymul";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) return Say(Format("%s %s\n", name, TESSEL_VERSION));
    if (std::strcmp(argv[i], "--help") == 0) {
      std::string text = Format("Usage: %s [--help | --version]\n\n", name);
      text += program == Program::Equation ? kEquationWhat : kPolymulWhat;
      text += Format(kCommon, kNoTerminal, name, kRecord);
      if (kManPages) text += Format("\nSee %s(1).\n", name);
      return Say(text);
    }
  }
  return std::nullopt;
}

}  // namespace app
