// The text of one answer term, such as +26a2b, -3 or +a, as the answer line
// and the normal-form file show it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace poly {

// STR$ of a double without its first character (the sign position).
std::string NumberText(double v);

// NumberText added to the end of text.
void AppendNumberText(std::string& text, double v);
// The same for a whole number held exactly: the text of the double it
// stands for.
void AppendNumberText(std::string& text, uint64_t v);

// The term text of a term: "+" when the sign is 1, else "-"; the
// coefficient unless it is 1 in a term with letters; each letter with a
// non-zero exponent, followed by the exponent unless it is 1. exponent(k)
// gives the exponent of letter k and letter(k) spells it (1 = a); letter is
// asked only for the letters the term shows.
template <class Magnitude, class Exponent, class Letter>
void AppendTermText(std::string& text, double sign, Magnitude magnitude, int letterCount, Exponent&& exponent,
                    Letter&& letter) {
  text += sign == 1 ? '+' : '-';
  bool constant = true;
  for (int k = 1; k <= letterCount && constant; ++k)
    if (exponent(k) != 0) constant = false;
  if (constant || magnitude != 1) AppendNumberText(text, magnitude);
  for (int k = 1; k <= letterCount; ++k) {
    const auto e = exponent(k);
    if (e == 0) continue;
    text += letter(k);
    if (e != 1) AppendNumberText(text, e);
  }
}

// The same for a row: sign, magnitude, exponents of letters 1 to letterCount.
template <class Letter>
void AppendTermText(std::string& text, const double* row, int letterCount, Letter&& letter) {
  AppendTermText(text, row[0], row[1], letterCount, [row](int k) { return row[1 + k]; }, letter);
}

// Whether a value read into column `column` of a term row (1 the sign, 2 the
// magnitude, 3 on the exponents) is one the term texts spell truthfully: a
// sign of 1 or -1, a magnitude and exponents of 0 or more. Files that equation
// and polymul write hold nothing else; a hand-made file with a negative
// exponent would otherwise show a^-2 as "a2".
inline bool SpellableValue(int column, double value) {
  return column == 1 ? value == 1 || value == -1 : value >= 0;
}

// The same as a string of its own; letter(k) spells letter k.
std::string TermText(const double* row, int letterCount,
                     const std::function<std::string(int)>& letter);

// Letters a to z, for callers without a letter table of their own.
std::string PlainLetter(int k);

}  // namespace poly
