// What the programs say about themselves on the command line: -h/--help and
// -V/--version print and end the program before any window opens, and an
// unknown option (an argument beginning with "-") ends it with status 2 and
// a word on standard error. Every other argument is left to the host, which
// keeps the command line and nothing more.
#pragma once

#include <optional>

namespace app {

enum class Program { Equation, Polymul };

// The exit code when an argument asked for the help or the version (which
// has then been printed on standard output) or was no option the programs
// know; nothing otherwise.
std::optional<int> AnswerInformationRequest(Program program, int argc, char** argv);

}  // namespace app
