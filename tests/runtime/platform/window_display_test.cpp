// The window display in-process on Qt's offscreen platform: scroll bars when
// the window is smaller than the grid, and the close button during input.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QMainWindow>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

#include "runtime/core/basic.h"
#include "runtime/host/host.h"

// Qt and D-Bus keep caches until the process ends: no leak report for them
// in the sanitizer build.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

const rt::ModuleRecord kModule{0, nullptr, 0, 8, "MAIN.BAS"};

std::unique_ptr<platform::Display> WindowDisplay() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return platform::CreateDisplay();
}

QMainWindow* TopWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* m = dynamic_cast<QMainWindow*>(w)) return m;
  return nullptr;
}

int RunInWindow(std::function<void()> body) {
  setenv("TESSEL_DISPLAY", "window", 1);
  static uint8_t options[host::kRunOptionsSize] = {};
  options[host::kPollIntervalOffset] = 10;
  host::ProgramImage image;
  image.mainModule = &kModule;
  image.runOptions = options;
  image.runOptionsSize = sizeof options;
  image.mainCode = [&] {
    basic::StartModule(kModule, nullptr);
    body();
  };
  char name[] = "windowtest";
  char* argv[] = {name};
  return host::TheHost().WinMain(image, 1, argv, WindowDisplay());
}

TEST(WindowDisplay, SmallWindowScrollsTheGrid) {
  int maxRow = -1, scrolled = -1;
  bool barShown = false;
  int code = RunInWindow([&] {
    basic::Stmt(10);
    QMainWindow* w = TopWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle().toStdString(), "windowtest");
    w->resize(300, 200);
    for (int i = 0; i < 30; ++i) basic::Stmt(11);  // the pump serves the resize
    host::Window* main = host::TheHost().mainWindow();
    maxRow = main->screen.state().maxScrollRow;
    auto* view = dynamic_cast<QAbstractScrollArea*>(w->centralWidget());
    barShown = view && view->verticalScrollBar()->maximum() == maxRow;
    view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    for (int i = 0; i < 30; ++i) basic::Stmt(12);
    scrolled = main->screen.ScrollRow();
    basic::End();
  });
  EXPECT_EQ(code, 0);
  EXPECT_GT(maxRow, 0);
  EXPECT_TRUE(barShown);
  EXPECT_EQ(scrolled, 1);
}

TEST(WindowDisplay, CloseButtonDuringInputEndsWithCodeZero) {
  bool reachedEnd = false;
  int code = RunInWindow([&] {
    basic::Stmt(10);
    QTimer::singleShot(50, [] {
      if (QMainWindow* w = TopWindow()) w->close();  // as the close button does
    });
    std::string line;
    int failure = -1;
    if (!host::TheHost().ReadLine(line, 255, failure)) rt::LeaveProgram();
    reachedEnd = true;
  });
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(reachedEnd);
}

}  // namespace
