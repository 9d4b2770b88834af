// A seam for tests of failures: a chosen call of the file layer (the run-time's
// files and the registry store alike) fails with a chosen error, as a full
// disk or a read-only folder would make it fail.
#pragma once

#include <string>

namespace platform {

enum class FileCall { Open, Write, Sync, Close, Rename, Count };

// The nth call of that kind from now on (1 = the next one) fails with the
// errno value `error`, and so do the `count` - 1 calls of that kind after it;
// the calls after those succeed again.
void InjectFileFault(FileCall call, int nth, int error, int count = 1);
void ClearFileFaults();
// Whether a fault injected is still to come (its call was not reached).
bool FileFaultPending();

// For the file layer: true when this call is the one to fail; errno is set.
bool FileFault(FileCall call);

// A journal of the calls the file layer really made, in order (a fault
// injected before a call cannot show that the call itself is made): the
// layer notes a call once the system has done it.
void NoteFileCall(FileCall call);
// The calls noted since the last clear, a letter each: O open, W write,
// S sync, C close, R rename (the last 64).
std::string FileCallsMade();
void ClearFileCalls();

// How many writes the file layer has made since the start (each system call
// that wrote bytes to a file), so that a test can act at a moment of a save.
// Counting allocates nothing.
void NoteFileWrite();
long FileWritesMade();

}  // namespace platform
