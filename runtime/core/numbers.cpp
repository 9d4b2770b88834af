#include "numbers.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "frame.h"

namespace rt {

void CheckFloat() {
  int flags = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  std::feclearexcept(FE_ALL_EXCEPT);
  if (!flags) return;
  if (flags & FE_INVALID) return RaiseError(5, 0xE001);
  if (flags & FE_DIVBYZERO) return RaiseError(11, 0xE002);
  RaiseError(6, 0xE003);
}

namespace {

// Adds or subtracts one half and truncates toward zero; false when the result
// lies outside [low, high] or the value is not a number.
bool RoundHalfAway(double v, double low, double high, double& out) {
  if (v == 0) {
    out = 0;
    return true;
  }
  double shifted = v > 0 ? v + 0.5 : v - 0.5;
  double t = std::trunc(shifted);
  if (!(t >= low && t <= high)) return false;
  out = t;
  return true;
}

}  // namespace

int32_t RoundToLong(double v) {
  double r;
  if (!RoundHalfAway(v, -2147483648.0, 2147483647.0, r)) {
    RaiseError(6, 0xE401);
    return 0;
  }
  return static_cast<int32_t>(r);
}

int16_t RoundToInteger(double v) {
  double r;
  if (!RoundHalfAway(v, -32768.0, 32767.0, r)) {
    RaiseError(6, 0xE301);
    return 0;
  }
  return static_cast<int16_t>(r);
}

uint8_t RoundToByte(double v) {
  double r;
  if (!RoundHalfAway(v, 0.0, 255.0, r)) {
    RaiseError(6, 0xF601);
    return 0;
  }
  return static_cast<uint8_t>(r);
}

float ToSingle(double v) {
  if (std::isnan(v) || std::fabs(v) > std::numeric_limits<float>::max()) {
    // Values that round down to the largest single still fit.
    if (!std::isnan(v) && std::isfinite(static_cast<float>(v))) return static_cast<float>(v);
    std::feclearexcept(FE_ALL_EXCEPT);
    RaiseError(6, 0xE501);
    return 0;
  }
  return static_cast<float>(v);
}

double ToDouble(double v) {
  if (!std::isfinite(v)) {
    RaiseError(6, 0xE601);
    return 0;
  }
  return v;
}

double FloorValue(double v) { return std::floor(v); }

}  // namespace rt
