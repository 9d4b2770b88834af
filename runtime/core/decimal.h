// The exact decimal expansion of a binary floating-point value.
#pragma once

namespace rt {

// The first `count` significant digits (count at most 32) of the exact
// decimal expansion of the finite value v > 0, cut off, not rounded,
// padded with zeros, as ASCII digits; and the decimal exponent of the first
// digit (v = d.ddd... x 10^exponent).
struct LeadingDigits {
  char digits[33];
  int exponent;
};
void ExactLeadingDigits(double v, int count, LeadingDigits& out);

}  // namespace rt
