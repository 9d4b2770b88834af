#include "runtime/platform/file_faults.h"

#include <cerrno>

namespace platform {
namespace {

struct Fault {
  int countdown = 0;  // calls left until the failing one; 0 = none planned
  int error = 0;
};

Fault faults[static_cast<int>(FileCall::Count)];

}  // namespace

void InjectFileFault(FileCall call, int nth, int error) { faults[static_cast<int>(call)] = {nth, error}; }

void ClearFileFaults() {
  for (Fault& f : faults) f = Fault{};
}

bool FileFault(FileCall call) {
  Fault& f = faults[static_cast<int>(call)];
  if (f.countdown <= 0 || --f.countdown > 0) return false;
  errno = f.error;
  return true;
}

}  // namespace platform
