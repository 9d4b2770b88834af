// The host driven in-process through a scripted display.
#include "runtime/host/host.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "runtime/core/basic.h"
#include "runtime/core/test_host.h"
#include "support/host_run.h"
#include "support/scripted_display.h"

namespace host {
namespace {

using test_support::Script;
using test_support::ScriptedDisplay;

struct Outcome {
  int code = -1;
  int statements = 0;
  bool reachedEnd = false;
};

Outcome Start(ScriptedDisplay* display, const std::function<void(Outcome&)>& body) {
  Outcome run;
  run.code = test_support::RunInHost(
      [&] {
        body(run);
        run.reachedEnd = true;
      },
      std::unique_ptr<platform::Display>(display), "/opt/progs/equation.exe");
  return run;
}

TEST(Host, StartUpReadsTheBaseNameAndOptions) {
  Script script;
  auto* d = new ScriptedDisplay(script);
  Outcome r = Start(d, [](Outcome&) {
#if defined(_WIN32)
    // On Windows the name comes from the module's file, whatever the
    // command line says: this test program's.
    EXPECT_EQ(TheHost().exeBaseName(), "host_tests");
#else
    EXPECT_EQ(TheHost().exeBaseName(), "equation");
#endif
    EXPECT_EQ(TheHost().option(21), 1);
    EXPECT_EQ(TheHost().option(35), 1);
    EXPECT_EQ(rt::State().pollInterval, 10);
    EXPECT_TRUE(rt::TheFrame().events[1].flags & rt::kEventEnabled);
  });
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.reachedEnd);
}

#if !defined(_WIN32)
// The program's path arrives in UTF-8: a folder such as あ/ must not pair
// its last byte with the "/" after it.
TEST(Host, BaseNameOfAPathInUtf8) {
  Host& h = TheHost();
  for (auto [path, base] : std::vector<std::pair<const char*, std::string>>{
           {"/home/u/あ/equation", "equation"},
           {"/opt/数式/polymul.bin", "polymul"},
           {"C:\\tools\\EQUATION.EXE", "EQUATION"},
           {"ツール/表計算", rt::test::Cp932("表計算")},
           {"", ""}}) {
    h.SetBaseName(path);
    EXPECT_EQ(h.exeBaseName(), base) << path;
  }
}
#endif

TEST(Host, PrintsAndEndsWithoutAKeyWait) {
  Script script;
  auto* d = new ScriptedDisplay(script);
  script.Type("never read");
  Outcome r = Start(d, [](Outcome&) {
    basic::Stmt(10);
    TheHost().ScreenWrite("done\r\n", 6);
    basic::End();
  });
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(script.drawn, "done\r\n");
  EXPECT_EQ(script.keys.size(), 10u);  // no key was waited for
}

TEST(Host, ClosingTheWindowDuringInputEndsQuietly) {
  Script script;
  auto* d = new ScriptedDisplay(script);
  script.Type("ab");  // then the window is closed
  Outcome r = Start(d, [](Outcome& run) {
    basic::Stmt(10);
    std::string line;
    int failure = -1;
    bool ok = TheHost().ReadLine(line, 255, failure);
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure, 0);
    run.statements = 1;
    rt::LeaveProgram();
  });
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.statements, 1);
  EXPECT_TRUE(script.boxes.empty());
  EXPECT_EQ(script.drawn, "ab");
}

TEST(Host, ClosingTheWindowDuringComputationEndsWithinElevenStatements) {
  Script script;
  auto* d = new ScriptedDisplay(script);
  script.closeAtPump = 3;
  Outcome r = Start(d, [](Outcome& run) {
    for (;;) {
      basic::Stmt(50);
      ++run.statements;
    }
  });
  EXPECT_EQ(r.code, 0);
  EXPECT_FALSE(r.reachedEnd);
  EXPECT_LE(r.statements, 2 * 11 + 11);
}

TEST(Host, CtrlCShowsTheInterruptTextAndWaits) {
  Script script;
  auto* d = new ScriptedDisplay(script);
  script.charAtPump = 2;
  script.Type("k");  // the key that ends the wait
  Outcome r = Start(d, [](Outcome& run) {
    for (;;) {
      basic::Stmt(77);
      ++run.statements;
    }
  });
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(script.drawn, rt::test::Cp932("\r\n中断しました MAIN.BAS[77行] \r\n任意のキーを押してください\r\n"));
  EXPECT_TRUE(script.keys.empty());
}

TEST(Host, RuntimeErrorReportWaitsForAKeyOrADoubleClick) {
  Script script;
  auto* d = new ScriptedDisplay(script);
  script.keys.push_back({1, platform::WM_LBUTTONDBLCLK, 0, 0});
  script.Type("x");
  Outcome r = Start(d, [](Outcome&) {
    basic::Stmt(120);
    rt::RaiseError(5, 0x9A01);
  });
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(script.drawn, rt::test::Cp932("\r\nMAIN.BAS [120行]:エラー[5]\r\n任意のキーを押してください\r\n"));
  EXPECT_EQ(script.keys.size(), 1u);  // the double click ended the wait
}

// Without a form the main window is of the run-time's own class, black,
// with the procedure the program exports; a class that cannot be registered
// means no window: built-in message 3, and the program does not start.
TEST(Host, AWindowWithoutAFormIsOfTheRunTimesClass) {
  Script script;
  Outcome r = Start(new ScriptedDisplay(script), [](Outcome&) {});
  EXPECT_TRUE(r.reachedEnd);
  EXPECT_EQ(script.classes, std::vector<std::string>{"T5Q0CLASS black procedure"});
  EXPECT_EQ(script.madeOf, "T5Q0CLASS");

  Script refused;
  refused.refuseClasses = true;
  r = Start(new ScriptedDisplay(refused), [](Outcome&) {});
  EXPECT_FALSE(r.reachedEnd);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(refused.madeOf, "");
  ASSERT_EQ(refused.boxes.size(), 1u);
  EXPECT_EQ(refused.boxes[0], TheHost().exeBaseName() + ".EXE|" + rt::test::Cp932("ウィンドウをオープンできません"));
}

// The copy command's format, asked and set by other programs (sent, so
// answered at once): 1 text, 2 and 14 the grid as an image; others refused.
TEST(Host, TheCopyFormatIsAskedAndSetFromOutside) {
  Script script;
  Outcome r = Start(new ScriptedDisplay(script), [](Outcome&) {
    auto& q = TheHost().queue();
    auto send = [&](uint32_t message, uint64_t w) { return q.Send({1, message, w, 0}); };
    EXPECT_EQ(send(platform::WM_USER, 0), 1);
    EXPECT_EQ(send(platform::WM_USER_SET_COPY_FORMAT, 3), 0);
    EXPECT_EQ(send(platform::WM_USER, 0), 1);
    EXPECT_EQ(send(platform::WM_USER_SET_COPY_FORMAT, 14), 1);
    EXPECT_EQ(send(platform::WM_USER, 0), 14);
    TheHost().WindowProc({1, platform::WM_COPY, 0, 0});
    EXPECT_EQ(send(platform::WM_USER_SET_COPY_FORMAT, 1), 1);
    TheHost().WindowProc({1, platform::WM_COPY, 0, 0});
    TheHost().WindowProc({1, platform::WM_COMPACTING, 0, 0});
  });
  EXPECT_TRUE(r.reachedEnd);
  EXPECT_EQ(script.copies, (std::vector<std::string>{"image", "text"}));
  // The system short of memory says so (built-in message 2).
  EXPECT_EQ(script.boxes, std::vector<std::string>{TheHost().exeBaseName() + ".EXE|" +
                                                   rt::test::Cp932("システムに異常があります")});
}

}  // namespace
}  // namespace host
