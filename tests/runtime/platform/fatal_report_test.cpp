// The last word of a process that a fatal signal ends, written into the
// registry store, in child processes that really take the signal: it never
// waits for its own lock or for ever for another's, never opens a FIFO to
// wait on it, and leaves a store it cannot read as text untouched.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "runtime/platform/fatal_signal.h"
#include "runtime/platform/posix/registry_file.h"
#include "runtime/platform/registry_store.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

const std::string kKey = "Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR";

using test_support::FileBytes;

void Where(const char** module, unsigned* line) {
  *module = "MAIN.BAS";
  *line = 7;
}

// How a child process ended: its wait status, and the seconds it took.
struct Ending {
  int status = 0;
  bool killed = false;  // it was still running after the time allowed
  double seconds = 0;
};

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// A child process running a body, and when it started.
struct Child {
  pid_t pid = -1;
  double start = 0;
};

Child Spawn(const std::function<void()>& body) {
  Child child{-1, Now()};
  child.pid = fork();
  if (child.pid == 0) {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    body();
    _exit(0);
  }
  return child;
}

// Waits for the child at most `allowed` seconds from its start; a child
// still running then is killed.
Ending Await(const Child& child, double allowed) {
  Ending e;
  for (;;) {
    if (waitpid(child.pid, &e.status, WNOHANG) == child.pid) break;
    if (Now() - child.start > allowed) {
      kill(child.pid, SIGKILL);
      waitpid(child.pid, &e.status, 0);
      e.killed = true;
      break;
    }
    usleep(10000);
  }
  e.seconds = Now() - child.start;
  return e;
}

Ending InChild(const std::function<void()>& body, double allowed) { return Await(Spawn(body), allowed); }

// The fatal report installed.
void InstallReport() {
  FatalReport report;
  report.caption = "test";
  report.message = "fatal";
  report.lineEnd = "";
  report.unknownModule = "?";
  report.mode = "mode";
  report.version = "version";
  report.key = kKey;
  InstallFatalSignalReport(report, Where);
}

// The fatal report installed, then a real SIGSEGV.
void Crash() {
  InstallReport();
  raise(SIGSEGV);
}

// Calls itself until the stack is gone (each frame keeps a buffer the
// optimiser cannot drop; the depth it would stop at is never reached).
volatile int deepest = 1 << 30;
int Deeper(int n) {
  volatile char frame[512];
  frame[n % 512] = static_cast<char>(n);
  if (n >= deepest) return frame[0];
  return Deeper(n + 1) + frame[(n * 7) % 512];
}

bool DiedOf(const Ending& e, int sig) { return !e.killed && WIFSIGNALED(e.status) && WTERMSIG(e.status) == sig; }

class FatalReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    ASSERT_EQ(mkdir("tessel", 0700), 0);
    path = folder.path() + "/tessel/registry.reg";
    lock = path + ".lock";
  }
  void TearDown() override {
    for (pid_t pid : holders) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  // Another process that takes the store's lock and then stops, as a run
  // stopped with Ctrl+Z in the middle of a record would.
  void StoppedHolder() {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    if (pid == 0) {
      if (LockStore(lock.c_str()) >= 0) (void)!write(ready[1], "x", 1);
      raise(SIGSTOP);
      _exit(0);
    }
    holders.push_back(pid);
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    close(ready[1]);
  }

  test_support::TempFolder folder{"tessel-fatal"};
  std::string path, lock;
  std::vector<pid_t> holders;
};

// A real stack overflow: the report runs on a stack of its own (the
// process's is used up), says where on standard error and writes its record.
TEST_F(FatalReportTest, AStackOverflowIsReported) {
  const std::string errors = folder.path() + "/stderr.txt";
  const Ending e = InChild([&] {
    FILE* out = freopen(errors.c_str(), "w", stderr);
    (void)out;
    const rlimit small{1 << 20, 1 << 20};
    setrlimit(RLIMIT_STACK, &small);
    InstallReport();
    Deeper(0);
  }, 20);
  EXPECT_TRUE(DiedOf(e, SIGSEGV)) << "status " << e.status << " after " << e.seconds << " s";
  EXPECT_NE(FileBytes(errors).find("fatal"), std::string::npos) << FileBytes(errors);
  EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "XCODE"), static_cast<uint32_t>(SIGSEGV));
  EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "XLINE"), 7u);
}

// The signal comes while the process itself holds the store's lock (in the
// middle of writing a record): the report does not wait for itself, and its
// record is written.
TEST_F(FatalReportTest, ASignalWhileThisProcessHoldsTheLock) {
  const Ending e = InChild([&] {
    ASSERT_GE(LockStore(lock.c_str()), 0);
    Crash();
  }, 60);
  EXPECT_TRUE(DiedOf(e, SIGSEGV)) << "killed after " << e.seconds << " s";
  EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "XCODE"), static_cast<uint32_t>(SIGSEGV));
  EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, kKey, "XMODL"), "MAIN.BAS");
}

// Another process holds the lock and does not go on: a record waits for it
// a few seconds, then is skipped, by the fatal report and by a run's own
// records alike; the store stays as it was.
TEST_F(FatalReportTest, AStoppedHolderOfTheLockDelaysNoOneForLong) {
  const std::string before = "Windows Registry Editor Version 5.00\n; mine\n";
  std::ofstream(path, std::ios::binary) << before;
  StoppedHolder();
  // The two wait for the holder at the same time.
  const Child crashing = Spawn(Crash);
  // Both records are skipped (1 if not), and the second does not wait again
  // (2 if it did): one wait in all. A wait of the lock's whole time, not a
  // moment of a loaded machine, is what tells the two apart.
  const Child recording = Spawn([] {
    const bool first = RegistryChange().Dword("CODE", 1).Commit(RegistryRoot::CurrentUser, kKey);
    const double start = Now();
    const bool second = RegistryChange().Dword("CODE", 2).Commit(RegistryRoot::CurrentUser, kKey);
    const bool waitedAgain = Now() - start >= kStoreLockWait - 0.5;
    _exit(first || second ? 1 : waitedAgain ? 2 : 0);
  });
  const Ending crash = Await(crashing, 60);
  EXPECT_TRUE(DiedOf(crash, SIGSEGV)) << "killed after " << crash.seconds << " s";
  EXPECT_GE(crash.seconds, kStoreLockWait - 0.5);
  const Ending record = Await(recording, 60);
  EXPECT_FALSE(record.killed);
  EXPECT_TRUE(WIFEXITED(record.status) && WEXITSTATUS(record.status) == 0) << "status " << record.status;
  EXPECT_EQ(FileBytes(path), before);
}

// A FIFO where the store or its lock should be is never opened to wait on:
// the report and a record end at once, and the FIFO stays.
TEST_F(FatalReportTest, AFifoInPlaceOfTheStoreOrItsLock) {
  for (const std::string& fifo : {path, lock}) {
    unlink(lock.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Ending crash = InChild(Crash, 60);
    EXPECT_TRUE(DiedOf(crash, SIGSEGV)) << fifo << ": killed after " << crash.seconds << " s";
    const Ending record = InChild([] {
      _exit(RegistryChange().Dword("CODE", 1).Commit(RegistryRoot::CurrentUser, kKey) ? 1 : 0);
    }, 60);
    EXPECT_TRUE(!record.killed && WIFEXITED(record.status) && WEXITSTATUS(record.status) == 0) << fifo;
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(unlink(fifo.c_str()), 0);
  }
}

// A store an editor saved in UTF-16 is not text this store can edit: no
// record goes into it, from a run or from the fatal report.
// The report reads the store into a buffer of 1 MiB made ready before any
// signal: a store that fills it exactly (or one byte less) gets its record
// after what it holds; one a byte larger is left as it is, never cut.
TEST_F(FatalReportTest, AStoreOfOneMebibyteAndNotOneByteMore) {
  const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n\"Pad\"=\"";
  for (size_t size : {(1u << 20) - 1, 1u << 20, (1u << 20) + 1}) {
    std::string store = head + std::string(size - head.size() - 3, 'p') + "\"\r\n";
    ASSERT_EQ(store.size(), size);
    std::ofstream(path, std::ios::binary) << store;
    EXPECT_TRUE(DiedOf(InChild(Crash, 60), SIGSEGV)) << size;
    const std::string after = FileBytes(path);
    if (size <= (1u << 20)) {
      EXPECT_EQ(after.substr(0, size), store) << size;
      EXPECT_NE(after.find("\"XCODE\"=dword:0000000b", size), std::string::npos) << size;
    } else {
      EXPECT_EQ(after, store) << size;
    }
  }
}

TEST_F(FatalReportTest, AStoreInUtf16IsLeftAsItIs) {
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n")) {
    utf16 += c;
    utf16 += '\0';
  }
  std::string noMark = utf16.substr(2);
  for (const std::string& store : {utf16, noMark}) {
    std::ofstream(path, std::ios::binary) << store;
    EXPECT_FALSE(RegistryChange().Dword("CODE", 1).Commit(RegistryRoot::CurrentUser, kKey));
    EXPECT_TRUE(DiedOf(InChild(Crash, 60), SIGSEGV));
    EXPECT_EQ(FileBytes(path), store);
  }
}

}  // namespace
}  // namespace platform
