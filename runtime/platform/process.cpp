#include "runtime/platform/process.h"

#include <signal.h>

#include "runtime/platform/encoding.h"

namespace platform {

void PrepareProcess() { signal(SIGXFSZ, SIG_IGN); }

std::string ArgumentToCp932(const char* argument) { return Utf8ToCp932(argument ? argument : ""); }

}  // namespace platform
