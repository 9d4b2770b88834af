// What both programs show and save of a polynomial: the three size lines,
// the progress marks, the answer after "Answer =", and the saving dialogue
// with the normal and the array file forms.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/polynomial/polynomial.h"
#include "runtime/core/basic.h"

namespace poly {

// The DATA items of the letter table both programs READ at start: "a" to "z".
inline constexpr const char* kLetterData =
    "\"a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\",\"l\",\"m\",\"n\",\"o\",\"p\","
    "\"q\",\"r\",\"s\",\"t\",\"u\",\"v\",\"w\",\"x\",\"y\",\"z\"";

// The progress of the engine on the text screen: "+" marks, and the line
// that announces the collection.
class ScreenProgress : public ProgressOutput {
 public:
  void Marks(double count) override;
  void BeginCollection() override;
};

class AnswerOutput {
 public:
  explicit AnswerOutput(basic::Array<basic::Str, 1>& letterTable) : letters_(letterTable) {}

  // " Column Number          =", " Max Item Number        =", " Letter Number          ="
  void ReportSizes(const basic::Double& factorCount, const basic::Single& maxTermCount,
                   const basic::Single& letterCount);
  // Builds the term texts of the ordered rows and shows the answer; the rows
  // are kept for the array form.
  void FormatAnswer(AnswerRows rows);
  // Asks whether and how to save, and writes the file.
  void SaveAnswer();

 private:
  bool WriteFile(int16_t openLine, int16_t closeLine, void (AnswerOutput::*body)());
  void WriteNormalForm();
  void WriteArrayForm();

  basic::Array<basic::Str, 1>& letters_;
  std::string_view Term(size_t i) const {
    const size_t start = i ? termEnds_[i - 1] : 0;
    return std::string_view(termText_).substr(start, termEnds_[i] - start);
  }

  AnswerRows rows_;
  std::string termText_;           // the term texts one after another
  std::vector<size_t> termEnds_;   // where each ends in termText_
  basic::Str AnswerText, FileName;
  basic::Single answerCount, letterCount, lineLength, ErrorNumber;
};

}  // namespace poly
