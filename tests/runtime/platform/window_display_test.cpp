// The window display in-process on Qt's offscreen platform: scroll bars when
// the window is smaller than the grid, and the close button during input.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

#include "runtime/core/basic.h"
#include "runtime/host/form_script.h"
#include "runtime/host/host.h"
#include "support/host_run.h"

// Qt and D-Bus keep caches until the process ends: no leak report for them
// in the sanitizer build.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

std::unique_ptr<platform::Display> WindowDisplay() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return platform::CreateDisplay();
}

QMainWindow* TopWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* m = dynamic_cast<QMainWindow*>(w)) return m;
  return nullptr;
}

int RunInWindow(std::function<void()> body, std::vector<host::Resource> resources = {}) {
  setenv("TESSEL_DISPLAY", "window", 1);
  return test_support::RunInHost(body, WindowDisplay(), "windowtest", std::move(resources));
}

// The programs' form opens a window that shows the whole grid and grows no
// larger than it.
TEST(WindowDisplay, OpensShowingTheWholeGrid) {
  QSize viewport, maximum, window;
  std::pair<int, int> full;
  int visibleCols = 0, visibleRows = 0, maxRow = -1;
  int code = RunInWindow(
      [&] {
        for (int i = 0; i < 30; ++i) basic::Stmt(10);
        QMainWindow* w = TopWindow();
        ASSERT_NE(w, nullptr);
        auto* view = dynamic_cast<QAbstractScrollArea*>(w->centralWidget());
        ASSERT_NE(view, nullptr);
        viewport = view->viewport()->size();
        maximum = w->maximumSize();
        window = w->size();
        full = host::TheHost().FullWindowSize(1);
        const auto& s = host::TheHost().mainWindow()->screen.state();
        visibleCols = s.visibleCols;
        visibleRows = s.visibleRows;
        maxRow = s.maxScrollRow;
        basic::End();
      },
      {{host::kResourceRcData, "MAINFORM", host::BuildMainForm("Grid", 10, 10)}});
  EXPECT_EQ(code, 0);
  EXPECT_EQ(window, QSize(full.first, full.second));
  EXPECT_EQ(maximum, window);
  // Exactly the grid: whole cells, no partial row or column.
  EXPECT_EQ(viewport.width() % 80, 0) << viewport.width();
  EXPECT_EQ(viewport.height() % 24, 0) << viewport.height();
  EXPECT_EQ(visibleCols, 80);
  EXPECT_EQ(visibleRows, 24);
  EXPECT_EQ(maxRow, 0);
}

// A form smaller than the grid: the first size message reaches the host, so
// the scroll ranges are there from the start.
TEST(WindowDisplay, ASmallFormHasItsScrollRangesAtOnce) {
  host::FormWriter w;
  w.Op(host::kOpClass).Str("SMALL").Str("");
  w.Op(host::kOpCreate3).I32(0).I32(0x00CF0000).I32(0);
  w.Op(host::kOpSize3).I32(0).I32(0).I32(0).I32(300).I32(200).Op(host::kOpEnd);
  int maxRow = -1, visibleCols = 0;
  RunInWindow(
      [&] {
        for (int i = 0; i < 30; ++i) basic::Stmt(10);
        const auto& s = host::TheHost().mainWindow()->screen.state();
        maxRow = s.maxScrollRow;
        visibleCols = s.visibleCols;
        basic::End();
      },
      {{host::kResourceRcData, "MAINFORM", w.bytes()}});
  EXPECT_GT(maxRow, 0);
  EXPECT_LT(visibleCols, 80);
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

// Made smaller, then as large as it gets again: the scroll bars go, and the
// whole grid shows (the bars themselves must not keep the view too small).
TEST(WindowDisplay, EnlargedAgainShowsTheWholeGridWithoutBars) {
  int maxRow = -1, maxColumn = -1, visibleRows = 0, visibleColumns = 0;
  bool barsShown = true;
  QSize viewport;
  RunInWindow(
      [&] {
        for (int i = 0; i < 30; ++i) basic::Stmt(10);
        QMainWindow* w = TopWindow();
        ASSERT_NE(w, nullptr);
        const QSize full = w->size();
        w->resize(300, 200);
        for (int i = 0; i < 30; ++i) basic::Stmt(11);
        ASSERT_GT(host::TheHost().mainWindow()->screen.state().maxScrollCol, 0);
        w->resize(full);
        for (int i = 0; i < 60; ++i) basic::Stmt(12);
        const auto& s = host::TheHost().mainWindow()->screen.state();
        maxRow = s.maxScrollRow;
        maxColumn = s.maxScrollCol;
        visibleRows = s.visibleRows;
        visibleColumns = s.visibleCols;
        auto* view = dynamic_cast<QAbstractScrollArea*>(w->centralWidget());
        barsShown = view->verticalScrollBar()->isVisible() || view->horizontalScrollBar()->isVisible();
        viewport = view->viewport()->size();
        basic::End();
      },
      {{host::kResourceRcData, "MAINFORM", host::BuildMainForm("Grid", 10, 10)}});
  EXPECT_EQ(maxRow, 0);
  EXPECT_EQ(maxColumn, 0);
  EXPECT_EQ(visibleRows, 24);
  EXPECT_EQ(visibleColumns, 80);
  EXPECT_FALSE(barsShown);
  EXPECT_EQ(viewport.width() % 80, 0) << viewport.width();
  EXPECT_EQ(viewport.height() % 24, 0) << viewport.height();
}

// Alt with a letter is a system key: the line gets only the plain keys.
TEST(WindowDisplay, AltLetterTypesNothing) {
  std::string line;
  RunInWindow([&] {
    basic::Stmt(10);
    QTimer::singleShot(20, [] {
      QWidget* target = TopWindow()->centralWidget();
      auto press = [&](int key, Qt::KeyboardModifiers modifiers, const QString& text) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &down);
      };
      press(Qt::Key_A, Qt::AltModifier, "a");
      press(Qt::Key_B, Qt::NoModifier, "b");
      press(Qt::Key_Left, Qt::AltModifier, "");
      press(Qt::Key_Backspace, Qt::AltModifier, "");
      press(Qt::Key_C, Qt::NoModifier, "c");
      press(Qt::Key_Return, Qt::NoModifier, "\r");
    });
    int failure = -1;
    host::TheHost().ReadLine(line, 255, failure);
    basic::End();
  });
  EXPECT_EQ(line, "bc");
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
