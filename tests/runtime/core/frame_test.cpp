#include <new>
#include <vector>

#include "runtime/core/basic.h"
#include "runtime/core/data_read.h"
#include "runtime/core/frame.h"
#include "runtime/core/strings.h"
#include "test_host.h"

namespace rt::test {
namespace {

using basic::Stmt;

const ModuleRecord kMain{0, nullptr, 0, 8, "MAIN.BAS"};

class FrameTest : public RuntimeTest {
 protected:
  void Start(const uint8_t* data = nullptr) { basic::StartModule(kMain, data); }
  void Statement(int16_t line) {
    ++host.statements;
    Stmt(line);
  }
};

TEST_F(FrameTest, PollsOnTheFirstStatementThenEveryEleventh) {
  Start();
  for (int i = 1; i <= 34; ++i) Statement(static_cast<int16_t>(i));
  EXPECT_EQ(host.pollStatements, (std::vector<int>{1, 12, 23, 34}));
}

TEST_F(FrameTest, QuitWhilePollingEndsAtThatStatement) {
  int ran = 0;
  host.onPoll = [&] { if (host.polls == 2) host.quit = true; };
  int code = RunMain([&] {
    Start();
    for (int i = 1; i <= 100; ++i) {
      Statement(static_cast<int16_t>(i));
      ++ran;
    }
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ran, 11);  // statement 12 polled and never ran
  EXPECT_EQ(host.exits, 1);
  EXPECT_TRUE(host.reports.empty());
}

TEST_F(FrameTest, EndGivesItsExitCodeThroughOneShutdown) {
  EXPECT_EQ(RunMain([&] { Start(); Statement(10); basic::End(); }), 0);
  EXPECT_EQ(host.exits, 1);
  EXPECT_TRUE(State().ended);
  InitRuntime(&host, 10);
  EXPECT_EQ(RunMain([&] { Start(); Statement(10); EndProgram(3); }), 3);
  EXPECT_EQ(host.exits, 2);
  // Falling off the end of the main code takes the same path.
  InitRuntime(&host, 10);
  EXPECT_EQ(RunMain([&] { Start(); Statement(10); }), 0);
  EXPECT_EQ(host.exits, 3);
}

// Memory the program's work cannot have ends the program with error 7 on the
// line that asked for it, not with an abort; inside an error trap too.
TEST_F(FrameTest, MemoryThatCannotBeHadIsErrorSeven) {
  for (bool trapped : {false, true}) {
    InitRuntime(&host, 10);
    host.reports.clear();
    const int code = RunMain([&] {
      Start();
      Statement(10);
      Statement(20);
      auto ask = [] { throw std::bad_alloc(); };
      if (trapped) TrapErrors(ask);
      else ask();
      Statement(30);
    });
    EXPECT_EQ(code, 1);
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(host.reports[0].number, 7);
    EXPECT_EQ(host.reports[0].line, 20);
    EXPECT_EQ(host.reports[0].site, 0xC701u);
    EXPECT_EQ(State().errorTraps, 0);
  }
}

TEST_F(FrameTest, GosubNestsTo128AndRestoresTheLine) {
  Start();
  int deepest = 0;
  std::function<void(int)> dive = [&](int depth) {
    Statement(static_cast<int16_t>(1000 + depth));
    deepest = depth;
    if (depth < 128) basic::Gosub([&] { dive(depth + 1); });
    basic::Return();
  };
  Statement(50);
  basic::Gosub([&] { dive(1); });
  EXPECT_EQ(deepest, 128);
  EXPECT_EQ(GetLine(), 50);  // the line of the GOSUB statement again
  EXPECT_EQ(TheFrame().gosubCount, 0);

  std::function<void(int)> tooDeep = [&](int depth) {
    SetLine(static_cast<int16_t>(depth));
    basic::Gosub([&] { tooDeep(depth + 1); });
  };
  ExpectError([&] { tooDeep(1); }, 32, 0xB101);
  EXPECT_EQ(host.reports.back().line, 129);
  EXPECT_EQ(host.reports.back().module, "MAIN.BAS");
}

TEST_F(FrameTest, ReturnWithoutGosub) {
  Start();
  Statement(70);
  ExpectError([] { basic::Return(); }, 3, 0xB201);
  EXPECT_EQ(host.reports.back().line, 70);
  int other = 0;
  basic::Gosub([&] {
    State().levelFrame = &other;  // as if a procedure level had been entered
    ExpectError([] { basic::Return(); }, 3, 0xB202);
    State().levelFrame = nullptr;
    basic::Return();
  });
}

TEST_F(FrameTest, ReadDataItemsAndErrorsWithTheirLines) {
  std::vector<uint8_t> area = BuildDataArea({
      {16, "\"a\",b , 12, &H1F  ,\"x y\""},
      {20, "3.5E1,  tail  :"},
  });
  Start(area.data());
  basic::Str s1, s2, s3, s4;
  basic::Double d1, d2, d3;
  Statement(100);
  basic::Read(s1, s2, d1, d2, s3);
  EXPECT_EQ(s1.view(), "a");
  EXPECT_EQ(s2.view(), "b ");  // trailing blanks belong to an unquoted item
  EXPECT_EQ(d1.get(), 12);
  EXPECT_EQ(d2.get(), 31);  // trailing blanks after a radix number, as after a decimal one
  EXPECT_EQ(s3.view(), "x y");
  basic::Read(d3, s4);
  EXPECT_EQ(d3.get(), 35);
  EXPECT_EQ(s4.view(), "tail  ");  // a colon at the end of the line ends the item
  Statement(110);
  ExpectError([&] { basic::Read(s1); }, 4, 0x8802);
  EXPECT_EQ(host.reports.back().line, 110);  // the READ statement's line

  struct Bad {
    const char* items;
    bool numeric;
    int number;
    uint32_t site;
  } bad[] = {
      {"ab\"c", false, 2, 0x880D}, {"a:b", false, 2, 0x8804}, {"\"a\" x", false, 13, 0x8803},
      {"", true, 13, 0x8805},      {"&Q1", true, 13, 0x8806}, {"12x", true, 13, 0x8807},
      {"&H1F x", true, 13, 0x8806},
  };
  for (const Bad& b : bad) {
    std::vector<uint8_t> one = BuildDataArea({{40, b.items}});
    SetDataArea(one.data());
    Statement(120);
    if (b.numeric) ExpectError([&] { basic::Read(d1); }, b.number, b.site);
    else ExpectError([&] { basic::Read(s1); }, b.number, b.site);
    EXPECT_EQ(host.reports.back().line, 40) << b.items;  // the DATA statement's line
  }
  SetDataArea(nullptr);
  ExpectError([&] { basic::Read(s1); }, 4, 0x8801);
}

TEST_F(FrameTest, ReadConvertsToTheVariableType) {
  std::vector<uint8_t> area = BuildDataArea({{5, "2.5,70000,1D39,300"}});
  Start(area.data());
  int16_t i = 0;
  int32_t l = 0;
  float f = 0;
  uint8_t byte = 0;
  VarRef first[] = {{&i, kTypeInteger}, {&l, kTypeLong}};
  Read(first, 2);
  EXPECT_EQ(i, 2);
  EXPECT_EQ(l, 70000);
  VarRef single[] = {{&f, kTypeSingle}};
  ExpectError([&] { Read(single, 1); }, 6, 0x880A);
  VarRef b[] = {{&byte, kTypeByte}};
  ExpectError([&] { Read(b, 1); }, 6, 0x880B);
  std::vector<uint8_t> more = BuildDataArea({{6, "40000,x"}});
  SetDataArea(more.data());
  VarRef integer[] = {{&i, kTypeInteger}};
  ExpectError([&] { Read(integer, 1); }, 6, 0x8808);
  VarRef odd[] = {{&i, 0x40}};
  ExpectError([&] { Read(odd, 1); }, 5, 0x880C);
}

TEST_F(FrameTest, ASecondErrorWhileRaisingIsIgnored) {
  host.onReport = [] { RaiseError(7, 0x1234); };
  int code = RunMain([&] {
    Start();
    Statement(30);
    RaiseError(9, 0xBF02);
  });
  EXPECT_EQ(code, 1);  // a reported fatal error ends with status 1
  ASSERT_EQ(host.reports.size(), 1u);
  EXPECT_EQ(host.reports[0].number, 9);
  EXPECT_EQ(host.reports[0].line, 30);
  EXPECT_EQ(State().errorNumber, 9);
  EXPECT_TRUE(State().ended);
  // During shutdown nothing is reported either.
  RaiseError(5, 0x1);
  EXPECT_EQ(host.reports.size(), 1u);
}

TEST_F(FrameTest, TrappedErrorsReturnTheirNumberWithoutAReport) {
  int after = 0;
  int code = RunMain([&] {
    Start();
    Statement(50);
    int error = TrapErrors([&] {
      Statement(51);
      PushStringConst("pending", 7);
      basic::Gosub([&] {
        Statement(52);
        RaiseError(75, 0x2008);
        ++after;  // not reached: the body is abandoned
      });
    });
    EXPECT_EQ(error, 75);
    EXPECT_EQ(State().errorLine, 52);
    EXPECT_EQ(State().errorSite, 0x2008u);
    EXPECT_EQ(StringStackDepth(), 0);
    EXPECT_EQ(TrapErrors([&] { Statement(53); }), 0);
    // Outside a trap the next error is fatal and reported again.
    Statement(54);
    RaiseError(5, 0x9A01);
  });
  EXPECT_EQ(after, 0);
  EXPECT_EQ(code, 1);
  ASSERT_EQ(host.reports.size(), 1u);
  EXPECT_EQ(host.reports[0].number, 5);
  EXPECT_EQ(host.reports[0].line, 54);
  EXPECT_EQ(State().errorTraps, 0);
}

TEST_F(FrameTest, TheInterruptAndTheEndPassThroughATrap) {
  RunMain([&] {
    Start();
    TrapErrors([&] {
      Statement(60);
      RaiseError(98, 0);
    });
    ADD_FAILURE() << "the interrupt is not trapped";
  });
  EXPECT_EQ(host.waits.size(), 1u);
  EXPECT_EQ(State().errorTraps, 0);
  InitRuntime(&host, 10);
  int code = RunMain([&] {
    Start();
    TrapErrors([] { basic::End(); });
    ADD_FAILURE() << "END is not trapped";
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(State().errorTraps, 0);
}

TEST_F(FrameTest, InterruptRequestWaitsWithItsTextAndEnds) {
  int ran = 0;
  int code = RunMain([&] {
    Start();
    Statement(5);
    Statement(6);
    PostEvent(kInterruptEvent);
    Statement(7);  // polls before it sets its line: the text names line 6
    ++ran;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ran, 0);
  ASSERT_EQ(host.waits.size(), 1u);
  EXPECT_TRUE(host.lastWaitBreak);
  EXPECT_EQ(host.waits[0], Cp932("\r\n中断しました MAIN.BAS[6行] \r\n任意のキーを押してください"));
  EXPECT_TRUE(host.reports.empty());
}

TEST_F(FrameTest, Error98EndsThroughTheInterruptSequence) {
  RunMain([&] {
    Start();
    Statement(44);
    RaiseError(98, 0);
  });
  EXPECT_TRUE(host.reports.empty());
  ASSERT_EQ(host.waits.size(), 1u);
  EXPECT_NE(host.waits[0].find("MAIN.BAS[44"), std::string::npos);
}

TEST_F(FrameTest, EventHandlersRunAsSubroutinesNeverNested) {
  Start();
  std::vector<int> handled;
  for (uint16_t n : {2, 3}) {
    SetEventHandler(n, [&, n] {
      // The handler's own first statement dispatches nothing.
      Statement(900);
      handled.push_back(n);
      EXPECT_EQ(GetLine(), 900);
      basic::Return();
    }, true);
  }
  SetEventHandler(4, [&] { handled.push_back(4); basic::Return(); }, false);
  PostEvent(2);
  PostEvent(3);
  PostEvent(2);  // already pending: dropped
  PostEvent(4);  // not enabled: dropped
  Statement(1);
  EXPECT_EQ(handled, (std::vector<int>{2}));
  EXPECT_EQ(GetLine(), 1);  // restored after the handler
  Statement(2);
  EXPECT_EQ(handled, (std::vector<int>{2, 3}));
  Statement(3);
  EXPECT_EQ(handled, (std::vector<int>{2, 3}));
  EXPECT_EQ(TheFrame().gosubCount, 0);
  EXPECT_EQ(State().handlerDepth, 0);
  EXPECT_EQ(TheFrame().events[2].flags, kEventEnabled);
  PostEvent(2);  // can be posted again once handled
  Statement(4);
  EXPECT_EQ(handled, (std::vector<int>{2, 3, 2}));
}

}  // namespace
}  // namespace rt::test
