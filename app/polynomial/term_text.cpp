#include "app/polynomial/term_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "runtime/core/number_format.h"

namespace poly {

// The sign position of STR$ is a blank or a minus, and either is left out.
// A whole number of at most 15 digits is written as its digits, as STR$
// writes it; the digits are made here at once, the common case of
// exponents and coefficients.
void AppendNumberText(std::string& text, double v) {
  const double a = std::fabs(v);
  if (a < 1e15 && a == std::floor(a)) {
    char digits[20];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(a));
    text.append(digits, end);
    return;
  }
  rt::AppendNumber(text, a, rt::Precision::Double, rt::kSignNegative);
}

void AppendNumberText(std::string& text, uint64_t v) {
  if (v < 1000000000000000u) {
    char digits[20];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, v);
    text.append(digits, end);
    return;
  }
  AppendNumberText(text, static_cast<double>(v));
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
