// A small program written in the facade the way the real programs are:
// numbered statements, single counts, double tables, string arrays filled
// by READ from DATA, a subroutine through GOSUB, STR$ and VAL.
#include "runtime/core/basic.h"
#include "test_host.h"

namespace rt::test {
namespace {

using namespace basic;

const ModuleRecord kModule{0, nullptr, 0, 8, "MAIN.BAS"};
const std::vector<uint8_t> kData = BuildDataArea({
    {10, "\"a\",\"b\",\"c\",\"d\",\"e\""},
    {11, "3, 2.5, \"-12\""},
});

struct DemoProgram {
  Array<Str, 1> Letters;
  Array<Double, 2> Table;
  Single I, J, N;
  Double X, Y;
  Str V, Text;
  Single Limit{5};

  void Main() {
    StartModule(kModule, kData.data());
    Stmt(20); Letters.Dim(5);
    Stmt(21); Table.Dim(3, 3);
    Stmt(30); for (I = 1; I <= Limit; I = I + 1) { Stmt(30); Read(Letters(I)); }
    Stmt(40); Read(X, Y, V);
    Stmt(50); for (I = 1; I <= 3; I = I + 1) {
      Stmt(51); for (J = 1; J <= 3; J = J + 1) {
        Stmt(52); Table(I, J) = I * 10 + J + Val(V);
      }
    }
    Stmt(60); Gosub([&] { Sub100(); });
    Stmt(70); N = Len(Text);
    Stmt(80); Text = Text + StrOf(Table(3, 3)) + Mid(StrOf(Y), 2, 2147483647);
    Stmt(90); Letters(N);  // N is past the last letter: error 9 at line 90
    Stmt(95); End();
  }

  // 100 Text = "": FOR I = 1 TO X: Text = Text + Letters(I) + MID$(STR$(I), 2): NEXT: RETURN
  void Sub100() {
    Stmt(100); Text = "";
    Stmt(110); for (I = 1; I <= X; I = I + 1) {
      Stmt(110); Text = Text + Letters(I) + Mid(StrOf(I), 2, 2147483647);
    }
    Stmt(120); Return();
  }
};

class DemoProgramTest : public RuntimeTest {};

TEST_F(DemoProgramTest, RunsAndEndsInItsSubscriptError) {
  DemoProgram program;
  int code = RunMain([&] { program.Main(); });
  EXPECT_EQ(code, 1);  // it ended in a run-time error
  EXPECT_EQ(program.Text.view(), "a1b2c3 212.5");
  EXPECT_EQ(program.N.get(), 6);
  EXPECT_EQ(program.Table(3, 3).get(), 21);
  ASSERT_EQ(host.reports.size(), 1u);
  EXPECT_EQ(host.reports[0].number, 9);
  EXPECT_EQ(host.reports[0].line, 90);
  EXPECT_EQ(host.reports[0].module, "MAIN.BAS");
  EXPECT_EQ(host.exits, 1);
}

}  // namespace
}  // namespace rt::test
