// The echo program in the stream display (through pipes) and in the
// terminal display (inside tmux).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "process.h"

namespace {

const std::string kProgram = ECHO_PROGRAM;

TEST(StreamDisplay, EchoesATypedLine) {
  e2e::Run r = e2e::RunProgram("TESSEL_DISPLAY=stream " + kProgram, "山田 太郎\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "名前は? 山田 太郎\nこんにちは、山田 太郎さん\n");
  EXPECT_EQ(r.err, "");
}

// The window closes without a word; the status says the input ended first.
TEST(StreamDisplay, EndOfInputClosesTheWindowQuietly) {
  e2e::Run r = e2e::RunProgram("TESSEL_DISPLAY=stream " + kProgram, "");
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "名前は? ");
}

TEST(StreamDisplay, EditingKeysAndCrLf) {
  // Left arrow twice, insert "X", End, Backspace; CR LF is one Enter.
  e2e::Run r = e2e::RunProgram("TESSEL_DISPLAY=stream " + kProgram, "abcd\033[D\033[DX\033[F\x7f\r\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("こんにちは、abXcさん\n"), std::string::npos) << r.out;
}

TEST(StreamDisplay, RuntimeErrorIsReportedAndEndsWithStatusOne) {
  char dir[] = "/tmp/tessel-e2e-config-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  // The key wait ends at the end of input; the program reports failure.
  e2e::Run r = e2e::RunProgram(std::string("XDG_CONFIG_HOME=") + dir + " TESSEL_DISPLAY=stream " + kProgram +
                                   " error", "x\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("\nMAIN.BAS [120行]:エラー[5]\n任意のキーを押してください"), std::string::npos) << r.out;
  e2e::Run store = e2e::RunProgram(std::string("cat ") + dir + "/tessel/registry.reg", "");
  EXPECT_NE(store.out.find("\"CODE\"=dword:00000005"), std::string::npos) << store.out;
  EXPECT_NE(store.out.find("\"LINE\"=dword:00000078"), std::string::npos) << store.out;
  (void)!std::system((std::string("rm -rf ") + dir).c_str());
}

// Runs the echo program (ending in an error, so that its screen stays) in a
// tmux pane of the given size, types the keys, and returns the pane's text
// once `ready` shows in it.
std::string TmuxSession(int width, int height, const std::string& keys, const std::string& ready) {
  const std::string session = "tessel-e2e-" + std::to_string(getpid()) + "-" + std::to_string(width);
  std::string start = e2e::Tmux() + "new-session -d -s " + session + " -x " + std::to_string(width) + " -y " +
                      std::to_string(height) + " \"TESSEL_DISPLAY=terminal " + kProgram + " error; sleep 5\"";
  if (std::system(start.c_str()) != 0) return "";
  auto capture = [&] { return e2e::RunProgram(e2e::Tmux() + "capture-pane -p -t " + session, "").out; };
  std::string screen;
  for (int i = 0; i < 50 && screen.find("?") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    screen = capture();
  }
  (void)!std::system((e2e::Tmux() + "send-keys -t " + session + " " + keys).c_str());
  for (int i = 0; i < 50 && screen.find(ready) == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    screen = capture();
  }
  (void)!std::system((e2e::Tmux() + "kill-session -t " + session + " 2>/dev/null").c_str());
  return screen;
}

// A terminal narrower than the grid: a double-byte character cut by the
// view's edge is blank, never a lone lead byte ("?") or a lone trail byte
// (a half-width katakana).
TEST(TerminalDisplay, NarrowTerminalDrawsWholeCharacters) {
  if (!e2e::Have("tmux")) GTEST_SKIP() << "tmux is not installed";
  // At 40 columns the right edge cuts characters; at 20 the view follows the
  // cursor back to column 26 after the error, and its left edge cuts them.
  for (auto [width, ready] : std::vector<std::pair<int, std::string>>{{40, "[5]"}, {20, "くけこ"}}) {
    std::string screen = TmuxSession(width, 10, "'aあいうえおかきくけこさしすせそたちつてと' Enter", ready);
    EXPECT_NE(screen.find(ready), std::string::npos) << screen;
    std::string rows = screen.substr(0, screen.find("120"));
    EXPECT_EQ(rows.find('?'), std::string::npos) << width << "\n" << screen;
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
      const unsigned char a = rows[i], b = rows[i + 1];
      EXPECT_FALSE(a == 0xEF && (b == 0xBD || b == 0xBE)) << "half-width form at " << i << "\n" << screen;
    }
  }
}

// A fatal signal in the terminal display gives the terminal back as it was.
TEST(TerminalDisplay, FatalSignalGivesTheTerminalBack) {
  if (!e2e::Have("tmux")) GTEST_SKIP() << "tmux is not installed";
  char file[] = "/tmp/tessel-stty-XXXXXX";
  int fd = mkstemp(file);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::string session = "tessel-e2e-crash-" + std::to_string(getpid());
  std::string start = e2e::Tmux() + "new-session -d -s " + session + " -x 80 -y 24 \"TESSEL_DISPLAY=terminal " + kProgram +
                      " crash; stty -a > " + file + "; sleep 5\"";
  ASSERT_EQ(std::system(start.c_str()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  (void)!std::system((e2e::Tmux() + "send-keys -t " + session + " x Enter").c_str());
  std::string modes;
  for (int i = 0; i < 50 && modes.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    modes = e2e::RunProgram(std::string("cat ") + file, "").out;
  }
  (void)!std::system((e2e::Tmux() + "kill-session -t " + session + " 2>/dev/null").c_str());
  unlink(file);
  EXPECT_NE(modes.find(" echo "), std::string::npos) << modes;
  EXPECT_NE(modes.find(" icanon "), std::string::npos) << modes;
}

// Without its module beside the program, the terminal display is not there:
// one line says so and the program runs in the stream.
TEST(TerminalDisplay, AMissingModuleFallsBackToTheStream) {
  char dir[] = "/tmp/tessel-e2e-alone-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string copy = std::string(dir) + "/echo_program";
  ASSERT_EQ(std::system(("cp " + kProgram + " " + copy).c_str()), 0);
  e2e::Run r = e2e::RunProgram("TESSEL_DISPLAY=terminal " + copy, "x\n");
  (void)!std::system((std::string("rm -rf ") + dir).c_str());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "TESSEL_DISPLAY=terminal: the terminal display (tessel-terminal.so) is not installed beside "
                   "the program; using the stream\n");
  EXPECT_NE(r.out.find("こんにちは、xさん"), std::string::npos) << r.out;
}

// A locale that cannot show Japanese (C, none, one not installed): the
// terminal display shows it all the same, in C.UTF-8, and says so once the
// screen is given back.
TEST(TerminalDisplay, JapaneseWhateverTheLocale) {
  if (!e2e::Have("tmux")) GTEST_SKIP() << "tmux is not installed";
  char file[] = "/tmp/tessel-locale-XXXXXX";
  const int fd = mkstemp(file);
  ASSERT_GE(fd, 0);
  close(fd);
  for (const char* locale : {"LANG=C", "-u LANG", "LANG=xx_YY.UTF-8"}) {
    const std::string session = "tessel-e2e-locale-" + std::to_string(getpid());
    std::string start = e2e::Tmux() + "new-session -d -s " + session + " -x 80 -y 24 \"env -u LC_ALL -u LC_CTYPE " +
                        locale + " TESSEL_DISPLAY=terminal " + kProgram + " 2> " + std::string(file) + "; sleep 5\"";
    ASSERT_EQ(std::system(start.c_str()), 0);
    std::string screen;
    for (int i = 0; i < 50 && screen.find("名前は?") == std::string::npos; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      screen = e2e::RunProgram(e2e::Tmux() + "capture-pane -p -t " + session, "").out;
    }
    (void)!std::system((e2e::Tmux() + "send-keys -t " + session + " x Enter").c_str());
    std::string said;
    for (int i = 0; i < 50 && said.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      said = e2e::RunProgram(std::string("cat ") + file, "").out;
    }
    (void)!std::system((e2e::Tmux() + "kill-session -t " + session + " 2>/dev/null").c_str());
    EXPECT_NE(screen.find("名前は?"), std::string::npos) << locale << "\n" << screen;
    EXPECT_NE(said.find("; the terminal display used C.UTF-8\n"), std::string::npos) << locale << ": " << said;
  }
  unlink(file);
}

// Esc, then Y within a second, copies the screen's text as Alt+Y does (to
// tmux's buffer here, through OSC 52); a Y later than that is typed.
TEST(TerminalDisplay, EscThenYCopies) {
  if (!e2e::Have("tmux")) GTEST_SKIP() << "tmux is not installed";
  const std::string session = "tessel-e2e-esc-" + std::to_string(getpid());
  const std::string tmux = e2e::Tmux();
  ASSERT_EQ(std::system((tmux + "new-session -d -s " + session + " -x 80 -y 24 \"TESSEL_DISPLAY=terminal " + kProgram +
                         "; sleep 5\" && " + tmux + "set -g set-clipboard on").c_str()),
            0);
  auto keys = [&](const char* k, int pauseMs) {
    (void)!std::system((tmux + "send-keys -t " + session + " " + k).c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  };
  keys("", 800);
  keys("Escape", 400);
  keys("y", 500);
  const std::string copied = e2e::RunProgram(tmux + "show-buffer", "").out;
  keys("Escape", 1500);
  keys("y", 400);
  const std::string screen = e2e::RunProgram(tmux + "capture-pane -p -t " + session, "").out;
  (void)!std::system((tmux + "kill-session -t " + session + " 2>/dev/null").c_str());
  EXPECT_EQ(copied.rfind("名前は?", 0), 0u) << copied;
  EXPECT_NE(screen.find("名前は? y"), std::string::npos) << screen;
}

// Alt with a letter is a system key: it types nothing.
TEST(TerminalDisplay, AltLetterTypesNothing) {
  if (!e2e::Have("tmux")) GTEST_SKIP() << "tmux is not installed";
  std::string screen = TmuxSession(80, 24, "M-a b M-x c M-BSpace M-Left M-Enter d Enter", "[5]");
  EXPECT_NE(screen.find("こんにちは、bcdさん"), std::string::npos) << screen;
}

// A fatal signal: a line on standard error, the X* values added to the store
// (everything else in it kept), then the signal's own end.
TEST(StreamDisplay, FatalSignalIsReportedAndRecorded) {
  char dir[] = "/tmp/tessel-e2e-fatal-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string store = std::string(dir) + "/tessel/registry.reg";
  (void)!std::system(("mkdir " + std::string(dir) + "/tessel && printf 'Windows Registry Editor Version 5.00\r\n; mine\r\n' > " +
                      store).c_str());
  e2e::Run r = e2e::RunProgram(std::string("XDG_CONFIG_HOME=") + dir + " TESSEL_DISPLAY=stream " + kProgram + " crash",
                               "x\n");
  EXPECT_TRUE(r.exitCode == 128 + 11 || r.exitCode == -1) << r.exitCode;  // ended by SIGSEGV
  EXPECT_NE(r.err.find(": 続行不可能なエラーが発生しました MAIN.BAS [130行]\n"), std::string::npos) << r.err;
  e2e::Run saved = e2e::RunProgram("cat " + store, "");
  EXPECT_EQ(saved.out.rfind("Windows Registry Editor Version 5.00\r\n; mine\r\n", 0), 0u) << saved.out;
  for (const char* value : {"\"XMODL\"=\"MAIN.BAS\"", "\"XLINE\"=dword:00000082", "\"XMODE\"=\"独立型\"",
                            "\"XRTL\"=\"V6.30 L10 U002+1\"", "\"XCODE\"=dword:0000000b"})
    EXPECT_NE(saved.out.find(value), std::string::npos) << value << "\n" << saved.out;
  EXPECT_EQ(e2e::RunProgram(std::string("ls -A ") + dir + "/tessel", "").out, "registry.reg\nregistry.reg.lock\n");
  (void)!std::system((std::string("rm -rf ") + dir).c_str());
}

TEST(TerminalDisplay, TypedLineInTmux) {
  if (!e2e::Have("tmux")) GTEST_SKIP() << "tmux is not installed";
  const std::string session = "tessel-e2e-" + std::to_string(getpid());
  // The program ends in a run-time error so that it waits for a key with
  // its screen still shown.
  std::string start = e2e::Tmux() + "new-session -d -s " + session + " -x 80 -y 24 \"TESSEL_DISPLAY=terminal " +
                      kProgram + " error; sleep 5\"";
  ASSERT_EQ(std::system(start.c_str()), 0);
  auto capture = [&] {
    e2e::Run c = e2e::RunProgram(e2e::Tmux() + "capture-pane -p -t " + session, "");
    return c.out;
  };
  std::string screen;
  for (int i = 0; i < 50 && screen.find("名前は?") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    screen = capture();
  }
  EXPECT_NE(screen.find("名前は?"), std::string::npos) << screen;
  std::system((e2e::Tmux() + "send-keys -t " + session + " 'tmux' Enter").c_str());
  for (int i = 0; i < 50 && screen.find("こんにちは、tmuxさん") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    screen = capture();
  }
  std::system((e2e::Tmux() + "kill-session -t " + session + " 2>/dev/null").c_str());
  EXPECT_NE(screen.find("こんにちは、tmuxさん"), std::string::npos) << screen;
  EXPECT_NE(screen.find("MAIN.BAS [120行]:エラー[5]"), std::string::npos) << screen;
}

}  // namespace
