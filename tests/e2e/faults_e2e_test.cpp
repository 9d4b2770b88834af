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
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "process.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace {

const std::string kEquation = EQUATION_PROGRAM;
const std::string kPolymul = POLYMUL_PROGRAM;

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

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

  // Starts a program in the folder, its input from a file, its output
  // dropped; the pid is the program's own.
  pid_t Start(const std::string& program, const std::string& inputFile) {
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(folder.c_str()) != 0) _exit(127);
      setenv("TESSEL_DISPLAY", "stream", 1);
      setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
      // As a user's shell starts it, whatever this test process ignores.
      for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
      int in = open(inputFile.c_str(), O_RDONLY), out = open("/dev/null", O_WRONLY);
      dup2(in, 0);
      dup2(out, 1);
      dup2(out, 2);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
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

  // Two saved factors whose product takes polymul a while to save.
  void MakeFactors() {
    ASSERT_EQ(Run(kEquation, "y\nm\n(a+b+c+d+e+f+g+h+i)10\ny\nd\nf10.txt\ny\n").exitCode, 0);
    ASSERT_EQ(Run(kEquation, "y\nm\n(a+b+c+d+e+f+g+h+i)2\ny\nd\nf2.txt\ny\n").exitCode, 0);
    std::ofstream(folder + "/in.txt") << "y\n2\nf10.txt\nf2.txt\ny\nd\nprod.txt\ny\n";
  }

  test_support::TempFolder scratch{"tessel-faults", false};
  const std::string folder = scratch.path();
  std::vector<pid_t> children;
};

// INT, TERM and HUP at moments spread over a long save: the run ends with
// 128 + the signal's number (or 0 when it had finished), the saved file is
// the old one or the whole new one, and no temporary is left.
TEST_F(Faults, SignalsDuringASaveLeaveTheOldFileOrTheWholeNewOne) {
  MakeFactors();
  const std::string old = "OLD CONTENT\r\n";
  const double start = Now();
  int status = 0;
  pid_t whole = Start(kPolymul, folder + "/in.txt");
  waitpid(whole, &status, 0);
  const double duration = Now() - start;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string complete = FileBytes(folder + "/prod.txt");
  ASSERT_GT(complete.size(), 1000000u);
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  int signalled = 0;
  for (int run = 0; run < 9; ++run) {
    std::ofstream(folder + "/prod.txt", std::ios::binary) << old;
    const int sig = signals[run % 3];
    pid_t pid = Start(kPolymul, folder + "/in.txt");
    usleep(static_cast<useconds_t>(duration * 1e6 * (run + 1) / 10));
    kill(pid, sig);
    waitpid(pid, &status, 0);
    const std::string now = FileBytes(folder + "/prod.txt");
    EXPECT_TRUE(now == old || now == complete) << "run " << run << ": " << now.size() << " bytes";
    EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 128 + sig || WEXITSTATUS(status) == 0))
        << "run " << run << ": status " << status;
    signalled += WIFEXITED(status) && WEXITSTATUS(status) == 128 + sig;
    EXPECT_EQ(Others({"f10.txt", "f2.txt", "in.txt", "prod.txt", "config"}), std::vector<std::string>{})
        << "run " << run;
  }
  EXPECT_GE(signalled, 5) << "most runs end by their signal";
}

// A kill nothing can catch leaves the temporary; the next save of that name
// recognises it as the leftover of a run that is gone and removes it.
TEST_F(Faults, TheNextSaveRemovesWhatAKilledRunLeft) {
  MakeFactors();
  pid_t pid = Start(kPolymul, folder + "/in.txt");
  std::vector<std::string> left;
  for (int i = 0; i < 3000 && left.empty(); ++i) {
    usleep(1000);
    left = Others({"f10.txt", "f2.txt", "in.txt", "prod.txt", "config"});
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
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
  ASSERT_EQ(symlink("f2.txt", (folder + "/" + kept[3]).c_str()), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown((folder + "/" + kept[4]).c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(Run(kEquation, "y\nm\n(a+b)(a-b)\ny\nn\nprod.txt\nok\ny\n").exitCode, 0);
  close(locked);
  EXPECT_EQ(FileBytes(folder + "/prod.txt"), "+a2-b2\r\n\x1A");
  std::vector<std::string> now = Others({"f10.txt", "f2.txt", "in.txt", "prod.txt", "config"});
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
  const double start = Now();
  e2e::Run r = Run("timeout 30 " + kEquation, "y\nm\n(a+b+c+d+e+f+g+h+i+j)(a)\n\n");
  const double seconds = Now() - start;
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("エラー[9]"), std::string::npos) << r.out;
  EXPECT_LT(seconds, 10);
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
    const double start = Now();
    e2e::Run r = e2e::RunProgram("timeout 20 script -qec \"TERM=xterm TESSEL_DISPLAY=terminal " + kEquation + " " +
                                     input + "\" /dev/null",
                                 "");
    EXPECT_EQ(r.exitCode, 3) << input;  // the input ended while the program waited
    EXPECT_LT(Now() - start, 10) << input;
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
