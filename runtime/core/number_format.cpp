#include "number_format.h"

#include <charconv>
#include <cmath>

#include "decimal.h"
#include "string_heap.h"

namespace rt {

std::string FormatNumber(double v, Precision precision, int signMode) {
  std::string text;
  AppendNumber(text, v, precision, signMode);
  return text;
}

void AppendNumber(std::string& text, double v, Precision precision, int signMode) {
  if (v == 0) {
    if (signMode == kSignBlank) text += ' ';
    text += '0';
    return;
  }
  const bool negative = v < 0;
  if (signMode == kSignAlways) text += negative ? '-' : '+';
  else if (signMode == kSignNegative) { if (negative) text += '-'; }
  else text += negative ? '-' : ' ';
  // The checks after every operation keep infinities and NaNs from the
  // programs; should one reach a PRINT all the same, it gets a text of its
  // own instead of digits.
  if (std::isnan(v)) {
    text += "NAN";
    return;
  }
  if (std::isinf(v)) {
    text += "INF";
    return;
  }

  const int p = precision == Precision::Single ? 6 : 15;
  // A whole number of at most p digits needs no rounding: its digits as
  // they are, the common case of coefficients and exponents.
  const double a = std::fabs(v);
  if (a < (precision == Precision::Single ? 1e6 : 1e15) && a == std::floor(a)) {
    char digits[20];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(a));
    text.append(digits, end);
    return;
  }
  LeadingDigits lead;
  ExactLeadingDigits(std::fabs(v), p + 1, lead);
  char* d = lead.digits;
  int e = lead.exponent;
  if (d[p] >= '5') {
    int i = p - 1;
    while (i >= 0 && d[i] == '9') d[i--] = '0';
    if (i >= 0) {
      ++d[i];
    } else {
      d[0] = '1';
      for (int j = 1; j < p; ++j) d[j] = '0';
      ++e;
    }
  }
  int n = p;
  while (n > 1 && d[n - 1] == '0') --n;

  const bool plain = (e >= 0 && e < p) || (e < 0 && (-e - 1) + n <= p);
  if (plain && e >= 0) {
    for (int i = 0; i <= e; ++i) text += i < n ? d[i] : '0';
    if (n > e + 1) {
      text += '.';
      text.append(d + e + 1, n - e - 1);
    }
  } else if (plain) {
    text += '.';
    text.append(-e - 1, '0');
    text.append(d, n);
  } else {
    text += d[0];
    if (n > 1) {
      text += '.';
      text.append(d + 1, n - 1);
    }
    text += precision == Precision::Single ? 'E' : 'D';
    text += e < 0 ? '-' : '+';
    int a = e < 0 ? -e : e;
    char digits[8];
    int width = precision == Precision::Single ? (a >= 100 ? 3 : 2) : 3;
    if (a >= 1000) width = 4;
    for (int i = width - 1; i >= 0; --i) {
      digits[i] = static_cast<char>('0' + a % 10);
      a /= 10;
    }
    text.append(digits, width);
  }
}

namespace {
void PushText(const std::string& text) {
  PushNewString(static_cast<uint32_t>(text.size()), text.data());
}
}  // namespace

void StrSingle(float v) { PushText(FormatNumber(v, Precision::Single, kSignBlank)); }
void StrDouble(double v) { PushText(FormatNumber(v, Precision::Double, kSignBlank)); }
void StrInteger(int16_t v) { PushText(FormatNumber(v, Precision::Double, kSignBlank)); }

}  // namespace rt
