// What the programs say about themselves on the command line: --help and
// --version print and end the program before any window opens. Every other
// argument is left to the host, which keeps the command line and nothing
// more.
#pragma once

#include <optional>

namespace app {

enum class Program { Equation, Polymul };

// The exit code when an argument asked for the help or the version (which
// has then been printed on standard output); nothing otherwise.
std::optional<int> AnswerInformationRequest(Program program, int argc, char** argv);

}  // namespace app
