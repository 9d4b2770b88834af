#include "app/polynomial/term_text.h"

#include <cmath>

#include "runtime/core/number_format.h"

namespace poly {

// The sign position of STR$ is a blank or a minus, and either is left out.
void AppendNumberText(std::string& text, double v) {
  rt::AppendNumber(text, std::fabs(v), rt::Precision::Double, rt::kSignNegative);
}

std::string NumberText(double v) {
  std::string text;
  AppendNumberText(text, v);
  return text;
}

std::string PlainLetter(int k) { return std::string(1, static_cast<char>('a' + k - 1)); }

std::string TermText(const double* row, int letterCount,
                     const std::function<std::string(int)>& letter) {
  std::string text;
  AppendTermText(text, row, letterCount, letter);
  return text;
}

}  // namespace poly
