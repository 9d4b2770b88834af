#include "runtime/platform/posix/temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "runtime/platform/file_faults.h"

namespace platform {

struct Temporary {
  char name[PATH_MAX];
  char target[PATH_MAX];
};

namespace {

// Every disk file the run-time can hold open, the registry store's and a few
// more. Zero-filled until used, so the table of names costs no memory until
// then; whether a slot is used, and its file, are kept apart in a table of
// their own, so that looking for a slot touches one page, not every name's.
constexpr int kTemporaries = 272;
Temporary table[kTemporaries];
struct SlotState {
  volatile sig_atomic_t used;
  int fd;
};
SlotState states[kTemporaries];

SlotState& StateOf(const Temporary* t) { return states[t - table]; }

// How much of the target's name its temporary's name repeats: enough to
// recognise it, short enough that the whole name stays within a folder
// entry's 255 bytes.
constexpr size_t kBaseKept = 200;
constexpr char kMarker[] = ".tessel-";

bool Alphanumeric(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

Temporary* MakeTemporary(const std::string& folder, const std::string& base, const std::string& target, int& fd) {
  fd = -1;
  Temporary* t = nullptr;
  for (int i = 0; i < kTemporaries; ++i)
    if (!states[i].used) {
      t = &table[i];
      break;
    }
  if (!t) {
    errno = EMFILE;
    return nullptr;
  }
  const int kept = static_cast<int>(base.size() < kBaseKept ? base.size() : kBaseKept);
  const int n = std::snprintf(t->name, sizeof t->name, "%s.%.*s%s%ld-XXXXXX", folder.c_str(), kept, base.c_str(),
                              kMarker, static_cast<long>(getpid()));
  if (n < 0 || static_cast<size_t>(n) >= sizeof t->name || target.size() >= sizeof t->target) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  std::memcpy(t->target, target.c_str(), target.size() + 1);
  SlotState& state = StateOf(t);
  state.fd = -1;
  // Registered before the file exists: a signal from here on removes it.
  state.used = 1;
  fd = FileFault(FileCall::Open) ? -1 : mkostemp(t->name, O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int e = errno;
    state.used = 0;
    errno = e;
    return nullptr;
  }
  // Held while the file is being written and until it has its final name:
  // a process that cannot be asked whether it lives (on another machine of
  // a shared home, in another process namespace) still shows it so.
  flock(fd, LOCK_EX | LOCK_NB);
  state.fd = fd;
  return t;
}

Temporary* TemporaryOf(int fd) {
  if (fd < 0) return nullptr;
  for (int i = 0; i < kTemporaries; ++i)
    if (states[i].used && states[i].fd == fd) return &table[i];
  return nullptr;
}

int TemporaryFd(const Temporary* t) { return StateOf(t).fd; }
const char* TemporaryName(const Temporary* t) { return t->name; }
const char* TemporaryTarget(const Temporary* t) { return t->target; }

bool CommitTemporary(Temporary* t) {
  if (FileFault(FileCall::Rename) || rename(t->name, t->target) != 0) return false;
  NoteFileCall(FileCall::Rename);
  ForgetTemporary(t);
  return true;
}

void ForgetTemporary(Temporary* t) {
  SlotState& state = StateOf(t);
  state.fd = -1;
  state.used = 0;
}

void RemoveTemporary(Temporary* t) {
  unlink(t->name);
  ForgetTemporary(t);
}

bool AnyTemporary() {
  for (const SlotState& state : states)
    if (state.used) return true;
  return false;
}

void RemoveAllTemporaries() {
  for (int i = 0; i < kTemporaries; ++i) {
    if (!states[i].used) continue;
    if (states[i].fd >= 0) close(states[i].fd);
    RemoveTemporary(&table[i]);
  }
}

void RemoveTemporariesFromSignal() {
  for (int i = 0; i < kTemporaries; ++i)
    if (states[i].used) unlink(table[i].name);
}

void RemoveLeftovers(const std::string& folder, const std::string& base) {
#if defined(__EMSCRIPTEN__)
  // One process per page, and no other process to ask about.
  (void)folder;
  (void)base;
#else
  const std::string prefix = "." + base.substr(0, kBaseKept) + kMarker;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  const pid_t self = getpid();
  while (const dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) continue;
    // PID, "-" and the six characters mkostemp chose, and nothing more.
    const char* p = name + prefix.size();
    long pid = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9' && digits < 10; ++p, ++digits) pid = pid * 10 + (*p - '0');
    if (digits == 0 || pid <= 0 || pid > INT_MAX || *p != '-' || std::strlen(p + 1) != 6) continue;
    bool random = true;
    for (const char* r = p + 1; *r; ++r) random = random && Alphanumeric(*r);
    if (!random || pid == self) continue;
    // Only a process that certainly no longer exists: a live one, or one
    // this user may not signal, keeps its file; and so does a file whose
    // writer still holds its lock (a process elsewhere with that number).
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const int fd = openat(dirfd(dir), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    const bool mine = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
    const bool unheld = flock(fd, LOCK_EX | LOCK_NB) == 0 || errno == ENOLCK || errno == EINVAL;
    if (mine && unheld) unlinkat(dirfd(dir), name, 0);
    close(fd);
  }
  closedir(dir);
#endif
}

}  // namespace platform
