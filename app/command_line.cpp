#include "app/command_line.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/core/run_state.h"
#include "runtime/platform/standard_io.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "unknown"
#endif

namespace app {
namespace {

const char kEquationWhat[] =
    "equation (数式展開) expands products of parenthesised polynomials such as\n"
    "(26a2b+c)(3a-2b2)(2ab-1) or (a+b)3, collects like terms, shows the result\n"
    "after \"Answer =\" and saves it as text, in a normal form or an array form\n"
    "that polymul reads. The expression is typed or read from a file (its first\n"
    "line).\n";

const char kPolymulWhat[] =
    "polymul (数式乗算（ファイル）) multiplies two to ten answers that equation or\n"
    "polymul saved in the array form, shows the product after \"Answer =\" and\n"
    "saves it.\n";

const char kCommon[] =
    "\n"
    "The program asks its questions in Japanese on an 80 x 24 text screen, shown\n"
    "in one of three displays, chosen by the environment variable TESSEL_DISPLAY:\n"
    "  window    a desktop window (where the window display is installed)\n"
    "  terminal  this terminal%s\n"
    "  stream    keys from standard input, the screen's text on standard output\n"
    "            (UTF-8), for scripts:\n"
    "            printf 'y\\nm\\n(a+b)2\\nn\\ny\\n' | TESSEL_DISPLAY=stream %s\n"
    "Without it: the window on a desktop, else the terminal, else the stream.\n"
    "\n"
    "Files are read from and written to the current folder (a name may carry a\n"
    "path). A run-time error is shown on the screen with its text, ends the\n"
    "program and is recorded in\n"
    "%s.\n"
    "\n"
    "Options:\n"
    "  -h, --help     this text\n"
    "  -V, --version  the version\n"
    "\n"
    "Exit status:\n"
    "  0    the program ended (also when its window was closed)\n"
    "  1    a run-time error\n"
    "  2    a bad option\n"
    "  3    the input ended while the program still waited for keys\n"
    "  128+N  the signal N ended it\n";

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
    const char* a = argv[i];
    if (std::strcmp(a, "--") == 0) break;                  // what follows is no option
    if (a[0] != '-' || std::strcmp(a, "-") == 0) continue;  // not an option: the host keeps it
    if (std::strcmp(a, "--version") == 0 || std::strcmp(a, "-V") == 0)
      return Say(Format("%s %s\n", name, TESSEL_VERSION));
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      std::string text = Format("Usage: %s [-h | --help] [-V | --version]\n\n", name);
      text += program == Program::Equation ? kEquationWhat : kPolymulWhat;
      text += Format(kCommon, kNoTerminal, name, kRecord);
      if (kManPages) text += Format("\nSee %s(1).\n", name);
      return Say(text);
    }
    // As the GNU tools word it.
    std::string text = a[1] == '-' ? Format("%s: unrecognized option '%s'\n", name, a)
                                   : Format("%s: invalid option -- '%c'\n", name, a[1]);
    text += Format("Usage: %s [-h | --help] [-V | --version]\nTry '%s --help' for more information.\n", name, name);
    platform::WriteStandard(2, text.data(), text.size());
    return rt::kExitBadOption;
  }
  return std::nullopt;
}

}  // namespace app
