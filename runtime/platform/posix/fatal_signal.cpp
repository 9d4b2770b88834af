#include "runtime/platform/fatal_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "runtime/platform/encoding.h"
#include "runtime/platform/files.h"
#include "runtime/platform/fatal_line.h"
#include "runtime/platform/posix/registry_file.h"
#include "runtime/platform/registry_store.h"
#include "runtime/platform/posix/registry_text.h"
#include "runtime/platform/posix/temporaries.h"

namespace platform {
namespace {

// Everything the handler reads, made ready in advance. Fixed buffers: the
// handler allocates nothing.
struct Prepared {
  bool installed = false;
  FatalLine line;
  char folder[4096], store[4096], lock[4096], temporary[4096];
  char key[256];
  char mode[128], version[128];  // written forms
};
Prepared prepared;
void (*terminalRestore)() = nullptr;

constexpr size_t kStoreCapacity = 1 << 20;
char storeText[kStoreCapacity];
char editedText[kStoreCapacity + 4096];
alignas(16) char alternateStack[64 * 1024];

bool Copy(char* to, size_t capacity, const std::string& from) {
  if (from.size() >= capacity) return false;
  std::memcpy(to, from.c_str(), from.size() + 1);
  return true;
}

void Put(const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = write(2, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    p += w;
    n -= static_cast<size_t>(w);
  }
}

// "dword:%08x" into out (15 bytes).
void DwordText(uint32_t v, char* out) {
  std::memcpy(out, "dword:", 6);
  for (int i = 0; i < 8; ++i) out[6 + i] = "0123456789abcdef"[(v >> (28 - 4 * i)) & 15];
}

// "\"name\"" with '\' and '"' escaped, into out; its length, or 0.
size_t QuotedText(const char* text, char* out, size_t capacity) {
  size_t n = 0;
  out[n++] = '"';
  for (const char* p = text; *p; ++p) {
    if (n + 4 >= capacity) return 0;
    if (*p == '\\' || *p == '"') out[n++] = '\\';
    out[n++] = *p;
  }
  out[n++] = '"';
  return n;
}

size_t Length(const char* s) { return std::strlen(s); }

// A line on standard error, after the program's name.
void Say(const char* text) {
  Put("tessel: ", 8);
  Put(text, Length(text));
}

void RecordInStore(const char* module, unsigned line, uint32_t address, int sig) {
  if (!prepared.store[0]) return;  // no store for this user
  char modl[300], xline[16], xaddr[16], xcode[16];
  size_t modlSize = QuotedText(module, modl, sizeof modl);
  if (!modlSize) return;
  DwordText(line & 0xFFFF, xline);
  DwordText(address, xaddr);
  DwordText(static_cast<uint32_t>(sig), xcode);
  const StoreValue values[] = {
      {{"XMODL", 5}, {modl, modlSize}},
      {{"XLINE", 5}, {xline, 14}},
      {{"XMODE", 5}, {prepared.mode, Length(prepared.mode)}},
      {{"XRTL", 4}, {prepared.version, Length(prepared.version)}},
      {{"XADDR", 5}, {xaddr, 14}},
      {{"XCODE", 5}, {xcode, 14}},
  };
  mkdir(prepared.folder, 0700);
  // A signal that came while this very process was writing the store: it
  // holds the lock already and must not wait for itself.
  const bool own = StoreLockHeld();
  int lock = own ? -1 : LockStore(prepared.lock);
  if (!own && lock < 0) {
    if (errno == ETIMEDOUT)
      Say("the registry store stayed locked by another process; the error record was not written\n");
    return;
  }
  mode_t mode;
  long size = ReadStore(prepared.store, storeText, sizeof storeText, mode);
  if (size >= 0 && !IsStoreText({storeText, static_cast<size_t>(size)})) {
    Say("the registry store is not in UTF-8 (UTF-16?) and is left as it is; the error record was not written\n");
  } else if (size >= 0) {
    size_t n = EditStoreText({storeText, static_cast<size_t>(size)}, {prepared.key, Length(prepared.key)}, values,
                             sizeof values / sizeof values[0], editedText, sizeof editedText);
    int fd = n ? open(prepared.temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600) : -1;
    if (fd >= 0) ReplaceStore(prepared.store, fd, prepared.temporary, editedText, n, mode);
  }
  if (!own) ReleaseStore(lock);
}

void OnFatalSignal(int sig, siginfo_t* info, void*) {
  const int saved = errno;
  RemoveTemporariesFromSignal();
  if (terminalRestore) terminalRestore();
  const char* module;
  unsigned line;
  char text[2048];
  Put(text, prepared.line.Build(text, sizeof text, module, line));
  const uint32_t address =
      info ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info->si_addr)) : 0xFFFFFFFFu;
  RecordInStore(module, line, address, sig);
  errno = saved;
  // Then the signal's own end: the handler was reset when it was entered.
  raise(sig);
}

// A signal that asks the process to end (SIGTERM, SIGHUP, SIGINT ...): the
// saves it cut short leave nothing behind (the older files stay as they
// were), the terminal is put back, and the process ends with the status a
// shell gives a process that this signal ended.
void OnEndSignal(int sig) {
  RemoveTemporariesFromSignal();
  if (terminalRestore) terminalRestore();
  _exit(128 + sig);
}

constexpr int kEndSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU};
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Neither handler is interrupted by the other's signals.
void BlockEndingSignals(sigset_t& set) {
  sigemptyset(&set);
  for (int sig : kEndSignals) sigaddset(&set, sig);
  for (int sig : kFatalSignals) sigaddset(&set, sig);
}

}  // namespace

void InstallEndSignals() {
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  BlockEndingSignals(action.sa_mask);
  for (int sig : kEndSignals) {
    // A signal the process was started to ignore (nohup) stays ignored.
    struct sigaction before {};
    if (sigaction(sig, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(sig, &action, nullptr);
  }
}

void SetFatalReportOwner(void*) {}  // no message box here: the line on standard error

void SetTerminalRestore(void (*restore)()) { terminalRestore = restore; }

void InstallFatalSignalReport(const FatalReport& report, FatalWhere where) {
  prepared.line.Prepare(report, where);
  prepared.store[0] = '\0';
  const std::string store = RegistryPath(RegistryRoot::CurrentUser);
  const std::string key = RegistryKeyPath(RegistryRoot::CurrentUser, report.key);
  if (!store.empty()) {
    // The store's file where it will be replaced (through a link, the file it
    // leads to), and a temporary name no one can have made in advance: it is
    // created exclusively, and never through a link.
    std::string target;
    const bool followed = FollowLinks(store, target);
    const std::string folder = target.substr(0, target.rfind('/'));
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) random = reinterpret_cast<uintptr_t>(&random);
    // Named as every temporary of a save is named, so that a later save of
    // the store removes it should this process be killed while it is there.
    char unique[300];
    const std::string base = target.substr(target.rfind('/') + 1);
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i, random /= letters.size()) suffix += letters[random % letters.size()];
    std::snprintf(unique, sizeof unique, "/.%.200s.tessel-%d-%s", base.c_str(), static_cast<int>(getpid()),
                  suffix.c_str());
    bool ok = followed && Copy(prepared.folder, sizeof prepared.folder, folder) &&
              Copy(prepared.store, sizeof prepared.store, target) &&
              Copy(prepared.lock, sizeof prepared.lock, store + ".lock") &&
              Copy(prepared.temporary, sizeof prepared.temporary, folder + unique) &&
              Copy(prepared.key, sizeof prepared.key, key) &&
              Copy(prepared.mode, sizeof prepared.mode, RegistryStringText(report.mode)) &&
              Copy(prepared.version, sizeof prepared.version, RegistryStringText(report.version));
    if (!ok) prepared.store[0] = '\0';
  }
  if (prepared.installed) return;
  prepared.installed = true;
  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  sigaltstack(&stack, nullptr);  // a stack overflow still gets its report
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  BlockEndingSignals(action.sa_mask);
  for (int sig : kFatalSignals) sigaction(sig, &action, nullptr);
}

}  // namespace platform
