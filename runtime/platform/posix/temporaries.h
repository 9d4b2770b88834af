// The temporary files this process is writing: each new file is written
// under a temporary name beside its target and takes the target's name only
// when it is complete. They are kept in a fixed table that a signal handler
// can walk, so that a run cut short removes what it had begun, and their
// names carry the process id (and the writer holds a lock on each), so that
// a later save of the same file can recognise and remove the leftovers of a
// run that was killed outright.
#pragma once

#include <string>

namespace platform {

struct Temporary;

// Creates a new temporary file for `target` in its folder (`folder` ends in
// '/' or is empty; `base` is the target's own name), ".BASE.tessel-PID-XXXXXX",
// registered before it exists. Null with errno set when it cannot be made.
// Allocates nothing once the arguments are built.
Temporary* MakeTemporary(const std::string& folder, const std::string& base, const std::string& target, int& fd);

// The temporary open on a descriptor, or null.
Temporary* TemporaryOf(int fd);
int TemporaryFd(const Temporary* t);
const char* TemporaryName(const Temporary* t);
const char* TemporaryTarget(const Temporary* t);

// Renames the temporary over its target; false with errno set (the
// temporary is then still there and still registered). The descriptor is
// closed after this, so that the file is never unlocked under its
// temporary name.
bool CommitTemporary(Temporary* t);
// Removes the temporary file and frees its entry (its descriptor is not
// closed here).
void RemoveTemporary(Temporary* t);
// Frees the entry of a temporary that is no longer there (renamed or
// removed by the caller).
void ForgetTemporary(Temporary* t);

// Whether any temporary is registered (a save under way).
bool AnyTemporary();

// Closes and removes every registered temporary: a run that ends without
// completing them leaves nothing behind.
void RemoveAllTemporaries();
// The same with async-signal-safe calls only (unlink), for signal handlers.
void RemoveTemporariesFromSignal();

// Removes the leftovers of earlier saves of `base` in `folder`: files named
// as MakeTemporary names them, owned by this user, whose process no longer
// exists here and whose lock no process holds. Nothing else is touched.
void RemoveLeftovers(const std::string& folder, const std::string& base);

}  // namespace platform
