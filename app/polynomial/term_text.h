// The text of one answer term, such as +26a2b, -3 or +a, as the answer line
// and the normal-form file show it.
#pragma once

#include <functional>
#include <string>

namespace poly {

// STR$ of a double without its first character (the sign position).
std::string NumberText(double v);

// The term text of a row (sign, magnitude, exponents of letters 1 to
// letterCount): "+" when the sign is 1, else "-"; the coefficient unless it
// is 1 in a term with letters; each letter with a non-zero exponent, followed
// by the exponent unless it is 1. letter(k) spells letter k (1 = a).
std::string TermText(const double* row, int letterCount,
                     const std::function<std::string(int)>& letter);

// Letters a to z, for callers without a letter table of their own.
std::string PlainLetter(int k);

}  // namespace poly
