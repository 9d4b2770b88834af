// equation: expands a product of parenthesised polynomials typed in or read
// from a file, shows the answer and saves it. Written as the statements of
// its MAIN.BAS; compiled with the execution character set CP932, so its
// texts are the Shift-JIS bytes it shows.
#include "app/expander/parser.h"
#include "app/command_line.h"
#include "app/main_forms.h"
#include "app/polynomial/answer_output.h"
#include "app/polynomial/polynomial.h"
#include "runtime/core/basic_io.h"
#include "runtime/host/host.h"

namespace expander {
namespace {

using namespace basic;

const rt::ModuleRecord kModule{0, nullptr, 0, 8, "MAIN.BAS"};
const std::vector<uint8_t> kData = rt::BuildDataArea({{16, poly::kLetterData}});

class Equation {
 public:
  void Main();

 private:
  void Introduction();
  bool ReadExpression();  // false: back to the choice of input method
  bool Expand();          // false: back to the choice of input method

  Parser parser_;
  poly::AnswerOutput output_{parser_.LetterTable};
  Str ExpressionText, AnswerText, FileName, Paren1, Paren2, Plus, Minus;
  Single K, Found, MaxFactors;
};

void Equation::Main() {
  StartModule(kModule, kData.data());
  Stmt(10); parser_.LetterTable.Dim(26);
  for (K = 1; K <= 26; K = K + 1) {
    Stmt(12); Read(parser_.LetterTable(K));
  }
  Stmt(14); Paren1 = "(";
  Paren2 = ")";
  Plus = "+";
  Minus = "-";
  MaxFactors = kMaxFactors;
  Introduction();
  for (;;) {
    Stmt(40); Input("上記のことが、理解できましたか(y/n)", AnswerText);
    if (AnswerText == "Y" || AnswerText == "y") break;
    if (AnswerText == "n" || AnswerText == "N") {
      Stmt(42); End();
    }
  }
  for (;;) {
    if (!ReadExpression()) continue;
    Stmt(200); Print()(ExpressionText);
    if (!Expand()) continue;
    for (;;) {
      Stmt(300); Input("プログラムを終了しますか(y/n)", AnswerText);
      if (AnswerText == "n" || AnswerText == "N") {
        Stmt(310); parser_.Release();
        break;
      }
      if (AnswerText == "Y" || AnswerText == "y") {
        Stmt(320); End();
      }
    }
  }
}

void Equation::Introduction() {
  Stmt(20); Cls();
  Stmt(21); Print()("本ソフトは、(26a2b+c)(3a-2b2)(2ab-1)などを数式展開するソフトです。");
  Stmt(22); Print()("式は、　(26a2b+c)(3a-2b2)(2ab-1) ないし(a+b)3や(-256a+b)2(a+b-c)3(a-c)2　などと入力してください。");
  Stmt(23); Print()("(  )の中の各項、上の最初の例の最初の項は26a2bですが、最初の文字の前の数、即ち26は項の定数、文字の後が乗数を示します。");
  Stmt(24); Print()("(a+b)3は（　　)の後が乗数を示します。");
  Stmt(25); Print()("最初に定数を設定したい場合は(-3)(a+b)3とすれば、-3*(a+b)3と同じ意味で計算されます。");
  Stmt(26); Color(4);
  Stmt(27); Print()(StrExpr("(  )を一個として") + Mid(StrOf(MaxFactors), 2, 2147483647) + "個まで処理できます。");
  Stmt(28); Print()("文字はa-zまでの小文字でお願いします。a,b,cの順で使うと計算が速いです。");
  Stmt(29); Print()("例えば、aaaとするのでなくa3としてください。");
  Stmt(30); Print()("定数は整数、乗数は正の整数で設定してください。");
  Stmt(31); Color(7);
  Stmt(32); Print()("式をファイル入力の際には、プログラムファイルと同じフォルダにをsiki.txt　というように、テキストファイルで作成してください。");
}

// Steps 4 to 6: the expression, typed or read from the first item of a file.
bool Equation::ReadExpression() {
  for (;;) {
    Stmt(100); Cls();
    Stmt(101); Input("式は、手動入力ですか、ファイル入力ですか(m/f)", AnswerText);
    if (AnswerText == "M" || AnswerText == "m") {
      do {
        Stmt(110); Input("式は ", ExpressionText);
      } while (ExpressionText == "");
      return true;
    }
    if (AnswerText == "F" || AnswerText == "f") break;
  }
  do {
    Stmt(120); Print()("ファイル名をsiki.txt　というように、");
    Stmt(121); Input("テキストファイルで指定してください。", FileName);
  } while (FileName == "");
  // Whether the name exists: at least one step of the search finds it.
  Stmt(130); Found = 0;
  DirOpen(FileName, 1);
  for (;;) {
    Stmt(131); DirNext(1);
    if (DirEnd(1)) break;
    Found = 1;
  }
  Stmt(132); DirClose(1);
  if (Found == 0) {
    Stmt(140); Print()(StrExpr(FileName) + "は存在しません。入力し直して下さい。");
    Stmt(141); Input("ok", AnswerText);
    return false;
  }
  Stmt(150); OpenInput(FileName, 1);
  Stmt(151); InputFile(1, ExpressionText);
  Stmt(152); Close(1);
  return true;
}

// Steps 8 to 10: parse, expand, collect, show and save.
bool Equation::Expand() {
  ParseOutcome outcome = parser_.ParseExpression(ExpressionText, [&] {
    output_.ReportSizes(parser_.factorCount, parser_.maxTermCount, parser_.letterCount);
  });
  if (outcome == ParseOutcome::TooManyFactors) {
    Stmt(210); Print()(StrExpr("(   )の数が") + Mid(StrOf(MaxFactors), 2, 2147483647) + "よりも大きいので、処理できません。");
    Stmt(211); Print()("再度入力してください。");
    Stmt(212); Input("ok ", AnswerText);
    return false;
  }
  if (outcome == ParseOutcome::RecognitionFailed) {
    Stmt(220); Print()("認識がうまくいかなかったので、再度入力してください。");
    return false;
  }
  // The product table is dimensioned with the work tables, before the line.
  const poly::Factors factors = parser_.Factors();
  std::unique_ptr<poly::Engine> engine = poly::MakeFastEngine();
  engine->Prepare(factors);
  Stmt(230); Print()("ただ今、式を展開中");
  poly::ScreenProgress progress;
  if (engine->Expand(factors, progress) == poly::ExpandResult::NoProduct) {
    Stmt(240); Print()("認識がうまくいかなかったので、再度入力してください。");
    return false;
  }
  engine->Collect(progress);
  poly::AnswerRows rows = engine->Ordered();
  engine.reset();  // its tables make room for the output
  Stmt(250); parser_.Release();  // the term table is released when output begins
  output_.FormatAnswer(std::move(rows));
  output_.SaveAnswer();
  return true;
}

}  // namespace
}  // namespace expander

int main(int argc, char** argv) {
  if (auto code = app::AnswerInformationRequest(app::Program::Equation, argc, argv)) return *code;
  expander::Equation program;
  return host::RunProgram(expander::kModule,
                          {{host::kResourceRcData, "MAINFORM", host::BuildMainForm(app::kEquationForm.title, app::kEquationForm.x, app::kEquationForm.y)}},
                          [&] { program.Main(); }, argc, argv);
}
