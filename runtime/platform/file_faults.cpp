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

// A fixed journal: noting allocates nothing.
char journal[64];
int noted = 0;
long writes = 0;

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

void NoteFileCall(FileCall call) {
  static const char kLetters[] = "OWSCR";
  journal[noted++ % 64] = kLetters[static_cast<int>(call)];
}

std::string FileCallsMade() {
  std::string calls;
  for (int i = noted > 64 ? noted - 64 : 0; i < noted; ++i) calls += journal[i % 64];
  return calls;
}

void ClearFileCalls() { noted = 0; }

void NoteFileWrite() { ++writes; }

long FileWritesMade() { return writes; }

}  // namespace platform
