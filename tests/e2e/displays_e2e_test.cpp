// The echo program in the stream display (through pipes) and in the
// terminal display (inside tmux).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "process.h"

namespace {

const std::string kProgram = ECHO_PROGRAM;

TEST(StreamDisplay, EchoesATypedLine) {
  e2e::Run r = e2e::RunProgram("TESSEL_DISPLAY=stream " + kProgram, "山田 太郎\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "名前は? 山田 太郎\nこんにちは、山田 太郎さん\n");
  EXPECT_EQ(r.err, "");
}

TEST(StreamDisplay, EndOfInputClosesTheWindowQuietly) {
  e2e::Run r = e2e::RunProgram("TESSEL_DISPLAY=stream " + kProgram, "");
  EXPECT_EQ(r.exitCode, 0);
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

TEST(TerminalDisplay, TypedLineInTmux) {
  if (!e2e::Have("tmux")) GTEST_SKIP() << "tmux is not installed";
  const std::string session = "tessel-e2e-" + std::to_string(getpid());
  // The program ends in a run-time error so that it waits for a key with
  // its screen still shown.
  std::string start = "tmux new-session -d -s " + session + " -x 80 -y 24 \"TESSEL_DISPLAY=terminal " +
                      kProgram + " error; sleep 5\"";
  ASSERT_EQ(std::system(start.c_str()), 0);
  auto capture = [&] {
    e2e::Run c = e2e::RunProgram("tmux capture-pane -p -t " + session, "");
    return c.out;
  };
  std::string screen;
  for (int i = 0; i < 50 && screen.find("名前は?") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    screen = capture();
  }
  EXPECT_NE(screen.find("名前は?"), std::string::npos) << screen;
  std::system(("tmux send-keys -t " + session + " 'tmux' Enter").c_str());
  for (int i = 0; i < 50 && screen.find("こんにちは、tmuxさん") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    screen = capture();
  }
  std::system(("tmux kill-session -t " + session + " 2>/dev/null").c_str());
  EXPECT_NE(screen.find("こんにちは、tmuxさん"), std::string::npos) << screen;
  EXPECT_NE(screen.find("MAIN.BAS [120行]:エラー[5]"), std::string::npos) << screen;
}

}  // namespace
