// Numbers as text: PRINT, PRINT # and STR$.
#pragma once

#include <cstdint>
#include <string>

namespace rt {

enum class Precision { Single, Double };  // 6 or 15 significant digits

enum SignMode {
  kSignAlways = 0,     // plus or minus
  kSignNegative = 1,   // minus for negative values only
  kSignBlank = 2,      // blank or minus, as PRINT and STR$ use
};

// The text of a finite value, from the exact decimal expansion of its stored
// binary value, rounded to the class's significant digits. An infinity is
// "INF" and a NaN "NAN", after the sign the mode gives.
std::string FormatNumber(double v, Precision precision, int signMode);
// The same text, added to the end of `text`.
void AppendNumber(std::string& text, double v, Precision precision, int signMode);

// STR$: push the text (sign mode 2) on the string stack.
void StrSingle(float v);
void StrDouble(double v);
void StrInteger(int16_t v);

}  // namespace rt
