// Command-line arguments and the local time, as every POSIX system (the web
// one too) gives them.
#include "runtime/platform/encoding.h"
#include "runtime/platform/process.h"

namespace platform {

std::tm LocalTime(std::time_t moment) {
  std::tm t{};
  localtime_r(&moment, &t);
  return t;
}

std::string ArgumentToCp932(const char* argument) { return Utf8ToCp932(argument ? argument : ""); }

std::string ProgramFileName(const char* argv0) { return ArgumentToCp932(argv0); }

}  // namespace platform
