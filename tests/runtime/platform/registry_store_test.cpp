// The registry store: what a change keeps, where the store lives, and what
// happens when it cannot be read or written, or several runs write at once.
#include "runtime/platform/registry_store.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "runtime/platform/file_faults.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

const std::string kKey = "Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR";
const std::string kRepro = REPRO_DIR;

using test_support::FileBytes;

class Store : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    ASSERT_EQ(mkdir("tessel", 0700), 0);
    path = folder.path() + "/tessel/registry.reg";
  }
  void TearDown() override { ClearFileFaults(); }
  void Put(const std::string& bytes, mode_t mode = 0600) {
    std::ofstream(path, std::ios::binary) << bytes;
    chmod(path.c_str(), mode);
  }
  static bool Record(int n) {
    return RegistryChange().String("MODL", std::string("M").append(std::to_string(n))).Dword("LINE", n).Dword("CODE", n).Commit(
        RegistryRoot::CurrentUser, kKey);
  }
  // What the store's folder holds, sorted: no temporary file may be left.
  std::string Entries() {
    std::vector<std::string> names;
    if (DIR* d = opendir((folder.path() + "/tessel").c_str())) {
      while (dirent* e = readdir(d))
        if (e->d_name[0] != '.' || (e->d_name[1] && e->d_name[1] != '.')) names.push_back(e->d_name);
      closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::string all;
    for (const std::string& n : names) all += n + " ";
    return all;
  }

  test_support::TempFolder folder{"tessel-store"};
  std::string path;
};

// A store full of what the run-time does not write: only the new section is
// added, in the store's own line ends, and its mode stays.
TEST_F(Store, KeepsEveryLineItDoesNotChange) {
  const std::string before = FileBytes(kRepro + "/registry_corrupt/registry.reg.before");
  ASSERT_FALSE(before.empty());
  Put(before);
  ASSERT_TRUE(Record(7));
  EXPECT_EQ(FileBytes(path), before + "\r\n[HKEY_CURRENT_USER\\" + kKey +
                             "]\r\n\"MODL\"=\"M7\"\r\n\"LINE\"=dword:00000007\r\n\"CODE\"=dword:00000007\r\n");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, "Software\\Norvane\\Tessel V6.3\\ENV", "TESSEL"),
            "/opt/tessel");
}

// A rewrite keeps the store's mode whatever it is (not the mode a new
// temporary would have), and is made durable before it takes the name, by
// the calls themselves.
TEST_F(Store, ARewriteKeepsTheModeAndReachesTheDiskFirst) {
  for (mode_t mode : {0644, 0640, 0600}) {
    Put("Windows Registry Editor Version 5.00\r\n", mode);
    ClearFileCalls();
    ASSERT_TRUE(Record(1));
    EXPECT_EQ(FileCallsMade(), "SR") << std::oct << mode;
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, mode) << std::oct << mode;
  }
}

// Strings with the characters the store escapes (a backslash, a quote) and
// a double-byte one whose second byte is a backslash come back as written.
TEST_F(Store, EscapedStringsComeBackAsWritten) {
  const std::string values[] = {"C:\\tessel\\lib", "say \"hi\"", "\\\"\\", "\x95\x5c\x8e\x9a", "end\\"};
  for (const std::string& value : values) {
    ASSERT_TRUE(RegistryChange().String("MODL", value).Commit(RegistryRoot::CurrentUser, kKey));
    EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, kKey, "MODL"), value);
  }
  EXPECT_NE(FileBytes(path).find("\"MODL\"=\"end\\\\\""), std::string::npos) << FileBytes(path);
}

// Values are replaced where they stand (a continued hex value whole); new
// ones follow the section's last value, before what comes after it.
TEST_F(Store, ReplacesValuesWhereTheyStand) {
  const std::string head = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + kKey + "]\n";
  Put(head + "\"CODE\"=hex:01,02,\\\n  03,04\n; note\n\"OTHER\"=\"kept\"\n\n[HKEY_CURRENT_USER\\Next]\n\"X\"=\"y\"\n");
  ASSERT_TRUE(Record(3));
  EXPECT_EQ(FileBytes(path), head + "\"CODE\"=dword:00000003\n; note\n\"OTHER\"=\"kept\"\n\"MODL\"=\"M3\"\n"
                                "\"LINE\"=dword:00000003\n\n[HKEY_CURRENT_USER\\Next]\n\"X\"=\"y\"\n");
  EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "CODE"), 3u);
  EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, kKey, "OTHER"), "kept");
}

// Keys and names match whatever their case, and a value continued over
// lines indented by a tab or by spaces is replaced whole, where it stands,
// in the store's own CR LF.
TEST_F(Store, KeysOfAnyCaseAndValuesContinuedOverIndentedLines) {
  Put("Windows Registry Editor Version 5.00\r\n\r\n"
      "[hkey_current_user\\software\\norvane\\tessel v6.3\\runtime\\error]\r\n"
      "\"code\"=hex:01,\\\r\n\t02,\\\r\n  03\r\n\"Keep\"=\"me\"\r\n");
  ASSERT_TRUE(Record(3));
  const std::string after = FileBytes(path);
  EXPECT_EQ(std::count(after.begin(), after.end(), '['), 1) << after;
  EXPECT_EQ(after.find("02"), std::string::npos) << after;
  EXPECT_EQ(after.find("03,"), std::string::npos) << after;
  EXPECT_LT(after.find("dword:00000003"), after.find("Keep")) << after;
  for (size_t at = after.find('\n'); at != std::string::npos; at = after.find('\n', at + 1))
    EXPECT_EQ(after[at - 1], '\r') << after;
  EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "CODE"), 3u);
  EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, kKey, "Keep"), "me");
}

// A value continued on a line that is not indented does not continue: a
// value after it (or a key) is its own, also when it is added after it.
TEST_F(Store, OnlyIndentedLinesContinueAValue) {
  const std::string head = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + kKey + "]\n";
  Put(head + "\"BLOB\"=hex:01,\\\n[HKEY_CURRENT_USER\\Next]\n\"X\"=\"y\"\n");
  ASSERT_TRUE(Record(4));
  EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "CODE"), 4u);
  EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, "Next", "X"), "y");
  Put(head + "\"BLOB\"=hex:01,\\\n");  // the store ends in the middle of a value
  ASSERT_TRUE(Record(5));
  EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, kKey, "MODL"), "M5");
}

// A key written twice: its first copy is read and written, the second kept.
TEST_F(Store, TheFirstCopyOfADuplicatedKey) {
  for (const char* file : {"/registry_duplicate_key.reg", "/registry_fuzz_duplicate_key.reg"}) {
    const std::string before = FileBytes(kRepro + file);
    Put(before);
    ASSERT_TRUE(Record(9)) << file;
    EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "CODE"), 9u) << file;
    EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, kKey, "MODL"), "M9") << file;
    const std::string after = FileBytes(path);
    const size_t second = before.rfind("[HKEY_CURRENT_USER\\Software\\Norvane");
    EXPECT_EQ(after.substr(after.size() - (before.size() - second)), before.substr(second)) << file;
  }
}

// A store that is a link stays one; the file it leads to changes.
TEST_F(Store, KeepsALink) {
  const std::string elsewhere = folder.path() + "/real.reg";
  std::ofstream(elsewhere) << "Windows Registry Editor Version 5.00\n";
  ASSERT_EQ(symlink(elsewhere.c_str(), path.c_str()), 0);
  ASSERT_TRUE(Record(1));
  struct stat st;
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(FileBytes(elsewhere).find("\"CODE\"=dword:00000001"), std::string::npos);
}

// The new store is a file made for it alone: a link planted where a
// temporary file of the store could be looked for leads nowhere.
TEST_F(Store, ATemporaryNameCannotBeRedirected) {
  const std::string victim = folder.path() + "/victim";
  std::ofstream(victim) << "precious";
  for (const std::string& name : {path + ".tmp" + std::to_string(getpid()), path + ".tmp", path + ".new"})
    ASSERT_EQ(symlink(victim.c_str(), name.c_str()), 0);
  ASSERT_TRUE(Record(6));
  EXPECT_EQ(FileBytes(victim), "precious");
  struct stat st;
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "CODE"), 6u);
}

// A store that cannot be read is never replaced, and one that cannot be
// written stays as it was, without a temporary file left beside it.
TEST_F(Store, NothingIsLostWhenItCannotBeReadOrWritten) {
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);  // not a file
  EXPECT_FALSE(Record(1));
  ASSERT_EQ(rmdir(path.c_str()), 0);
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_FALSE(Record(1));
  ASSERT_EQ(unlink(path.c_str()), 0);
  const std::string before = "Windows Registry Editor Version 5.00\r\n; mine\r\n";
  for (FileCall call : {FileCall::Open, FileCall::Write, FileCall::Sync, FileCall::Rename}) {
    Put(before);
    InjectFileFault(call, 1, call == FileCall::Write ? ENOSPC : EIO);
    EXPECT_FALSE(Record(2));
    ClearFileFaults();
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(Entries(), "registry.reg registry.reg.lock ");
  }
}

// The user's store is only in the user's own home: without the variables,
// the home of the password database; a relative folder is no folder.
TEST_F(Store, LivesOnlyInTheUsersHome) {
  const char* home = getenv("HOME");
  const std::string savedHome = home ? home : "";
  EXPECT_EQ(RegistryPath(RegistryRoot::CurrentUser), path);
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/somewhere", 1);
  EXPECT_EQ(RegistryPath(RegistryRoot::CurrentUser), "/somewhere/.config/tessel/registry.reg");
  setenv("XDG_CONFIG_HOME", "relative", 1);
  setenv("HOME", ".", 1);
  const std::string fallback = RegistryPath(RegistryRoot::CurrentUser);
  EXPECT_EQ(fallback.find("/tmp/.config"), std::string::npos);
  EXPECT_TRUE(fallback.empty() || fallback[0] == '/') << fallback;
  if (!fallback.empty()) {
    EXPECT_NE(fallback.find("/.config/tessel/registry.reg"), std::string::npos);
  }
  if (home) setenv("HOME", savedHome.c_str(), 1);
  else unsetenv("HOME");
}

// Twelve processes write their records at once: each record is written
// whole (never one run's LINE with another's CODE), no change is lost to
// another made at the same time, and other values stay. On a loaded machine
// a wait for the lock may run out (the change is then not made, and says
// so): a change not made is made again, so that the outcome does not hang
// on the machine's speed.
TEST_F(Store, ConcurrentRecordsNeverMix) {
  Put("Windows Registry Editor Version 5.00\n; mine\n\n[HKEY_CURRENT_USER\\Other]\n\"Keep\"=\"me\"\n");
  std::vector<pid_t> children;
  for (int n = 1; n <= 12; ++n) {
    pid_t pid = fork();
    if (pid == 0) {
      auto made = [](const std::function<bool()>& change) {
        for (int attempt = 0; attempt < 6000; ++attempt) {
          if (change()) return true;
          const timespec pause{0, 10 * 1000 * 1000};
          nanosleep(&pause, nullptr);
        }
        return false;
      };
      bool ok = true;
      for (int i = 1; i <= 20; ++i) {
        ok = made([&] { return Record(n); }) && ok;
        ok = made([&] { return RegistrySetDword(RegistryRoot::CurrentUser, "Runs", "Run" + std::to_string(n), i); }) &&
             ok;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto line = RegistryGetDword(RegistryRoot::CurrentUser, kKey, "LINE");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, kKey, "CODE"), line);
  EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, kKey, "MODL"), "M" + std::to_string(*line));
  EXPECT_EQ(RegistryGetString(RegistryRoot::CurrentUser, "Other", "Keep"), "me");
  for (int n = 1; n <= 12; ++n)
    EXPECT_EQ(RegistryGetDword(RegistryRoot::CurrentUser, "Runs", "Run" + std::to_string(n)), 20u) << n;
  EXPECT_NE(FileBytes(path).find("; mine\n"), std::string::npos);
  EXPECT_EQ(Entries(), "registry.reg registry.reg.lock ");
}

}  // namespace
}  // namespace platform
