#include "numbers.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "frame.h"

namespace rt {

#if defined(__wasm__)
// No status flags to read: the arithmetic checks its results itself.
void CheckFloatStatus() {}
unsigned SaveFloatStatus() { return 0; }
void RestoreFloatStatus(unsigned) {}
#else
void CheckFloatStatus() {
  // Only invalid operation, division by zero and overflow count; the status
  // is cleared when one of them is set (an inexact result alone leaves
  // nothing to report, so the common case costs one read of the status).
#if defined(__x86_64__) && defined(__GNUC__)
  // Arithmetic on doubles and singles runs on SSE; its status is MXCSR.
  const unsigned csr = __builtin_ia32_stmxcsr();
  int flags = 0;
  if (csr & 0x01) flags |= FE_INVALID;
  if (csr & 0x04) flags |= FE_DIVBYZERO;
  if (csr & 0x08) flags |= FE_OVERFLOW;
#else
  int flags = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
#endif
  if (!flags) return;
  std::feclearexcept(FE_ALL_EXCEPT);
  if (flags & FE_INVALID) return RaiseError(5, 0xE001);
  if (flags & FE_DIVBYZERO) return RaiseError(11, 0xE002);
  RaiseError(6, 0xE003);
}

#if !(defined(__x86_64__) && defined(__GNUC__))
unsigned SaveFloatStatus() {
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  return flags;
}
void RestoreFloatStatus(unsigned saved) {
  const std::fexcept_t flags = static_cast<std::fexcept_t>(saved);
  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
}
#endif
#endif  // __wasm__

#if defined(__wasm__)
void RaiseFloatError(unsigned flags) {
  if (flags & 1) return RaiseError(5, 0xE001);
  if (flags & 4) return RaiseError(11, 0xE002);
  RaiseError(6, 0xE003);
}
#endif

namespace {

// Adds or subtracts one half and truncates toward zero; false when the result
// lies outside [low, high] or the value is not a number.
bool RoundHalfAway(double v, double low, double high, double& out) {
  if (v == 0) {
    out = 0;
    return true;
  }
  double shifted = v > 0 ? v + 0.5 : v - 0.5;
  // Within this range the conversion to an integer truncates exactly.
  if (!(shifted > low - 1 && shifted < high + 1)) return false;
  out = static_cast<double>(static_cast<int64_t>(shifted));
  return true;
}

}  // namespace

int32_t RoundToLongChecked(double v) {
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
