#include "runtime/platform/process.h"

#include <signal.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "runtime/platform/encoding.h"

namespace platform {

void PrepareProcess() {
  signal(SIGXFSZ, SIG_IGN);
#if defined(__GLIBC__)
  // A large answer goes through several large tables in turn. Taken from the
  // heap and kept there when freed, the memory of one is reused by the next
  // instead of being mapped afresh, page fault by page fault, each time.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

int ProgramEnded(int code) { return code; }

std::tm LocalTime(std::time_t moment) {
  std::tm t{};
  localtime_r(&moment, &t);
  return t;
}

std::string ArgumentToCp932(const char* argument) { return Utf8ToCp932(argument ? argument : ""); }

}  // namespace platform
