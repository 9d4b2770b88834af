#include "runtime/platform/file_faults.h"

#include <cerrno>

namespace platform {
namespace {

struct Fault {
  int countdown = 0;  // calls left until the first failing one; 0 = none planned
  int failing = 0;    // how many calls fail from there
  int error = 0;
};

Fault faults[static_cast<int>(FileCall::Count)];

}  // namespace

void InjectFileFault(FileCall call, int nth, int error, int count) {
  faults[static_cast<int>(call)] = {nth, count, error};
}

void ClearFileFaults() {
  for (Fault& f : faults) f = Fault{};
}

bool FileFaultPending() {
  for (const Fault& f : faults)
    if (f.countdown > 0) return true;
  return false;
}

bool FileFault(FileCall call) {
  Fault& f = faults[static_cast<int>(call)];
  if (f.countdown <= 0 || --f.countdown > 0) return false;
  errno = f.error;
  if (--f.failing > 0) f.countdown = 1;  // the next call fails too
  return true;
}

}  // namespace platform
