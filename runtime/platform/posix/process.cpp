#include "runtime/platform/process.h"

#include <signal.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "runtime/platform/fatal_signal.h"

namespace platform {

void PrepareProcess() {
  signal(SIGXFSZ, SIG_IGN);
  InstallEndSignals();
#if defined(__GLIBC__)
  // A large answer goes through several large tables in turn. Taken from the
  // heap and kept there when freed, the memory of one is reused by the next
  // instead of being mapped afresh, page fault by page fault, each time.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

int ProgramEnded(int code) { return code; }

int StartShowCommand() { return 1; }

}  // namespace platform
