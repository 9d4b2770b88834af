#include "runtime/platform/process.h"

#include "runtime/platform/encoding.h"

namespace platform {

// Nothing to prepare: there are no signals and no file size limit; under
// node the environment is the process's (node_prelude.js), in a page the one
// the page gives.
void PrepareProcess() {}

std::tm LocalTime(std::time_t moment) {
  std::tm t{};
  localtime_r(&moment, &t);
  return t;
}

std::string ArgumentToCp932(const char* argument) { return Utf8ToCp932(argument ? argument : ""); }

}  // namespace platform
