#include "runtime/platform/posix/terminal_type.h"

#include <curses.h>
#include <term.h>

#include <cstdlib>

namespace platform {

std::string TerminalProblem() {
  const char* type = std::getenv("TERM");
  if (!type || !*type) return "no terminal type is set (TERM)";
  int status = 0;
  if (setupterm(type, 1, &status) != OK)
    return status == -1 ? std::string("no terminfo database is installed")
                        : std::string("TERM=") + type + " is not a terminal type this system knows";
  const char* move = tigetstr(const_cast<char*>("cup"));
  const bool addressable = move && move != reinterpret_cast<const char*>(-1);
  del_curterm(cur_term);
  if (!addressable) return std::string("TERM=") + type + " cannot move its cursor";
  return {};
}

}  // namespace platform
