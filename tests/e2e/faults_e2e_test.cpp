// The built programs under the faults a user or the system brings: signals
// and kills in the middle of a save, a store locked by a stopped process,
// terminals that are not known or whose input has ended, and hand-made
// files with values no term can show. Nothing saved is lost or cut, nothing
// waits for ever, and every failure says what happened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "piped_session.h"
#include "process.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace {

const std::string kEquation = EQUATION_PROGRAM;
const std::string kPolymul = POLYMUL_PROGRAM;

using test_support::FileBytes;

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (e2e::WindowsBuild() || e2e::WebBuild()) GTEST_SKIP() << "signals, locks and terminals of POSIX systems";
  }
  void TearDown() override {
    for (pid_t pid : children) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // Runs a command in the folder with the given input, through the stream.
  e2e::Run Run(const std::string& command, const std::string& input) {
    return e2e::RunProgram("cd " + folder + " && XDG_CONFIG_HOME=" + folder + "/config TESSEL_DISPLAY=stream " +
                               command,
                           input);
  }

  // The names in the folder that are not those given.
  std::vector<std::string> Others(const std::vector<std::string>& known) {
    std::vector<std::string> others;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
  }

  // An answer of 12,870 terms, whose array form (763 KB) takes a while to
  // save: the dialogue up to the question for the file's name.
  static constexpr const char* kUpToTheName = "y\nm\n(a+b+c+d+e+f+g+h+i)8\ny\nd\n";
  static constexpr const char* kNameAsked = "ファイル名を ans1.txt";
  static constexpr const char* kSaved = "保存されました。";
  static constexpr const char* kEndAsked = "プログラムを終了しますか(y/n)? ";

  // The whole array form of that answer, saved by a run left alone.
  std::string CompleteSave() {
    e2e::Run r = Run(kEquation, std::string(kUpToTheName) + "whole.txt\ny\n");
    EXPECT_EQ(r.exitCode, 0);
    std::string bytes = FileBytes(folder + "/whole.txt");
    std::filesystem::remove(folder + "/whole.txt");
    return bytes;
  }

  test_support::TempFolder scratch{"tessel-faults", false};
  const std::string folder = scratch.path();
  std::vector<pid_t> children;
};

// INT, TERM and HUP at the moments of a save that matter: while the name is
// asked (nothing is open yet), with the save's temporary being written (the
// program stopped as soon as the temporary is made, the signal sent, the
// program let go), and once the save is done. The run ends with 128 + the
// signal's number, the file is the old one before the save is done and the
// whole new one after, and no temporary is left.
TEST_F(Faults, SignalsDuringASaveLeaveTheOldFileOrTheWholeNewOne) {
  const std::string complete = CompleteSave();
  ASSERT_GT(complete.size(), 700000u);
  const std::string old = "OLD CONTENT\r\n";
  const std::vector<std::string> known = {"prod.txt", "config"};
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string what = std::string("signal ") + std::to_string(sig);
    {  // Asked for the name.
      std::ofstream(folder + "/prod.txt", std::ios::binary) << old;
      e2e::PipedSession run(folder, kEquation);
      ASSERT_TRUE(run.started());
      run.Type(kUpToTheName);
      ASSERT_TRUE(run.WaitFor(kNameAsked)) << what << run.shown();
      run.Signal(sig);
      EXPECT_EQ(run.Wait(), 128 + sig) << what << ", the name asked";
      EXPECT_EQ(FileBytes(folder + "/prod.txt"), old) << what << ", the name asked";
      EXPECT_EQ(Others(known), std::vector<std::string>{}) << what << ", the name asked";
    }
    // Writing the temporary. A save that outran the stop is tried again.
    bool caught = false;
    for (int attempt = 0; attempt < 10 && !caught; ++attempt) {
      std::ofstream(folder + "/prod.txt", std::ios::binary) << old;
      e2e::PipedSession run(folder, kEquation);
      ASSERT_TRUE(run.started());
      run.Type(std::string(kUpToTheName) + "prod.txt\n");
      const std::string temporary = run.StopWhenMade(".prod.txt.tessel-");
      ASSERT_NE(temporary, "") << what;
      caught = std::filesystem::exists(folder + "/" + temporary) && FileBytes(folder + "/prod.txt") == old;
      run.Signal(sig);
      run.Continue();
      EXPECT_EQ(run.Wait(), 128 + sig) << what << ", writing";
      const std::string now = FileBytes(folder + "/prod.txt");
      EXPECT_TRUE(now == (caught ? old : complete)) << what << ", writing: " << now.size() << " bytes";
      EXPECT_EQ(Others(known), std::vector<std::string>{}) << what << ", writing";
    }
    EXPECT_TRUE(caught) << what << ": no save was stopped while it wrote";
    {  // Saved.
      std::ofstream(folder + "/prod.txt", std::ios::binary) << old;
      e2e::PipedSession run(folder, kEquation);
      ASSERT_TRUE(run.started());
      run.Type(std::string(kUpToTheName) + "prod.txt\n");
      ASSERT_TRUE(run.WaitFor(kSaved) && run.WaitFor(kEndAsked)) << what;
      run.Signal(sig);
      EXPECT_EQ(run.Wait(), 128 + sig) << what << ", saved";
      EXPECT_TRUE(FileBytes(folder + "/prod.txt") == complete) << what << ", saved";
      EXPECT_EQ(Others(known), std::vector<std::string>{}) << what << ", saved";
    }
  }
}

// Started to ignore SIGHUP (nohup), the program keeps ignoring it: a hang-up
// in the middle of a save changes nothing, and the save completes.
TEST_F(Faults, AHangUpIgnoredFromTheStartLetsTheSaveComplete) {
  const std::string complete = CompleteSave();
  std::ofstream(folder + "/prod.txt", std::ios::binary) << "OLD CONTENT\r\n";
  e2e::PipedSession run(folder, kEquation, true);
  ASSERT_TRUE(run.started());
  run.Type(std::string(kUpToTheName) + "prod.txt\n");
  ASSERT_NE(run.StopWhenMade(".prod.txt.tessel-"), "");
  run.Signal(SIGHUP);
  run.Continue();
  ASSERT_TRUE(run.WaitFor(kSaved) && run.WaitFor(kEndAsked)) << run.shown().size() << " bytes shown";
  run.Signal(SIGHUP);
  run.Type("y\n");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_TRUE(FileBytes(folder + "/prod.txt") == complete);
  EXPECT_EQ(Others({"prod.txt", "config"}), std::vector<std::string>{});
}

// A kill nothing can catch leaves the temporary; the next save of that name
// recognises it as the leftover of a run that is gone and removes it.
TEST_F(Faults, TheNextSaveRemovesWhatAKilledRunLeft) {
  std::ofstream(folder + "/prod.txt", std::ios::binary) << "OLD CONTENT\r\n";
  pid_t pid = 0;
  {
    e2e::PipedSession run(folder, kEquation);
    ASSERT_TRUE(run.started());
    pid = run.pid();
    run.Type(std::string(kUpToTheName) + "prod.txt\n");
    ASSERT_NE(run.StopWhenMade(".prod.txt.tessel-"), "");
    run.Signal(SIGKILL);
    EXPECT_EQ(run.Wait(), 128 + SIGKILL);
  }
  const std::vector<std::string> known = {"prod.txt", "config"};
  const std::vector<std::string> left = Others(known);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].rfind(".prod.txt.tessel-" + std::to_string(pid) + "-", 0), 0u) << left[0];
  // What stays: another program's file of a similar name, one of a live
  // process, one whose lock a live process holds (a writer elsewhere with
  // that number), a link, and another user's file.
  const std::string dead = ".prod.txt.tessel-" + std::to_string(pid) + "-";
  const std::vector<std::string> kept = {".prod.txt.other", ".prod.txt.tessel-" + std::to_string(getpid()) + "-abcdef",
                                         dead + "locked", dead + "linked", dead + "theirs"};
  for (const std::string& name : {kept[0], kept[1], kept[2], kept[4]}) std::ofstream(folder + "/" + name) << "kept";
  const int locked = open((folder + "/" + kept[2]).c_str(), O_RDONLY);
  ASSERT_EQ(flock(locked, LOCK_EX), 0);
  ASSERT_EQ(symlink("prod.txt", (folder + "/" + kept[3]).c_str()), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown((folder + "/" + kept[4]).c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(Run(kEquation, "y\nm\n(a+b)(a-b)\ny\nn\nprod.txt\nok\ny\n").exitCode, 0);
  close(locked);
  EXPECT_EQ(FileBytes(folder + "/prod.txt"), "+a2-b2\r\n\x1A");
  std::vector<std::string> now = Others(known);
  std::vector<std::string> expected = kept;
  if (geteuid() != 0) expected.pop_back();  // this user's own file: a leftover like any other
  std::sort(now.begin(), now.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(now, expected);
}

// A failing run while another process, stopped, holds the store's lock: it
// ends within seconds all the same, and says that its record was skipped.
TEST_F(Faults, AFailingRunIsNotHeldByAStoppedHolderOfTheStore) {
  ASSERT_EQ(std::system(("mkdir -p " + folder + "/config/tessel").c_str()), 0);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    int fd = open((folder + "/config/tessel/registry.reg.lock").c_str(), O_RDWR | O_CREAT, 0600);
    if (fd >= 0 && flock(fd, LOCK_EX) == 0) (void)!write(ready[1], "x", 1);
    raise(SIGSTOP);
    _exit(0);
  }
  children.push_back(holder);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  // Ended by itself (1), not by the timeout (124).
  e2e::Run r = Run("timeout 60 " + kEquation, "y\nm\n(a+b+c+d+e+f+g+h+i+j)(a)\n\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("エラー[9]"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("stayed locked by another process; the record was not written"), std::string::npos) << r.err;
}

// A terminal type the system does not know, no type at all, or one that
// cannot move its cursor: one line says why, and the dialogue goes on in
// the stream.
TEST_F(Faults, AnUnusableTerminalFallsBackToTheStream) {
  const struct {
    std::string environment, reason;
  } cases[] = {
      {"TERM=bogus-terminal", "TERM=bogus-terminal is not a terminal type this system knows"},
      {"env -u TERM", "no terminal type is set (TERM)"},
      {"TERM=dumb", "TERM=dumb cannot move its cursor"},
  };
  for (const auto& c : cases) {
    e2e::Run r = e2e::RunProgram(c.environment + " TESSEL_DISPLAY=terminal " + kEquation, "n\n");
    EXPECT_EQ(r.exitCode, 0) << c.environment << ": " << r.err;
    EXPECT_EQ(r.err, "TESSEL_DISPLAY=terminal: " + c.reason + "; using the stream\n") << c.environment;
    EXPECT_NE(r.out.find("理解できましたか(y/n)? n\n"), std::string::npos) << c.environment << ": " << r.out;
  }
}

// The terminal display whose input has ended (a file read to its end, a
// pipe whose writer has gone) ends the program, as the stream does, instead
// of waiting at full speed for keys that cannot come.
TEST_F(Faults, TheTerminalDisplayEndsWithItsInput) {
  if (!e2e::Have("script")) GTEST_SKIP() << "script (util-linux) is not installed";
  for (const std::string& input : {std::string("< /dev/null"), std::string("< ") + folder + "/typed.txt"}) {
    std::ofstream(folder + "/typed.txt") << "y\nm\n";
    e2e::Run r = e2e::RunProgram("timeout 60 script -qec \"TERM=xterm TESSEL_DISPLAY=terminal " + kEquation + " " +
                                     input + "\" /dev/null",
                                 "");
    // The input ended while the program waited (3), and not the timeout (124).
    EXPECT_EQ(r.exitCode, 3) << input;
  }
}

// A hand-made array file with a negative exponent, a sign other than 1 or
// -1, or a negative magnitude: the term texts cannot show such a term
// truthfully (a^-2 would be "a2"), so the file is refused as a field that
// does not fit is, and no wrong answer is shown.
TEST_F(Faults, PolymulRefusesValuesNoTermCanShow) {
  std::ofstream(folder + "/a.txt", std::ios::binary) << " 1 , 1 \r\n 1 , 1 , 1 \r\n+a\r\n\x1A";
  for (const char* row : {" 1 , 1 ,-3 ", " 2 , 1 , 1 ", " 1 ,-5 , 1 "}) {
    std::ofstream(folder + "/bad.txt", std::ios::binary) << " 1 , 1 \r\n" << row << "\r\n+a\r\n\x1A";
    e2e::Run r = Run(kPolymul, "y\n2\nbad.txt\na.txt\ny\nd\nout.txt\ny\n\n");
    EXPECT_EQ(r.exitCode, 1) << row;
    EXPECT_NE(r.out.find("MAIN.BAS [103行]:エラー[58]"), std::string::npos) << row << r.out;
    EXPECT_EQ(r.out.find("Answer ="), std::string::npos) << row;
  }
  // The file's own values are fine: 0 and whole positive numbers.
  std::ofstream(folder + "/bad.txt", std::ios::binary) << " 1 , 1 \r\n-1 , 3 , 0 \r\n-3\r\n\x1A";
  e2e::Run r = Run(kPolymul, "y\n2\nbad.txt\na.txt\ny\nn\ny\n");
  EXPECT_NE(r.out.find("Answer =-3a\n"), std::string::npos) << r.out;
}

}  // namespace
