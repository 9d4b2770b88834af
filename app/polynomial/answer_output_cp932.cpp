// Compiled with the execution character set CP932: the texts below are the
// Shift-JIS bytes both programs show.
#include "app/polynomial/answer_output.h"

#include <algorithm>

#include "app/polynomial/term_text.h"
#include "runtime/core/basic_io.h"

namespace poly {

using namespace basic;

void ScreenProgress::Marks(double count) {
  // One "+" per mark, without ending the line; long runs go out in pieces of
  // whole screen lines, small enough to cost no memory worth the name (a
  // phase writes at most 167,772 marks: 21 pieces).
  static const std::string kPiece(80 * 100, '+');
  while (count > 0) {
    size_t n = static_cast<size_t>(std::min<double>(count, static_cast<double>(kPiece.size())));
    Print()(StrExpr(std::string_view(kPiece.data(), n)), Semi);
    count -= static_cast<double>(n);
  }
}

void ScreenProgress::BeginCollection() {
  Stmt(4101); PrintLine();
  Stmt(4102); Print()("ただ今、式を整理中");
}

void AnswerOutput::ReportSizes(const Double& factorCount, const Single& maxTermCount,
                               const Single& letterCount) {
  Stmt(3000); Print()(" Column Number          =", Semi)(factorCount);
  Stmt(3010); Print()(" Max Item Number        =", Semi)(maxTermCount);
  Stmt(3020); Print()(" Letter Number          =", Semi)(letterCount);
}

void AnswerOutput::FormatAnswer(AnswerRows rows) {
  rows_ = std::move(rows);
  Stmt(5000); PrintLine();
  Stmt(5010); Print()("Answer =", Semi);
  Stmt(5020); answerCount = static_cast<double>(rows_.count());
  letterCount = rows_.letterCount;
  termText_.clear();
  termEnds_.clear();
  termEnds_.reserve(rows_.count());
  termText_.reserve(rows_.count() * 12);  // a guess that spares most of the regrowth
  // Each letter is spelled from the letter table when a term first shows it.
  std::vector<std::string> spelled(static_cast<size_t>(rows_.letters()));
  std::vector<char> known(spelled.size(), 0);
  auto letter = [&](int k) -> const std::string& {
    const size_t at = static_cast<size_t>(k - 1);
    if (!known[at]) {
      spelled[at] = std::string(letters_(k).view());
      known[at] = 1;
    }
    return spelled[at];
  };
  const int letterCount = rows_.letters();
  if (rows_.compact) {
    // Whole coefficients and exponents, each term's fields unpacked at once.
    std::vector<uint64_t> exps(static_cast<size_t>(letterCount));
    for (size_t i = 0; i < rows_.count(); ++i) {
      Stmt(5030);
      const int64_t v = rows_.values[i];
      const u128 key = rows_.keys[i];
      rows_.packing.Exps(key, exps.data());
      AppendTermText(termText_, v > 0 ? 1.0 : -1.0, static_cast<uint64_t>(v > 0 ? v : -v), letterCount,
                     [&](int k) { return exps[static_cast<size_t>(k - 1)]; }, letter);
      termEnds_.push_back(termText_.size());
    }
  } else {
    std::vector<double> row(static_cast<size_t>(rows_.columns()));
    for (size_t i = 0; i < rows_.count(); ++i) {
      Stmt(5030);
      rows_.Row(i, row.data());
      AppendTermText(termText_, row.data(), letterCount, letter);
      termEnds_.push_back(termText_.size());
    }
  }
  for (size_t i = 0; i < termEnds_.size(); ++i) {
    Stmt(5040); Print()(StrExpr(Term(i)), Semi);
  }
  Stmt(5050); PrintLine();
}

void AnswerOutput::SaveAnswer() {
  for (;;) {
    Stmt(5100); Input("式は、ファイル出力しますか(y/n)", AnswerText);
    if (AnswerText == "Y" || AnswerText == "y") break;
    if (AnswerText == "n" || AnswerText == "N") return;
  }
  for (;;) {
    Stmt(5110); Input("式は通常書き込みをしますか、配列形式で書き込みをしますか(n/d)", AnswerText);
    if (AnswerText == "n") {
      do {
        do {
          Stmt(5120); Input("ファイル名を ans.txt　というように指定してください。", FileName);
        } while (FileName == "");
      } while (!WriteFile(5130, 5140, &AnswerOutput::WriteNormalForm));
      Stmt(5150); Print()("プログラムファイルのある箇所へテキストファイルで保存されました。");
      Stmt(5160); Input("ok", AnswerText);
      return;
    }
    if (AnswerText == "d") {
      do {
        do {
          Stmt(5200); Input("ファイル名を ans1.txt　というように指定してください。", FileName);
        } while (FileName == "");
      } while (!WriteFile(5210, 5240, &AnswerOutput::WriteArrayForm));
      Stmt(5250); Print()("プログラムファイルのある箇所へテキストファイルで保存されました。");
      Stmt(5260); PrintLine();
      return;
    }
  }
}

// OPEN FileName FOR OUTPUT AS #1, the body, CLOSE #1. The new file takes
// the name only when CLOSE completes it. A file that cannot be created or
// written does not end the run and lose the answer: the error's text is
// shown, what was written is dropped (an older file of that name stays as it
// was), and false asks for another name.
bool AnswerOutput::WriteFile(int16_t openLine, int16_t closeLine, void (AnswerOutput::*body)()) {
  Stmt(openLine);
  int error = 0;
  try {
    error = rt::TrapErrors([&] {
      OpenOutput(FileName, 1);
      (this->*body)();
      Stmt(closeLine); Close(1);
    });
  } catch (const rt::ProgramEnd&) {
    // The program ends in the middle (the window closed, Ctrl+C): the file
    // cut short goes too, before the end could close it as if it were whole.
    Discard(1);
    throw;
  }
  if (error == 0) return true;
  ErrorNumber = error;
  Stmt(5400); Discard(1);
  const std::string message = rt::ErrorMessage(error);
  Stmt(5410); Print()(StrExpr(FileName) + "に保存できませんでした。エラー[" + Mid(StrOf(ErrorNumber), 2, 2147483647) +
                      "] " + StrExpr(message));
  return false;
}

// The terms without separators, a line end after the term that carries a
// line past 100 characters, and one at the end.
void AnswerOutput::WriteNormalForm() {
  Stmt(5300); lineLength = 0;
  for (size_t i = 0; i < termEnds_.size(); ++i) {
    const std::string_view t = Term(i);
    Stmt(5310); PrintFile(1)(StrExpr(t), Semi);
    Stmt(5320); lineLength = lineLength + static_cast<double>(t.size());
    if (lineLength > 100) {
      Stmt(5330); PrintFile(1)("", EndLine);
      lineLength = 0;
    }
  }
  Stmt(5340); PrintFile(1)("", EndLine);
}

// The header line (terms, letters), a line of numbers per term, then the
// normal form.
void AnswerOutput::WriteArrayForm() {
  Stmt(5220); PrintFile(1)(answerCount, Semi)(",", Semi)(letterCount);
  const int columns = rows_.columns();
  std::vector<double> row(static_cast<size_t>(columns));
  for (size_t i = 0; i < rows_.count(); ++i) {
    Stmt(5230);
    rows_.Row(i, row.data());
    for (int c = 0; c < columns; ++c) {
      Double value = row[c];
      if (c + 1 < columns) PrintFile(1)(value, Semi)(",", Semi);
      else PrintFile(1)(value, EndLine);
    }
  }
  WriteNormalForm();
}

}  // namespace poly
