// Whether the terminal that TERM names can be driven by the terminal display.
// (Apart from the display: the terminfo header defines every capability's
// name as a macro.)
#pragma once

#include <string>

namespace platform {

// Empty when the terminal type is known and can move its cursor; else what
// is wrong, for the line that says why another display is used.
std::string TerminalProblem();

}  // namespace platform
