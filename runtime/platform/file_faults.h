// A seam for tests of failures: a chosen call of the file layer (the run-time's
// files and the registry store alike) fails with a chosen error, as a full
// disk or a read-only folder would make it fail.
#pragma once

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

}  // namespace platform
