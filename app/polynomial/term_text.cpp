#include "app/polynomial/term_text.h"

#include "runtime/core/number_format.h"

namespace poly {

std::string NumberText(double v) {
  return rt::FormatNumber(v, rt::Precision::Double, rt::kSignBlank).substr(1);
}

std::string PlainLetter(int k) { return std::string(1, static_cast<char>('a' + k - 1)); }

std::string TermText(const double* row, int letterCount,
                     const std::function<std::string(int)>& letter) {
  std::string text = row[0] == 1 ? "+" : "-";
  bool constant = true;
  for (int k = 1; k <= letterCount; ++k)
    if (row[1 + k] != 0) constant = false;
  if (constant || row[1] != 1) text += NumberText(row[1]);
  for (int k = 1; k <= letterCount; ++k) {
    double e = row[1 + k];
    if (e == 0) continue;
    text += letter(k);
    if (e != 1) text += NumberText(e);
  }
  return text;
}

}  // namespace poly
