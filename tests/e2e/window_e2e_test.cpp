// equation in the window display under Xvfb: a whole session typed with
// xdotool, the title, the answer read back through the copy command, and a
// screenshot of the grid kept as a build artefact.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "process.h"

namespace {

const std::string kEquation = EQUATION_PROGRAM;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class WindowSession : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string module = kEquation.substr(0, kEquation.rfind('/') + 1) + "tessel-window.so";
    if (!e2e::WindowsBuild() && access(module.c_str(), R_OK) != 0)
      GTEST_SKIP() << "the window display was not built (Qt 6 is missing)";
    for (const char* tool : {"Xvfb", "xdotool", "xclip"})
      if (!e2e::Have(tool)) GTEST_SKIP() << tool << " is not installed; .ci/run installs it";
    display = ":" + std::to_string(70 + getpid() % 200);
    xvfb = fork();
    if (xvfb == 0) {
      execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", nullptr);
      _exit(127);
    }
    for (int i = 0; i < 50; ++i) {
      Sleep(100);
      if (Xdo("getmouselocation").exitCode == 0) return;
    }
    GTEST_SKIP() << "no X server could be started on " << display;
  }
  void TearDown() override {
    if (xvfb > 0) {
      kill(xvfb, SIGTERM);
      waitpid(xvfb, nullptr, 0);
    }
  }
  e2e::Run Xdo(const std::string& args) { return e2e::RunProgram("DISPLAY=" + display + " xdotool " + args, ""); }
  e2e::Run Clip(const std::string& target) {
    return e2e::RunProgram("DISPLAY=" + display + " xclip -o -selection clipboard" + target, "");
  }
  void Line(const std::string& text) {
    Xdo("type --delay 5 '" + text + "'");
    Xdo("key Return");
    Sleep(200);
  }

  // The program's exit code, waiting up to tenths of a second; -1 (and the
  // program killed) when it has not ended by then.
  int ExitCode(pid_t program, int tenths) {
    int status = -1;
    for (int i = 0; i < tenths; ++i) {
      if (waitpid(program, &status, WNOHANG) == program) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      Sleep(100);
    }
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    return -1;
  }

  std::string display;
  pid_t xvfb = -1;
};

TEST_F(WindowSession, TypedSessionTitleAnswerAndScreenshot) {
  if (e2e::WindowsBuild()) GTEST_SKIP() << "the Windows build has its own window test";
  char dir[] = "/tmp/tessel-window-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string folder = dir;
  pid_t program = fork();
  if (program == 0) {
    setenv("DISPLAY", display.c_str(), 1);
    setenv("TESSEL_DISPLAY", "window", 1);
    // Qt and D-Bus keep caches until the process ends: no leak report there.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execl(kEquation.c_str(), "equation", nullptr);
    _exit(127);
  }
  std::string title;
  for (int i = 0; i < 50 && title.empty(); ++i) {
    Sleep(100);
    e2e::Run found = Xdo("search --name 数式展開 getwindowname");
    if (found.exitCode == 0) title = found.out.substr(0, found.out.find('\n'));
  }
  EXPECT_EQ(title, "数式展開");
  Line("y");
  Line("m");
  Line("(a+b)(a-b)");
  std::string text;
  for (int i = 0; i < 30 && text.find("Answer =") == std::string::npos; ++i) {
    Xdo("key alt+y t");  // コピー(&Y) > テキスト(&T)
    Sleep(150);
    text = Clip("").out;
  }
  EXPECT_NE(text.find("Answer =+a2-b2\r\n"), std::string::npos) << text;
  Xdo("key alt+y m");  // コピー(&Y) > テキスト/グラフィック(&M)
  Sleep(300);
  e2e::Run png = Clip(" -t image/png");
  EXPECT_EQ(png.out.substr(1, 3), "PNG");
  (void)!std::system(("mkdir -p " + std::string(ARTEFACT_DIR)).c_str());
  if (FILE* f = std::fopen((std::string(ARTEFACT_DIR) + "/equation-window.png").c_str(), "wb")) {
    std::fwrite(png.out.data(), 1, png.out.size(), f);
    std::fclose(f);
  }
  Line("n");
  Line("y");
  EXPECT_EQ(ExitCode(program, 50), 0);
  (void)!std::system(("rm -rf " + folder).c_str());
}

// equation.exe in its real window under wine64 (TESSEL_E2E_WINDOWS names the
// folder of the .exe files): the title, a typed session, the saved array
// file byte for byte, and a screenshot of the grid kept as a build artefact.
TEST_F(WindowSession, WindowsProgramInItsOwnWindow) {
  const char* windows = e2e::WindowsBuild();
  if (!windows) GTEST_SKIP() << "TESSEL_E2E_WINDOWS does not name a Windows build";
  char dir[] = "/tmp/tessel-window-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string folder = dir;
  const std::string exe = std::string(windows) + "/equation.exe";
  pid_t program = fork();
  if (program == 0) {
    setenv("DISPLAY", display.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execl("/usr/lib/wine/wine64", "wine64", exe.c_str(), nullptr);
    _exit(127);
  }
  std::string id;
  for (int i = 0; i < 300 && id.empty(); ++i) {  // a fresh display: wine takes a while the first time
    Sleep(100);
    e2e::Run found = Xdo("search --name 数式展開");
    if (found.exitCode == 0) id = found.out.substr(0, found.out.find('\n'));
  }
  ASSERT_FALSE(id.empty()) << "no window titled 数式展開";
  EXPECT_EQ(Xdo("getwindowname " + id).out, "数式展開\n");
  for (const char* typed : {"y", "m", "(a+b)(a-b)", "y", "d", "ans1.txt"}) {
    Xdo("windowfocus --sync " + id);
    Line(typed);
  }
  std::string saved;
  for (int i = 0; i < 50 && saved.size() < 52; ++i) {
    Sleep(100);
    if (FILE* f = std::fopen((folder + "/ans1.txt").c_str(), "rb")) {
      char buffer[256];
      saved.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
      std::fclose(f);
    }
  }
  EXPECT_EQ(saved, " 2 , 2 \r\n 1 , 1 , 2 , 0 \r\n-1 , 1 , 0 , 2 \r\n+a2-b2\r\n\x1A");
  // The copy commands of the system menu: コピー(&Y) > テキスト(&T), then
  // テキスト/グラフィック(&M).
  std::string text;
  for (int i = 0; i < 20 && text.find("Answer =+a2-b2") == std::string::npos; ++i) {
    Xdo("windowfocus --sync " + id);
    Xdo("key alt+space");
    Sleep(300);
    Xdo("key y t");
    Sleep(300);
    text = Clip("").out;
  }
  EXPECT_NE(text.find("Answer =+a2-b2"), std::string::npos) << text;
  Xdo("key alt+space");
  Sleep(300);
  Xdo("key y m");
  Sleep(500);
  EXPECT_NE(Clip(" -t TARGETS").out.find("image/bmp"), std::string::npos);
  (void)!std::system(("mkdir -p " + std::string(ARTEFACT_DIR)).c_str());
  const std::string shot = std::string(ARTEFACT_DIR) + "/equation-exe-window.png";
  if (e2e::Have("import")) {
    EXPECT_EQ(e2e::RunProgram("DISPLAY=" + display + " import -window " + id + " " + shot, "").exitCode, 0);
  }
  Xdo("windowfocus --sync " + id);
  Line("y");
  EXPECT_EQ(ExitCode(program, 100), 0);
  (void)!std::system(("rm -rf " + folder).c_str());
}

// On a display scaled to 200% the .exe, aware of the screen's DPI, draws its
// grid in real pixels: the window twice as large, the whole grid in it, the
// text crisp (a screenshot at each scale is kept as an artefact).
TEST_F(WindowSession, WindowsProgramScalesWithTheDisplay) {
  const char* windows = e2e::WindowsBuild();
  if (!windows) GTEST_SKIP() << "TESSEL_E2E_WINDOWS does not name a Windows build";
  const std::string wine = "WINEDEBUG=-all /usr/lib/wine/wine64 ";
  auto scale = [&](int dpi) {
    for (const char* key : {"HKCU\\Control Panel\\Desktop",
                            "HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts"})
      e2e::RunProgram(wine + "reg add '" + std::string(key) + "' /v LogPixels /t REG_DWORD /d " + std::to_string(dpi) +
                          " /f",
                      "");
    (void)!std::system("wineserver -k 2>/dev/null; wineserver -w 2>/dev/null");
  };
  auto open = [&](int dpi, std::pair<int, int>& size) {
    scale(dpi);
    pid_t program = fork();
    if (program == 0) {
      setenv("DISPLAY", display.c_str(), 1);
      setenv("WINEDEBUG", "-all", 1);
      execl("/usr/lib/wine/wine64", "wine64", (std::string(windows) + "/equation.exe").c_str(), nullptr);
      _exit(127);
    }
    std::string id;
    for (int i = 0; i < 300 && id.empty(); ++i) {
      Sleep(100);
      e2e::Run found = Xdo("search --name 数式展開");
      if (found.exitCode == 0) id = found.out.substr(0, found.out.find('\n'));
    }
    if (id.empty()) return program;
    Sleep(1000);
    const std::string geometry = Xdo("getwindowgeometry " + id).out;
    const size_t at = geometry.find("Geometry: ");
    if (at != std::string::npos) std::sscanf(geometry.c_str() + at, "Geometry: %dx%d", &size.first, &size.second);
    (void)!std::system(("mkdir -p " + std::string(ARTEFACT_DIR)).c_str());
    if (e2e::Have("import"))
      e2e::RunProgram("DISPLAY=" + display + " import -window " + id + " " + ARTEFACT_DIR + "/equation-exe-" +
                          std::to_string(dpi * 100 / 96) + "percent.png",
                      "");
    Xdo("windowfocus --sync " + id);
    Line("n");
    return program;
  };
  std::pair<int, int> normal{0, 0}, scaled{0, 0};
  const pid_t first = open(96, normal);
  ExitCode(first, 100);
  const pid_t second = open(192, scaled);
  ExitCode(second, 100);
  scale(96);
  ASSERT_GT(normal.first, 600) << "no window at 100%";
  EXPECT_EQ(scaled.first, 2 * normal.first);
  EXPECT_GE(scaled.second, 2 * normal.second - 8);  // the caption and the frame scale too, to whole pixels
}

}  // namespace
