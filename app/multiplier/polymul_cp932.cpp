// polymul: multiplies two to ten polynomials saved by equation (or by
// polymul itself) in the array form, shows the product and saves it.
// Written as the statements of its MAIN.BAS; compiled with the execution
// character set CP932, so its texts are the Shift-JIS bytes it shows.
#include "app/command_line.h"
#include "app/main_forms.h"
#include "app/polynomial/answer_output.h"
#include "app/polynomial/polynomial.h"
#include "app/polynomial/term_table.h"
#include "app/polynomial/term_text.h"
#include "runtime/core/basic_io.h"
#include "runtime/host/host.h"

namespace multiplier {
namespace {

using namespace basic;

const rt::ModuleRecord kModule{0, nullptr, 0, 8, "MAIN.BAS"};
const std::vector<uint8_t> kData = rt::BuildDataArea({{18, poly::kLetterData}});

class Polymul {
 public:
  void Main();

 private:
  bool Cycle();             // steps 3 to 13; false: back to step 2
  bool LimitMessage();      // step 11; false: back to step 2 (true ends)
  poly::Factors Factors();

  Array<Str, 1> LetterTable;
  poly::AnswerOutput output_{LetterTable};
  Array<Str, 1> FileNames;
  Array<Single, 1> TermCounts, LetterCounts;
  Array<Double, 3> TermTable;
  Str AnswerText;
  Single K, N, F, M, C, letterCount, maxTermCount, Found, MaxFactors;
  Double factorCount, productRowCount, Header, Header2;
};

void Polymul::Main() {
  StartModule(kModule, kData.data());
  Stmt(10); LetterTable.Dim(26);
  for (K = 1; K <= 26; K = K + 1) {
    Stmt(12); Read(LetterTable(K));
  }
  Stmt(14); MaxFactors = 10;
  Stmt(20); Print()("本ソフトは、数式展開、数式加算のソフトで、配列形式のファイル出力をしたファイルの数式を乗算するソフトです。");
  Stmt(21); Color(4);
  Stmt(22); Print()("複数のファイルを、数式展開、数式加算のソフトで、配列形式のファイル出力をして、作成してください。");
  Stmt(23); Print()(Mid(StrOf(MaxFactors), 2, 2147483647) + "個まで可能です。");
  Stmt(24); Color(7);
  for (;;) {
    for (;;) {
      Stmt(30); Input("上記のことが、理解できましたか(y/n)", AnswerText);
      if (AnswerText == "Y" || AnswerText == "y") break;
      if (AnswerText == "N" || AnswerText == "n") {
        Stmt(31); End();
      }
    }
    while (Cycle()) {
    }
  }
}

// One multiplication; true to start the next one at step 3.
bool Polymul::Cycle() {
  Stmt(40); Cls();
  Stmt(41); Input("input file number(ファイルの数:これが乗算する個数に当たります） ", N);
  factorCount = N;
  Stmt(42); EraseIfDimensioned(FileNames);
  EraseIfDimensioned(TermCounts);
  EraseIfDimensioned(LetterCounts);
  FileNames.Dim(N);
  TermCounts.Dim(N);
  LetterCounts.Dim(N);
  for (F = 1; F <= N; F = F + 1) {
    Stmt(50); Print()("file　no", Semi)(F);
    Stmt(51); Input("input file name(ex. ans1.txt) ", FileNames(F));
  }
  // Every name must exist; at the first that does not, start again.
  for (F = 1; F <= N; F = F + 1) {
    Stmt(60); Found = 0;
    DirOpen(FileNames(F), 1);
    for (;;) {
      Stmt(61); DirNext(1);
      if (DirEnd(1)) break;
      Found = 1;
    }
    Stmt(62); DirClose(1);
    if (Found == 0) {
      Stmt(63); Print()(StrExpr(FileNames(F)) + "は存在しません。入力し直して下さい。");
      return true;
    }
  }
  // The header of each file: its term count and letter count.
  for (F = 1; F <= N; F = F + 1) {
    Stmt(70); OpenInput(FileNames(F), 1);
    Stmt(71); InputFile(1, TermCounts(F));
    Stmt(72); InputFile(1, LetterCounts(F));
    Stmt(73); Close(1);
  }
  // The largest counts of the files (with one file, its own counts).
  Stmt(80); letterCount = 0;
  maxTermCount = 0;
  for (F = 1; F <= N; F = F + 1) {
    Stmt(81);
    if (F == 1 || LetterCounts(F) > letterCount) letterCount = LetterCounts(F);
    if (F == 1 || TermCounts(F) > maxTermCount) maxTermCount = TermCounts(F);
  }
  Stmt(82); Print()("HENSU=", Semi)(letterCount);
  Stmt(83); Print()("ITEMNO=", Semi)(maxTermCount);
  Stmt(84); Print()("COLUM=", Semi)(factorCount);
  Stmt(90); EraseIfDimensioned(TermTable);
  TermTable.Dim(N, maxTermCount, letterCount + 2);
  productRowCount = 1;
  for (F = 1; F <= N; F = F + 1) {
    Stmt(91); productRowCount = productRowCount * TermCounts(F);
  }
  // The terms of each file, field by field.
  for (F = 1; F <= N; F = F + 1) {
    Stmt(100); OpenInput(FileNames(F), 1);
    Stmt(101); InputFile(1, Header);
    Stmt(102); InputFile(1, Header2);
    for (M = 1; M <= TermCounts(F); M = M + 1) {
      for (C = 1; C <= LetterCounts(F) + 2; C = C + 1) {
        Stmt(103); InputFile(1, TermTable(F, M, C));
        // A value no term text could show truthfully is refused as a field
        // that does not fit its variable is: never a wrong term.
        if (!poly::SpellableValue(Cint(C), TermTable(F, M, C).get())) rt::RaiseError(58, 0x4E04);
      }
    }
    Stmt(104); Close(1);
  }
  Stmt(110);
  if (N > MaxFactors) return LimitMessage();
  output_.ReportSizes(factorCount, maxTermCount, letterCount);
  // The product table is dimensioned before the line.
  const poly::Factors factors = Factors();
  std::unique_ptr<poly::Engine> engine = poly::MakeFastEngine();
  engine->Prepare(factors);
  Stmt(120); Print()("ただ今、式を展開中");
  poly::ScreenProgress progress;
  if (engine->Expand(factors, progress) == poly::ExpandResult::NoProduct) return LimitMessage();
  engine->Collect(progress);
  poly::AnswerRows rows = engine->Ordered();
  engine.reset();  // its tables make room for the output
  Stmt(130); EraseIfDimensioned(TermTable);  // the term table is released when output begins
  output_.FormatAnswer(std::move(rows));
  output_.SaveAnswer();
  for (;;) {
    Stmt(140); Input("プログラムを終了しますか(y/n)", AnswerText);
    if (AnswerText == "n" || AnswerText == "N") return true;
    if (AnswerText == "Y" || AnswerText == "y") {
      Stmt(141); End();
    }
  }
}

bool Polymul::LimitMessage() {
  Stmt(150); Print()(StrExpr("(   )の数が") + Mid(StrOf(MaxFactors), 2, 2147483647) + "よりも大きいので、処理できません。");
  Stmt(151); Print()("再度入力してください。");
  Stmt(152); Input("ok ", AnswerText);
  if (AnswerText == "N" || AnswerText == "n") {
    Stmt(153); End();
  }
  return false;
}

poly::Factors Polymul::Factors() { return poly::FactorsOf(factorCount, letterCount, TermCounts, TermTable); }

}  // namespace
}  // namespace multiplier

int main(int argc, char** argv) {
  if (auto code = app::AnswerInformationRequest(app::Program::Polymul, argc, argv)) return *code;
  multiplier::Polymul program;
  return host::RunProgram(multiplier::kModule,
                          {{host::kResourceRcData, "MAINFORM", host::BuildMainForm(app::kPolymulForm.title, app::kPolymulForm.x, app::kPolymulForm.y)}},
                          [&] { program.Main(); }, argc, argv);
}
