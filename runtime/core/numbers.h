// Floating-point checks and the numeric conversions of the run-time.
#pragma once

#include <cstdint>

namespace rt {

enum TypeCode : uint8_t {
  kTypeInteger = 0,
  kTypeLong = 1,
  kTypeSingle = 2,
  kTypeDouble = 3,
  kTypeByte = 4,
  kTypeString = 0x10,
  kTypeFixedString = 0x11,
  kTypeFixedStringArray = 0x13,
};

// The floating-point status flags (the exceptions that happened, not the
// masks), saved and put back around work that may leave flags behind. On
// x86-64 they are the flags of MXCSR, read and written directly: the C
// library's fesetexceptflag of MinGW-w64 clears the masks, after which the
// next inexact result ends the process.
#if defined(__x86_64__) && defined(__GNUC__)
inline unsigned SaveFloatStatus() { return __builtin_ia32_stmxcsr() & 0x3F; }
inline void RestoreFloatStatus(unsigned saved) {
  __builtin_ia32_ldmxcsr((__builtin_ia32_stmxcsr() & ~0x3Fu) | (saved & 0x3F));
}
#else
unsigned SaveFloatStatus();
void RestoreFloatStatus(unsigned saved);
#endif

// Reads and clears the floating-point status: invalid operation raises
// error 5, division by zero 11, overflow 6. Underflow and inexact are ignored.
void CheckFloatStatus();
// The status flags an operation raises (1 invalid, 4 division by zero, 8
// overflow, as in MXCSR), told from its operands and result: invalid for a
// NaN from operands that were not NaN (inf - inf, 0 * inf, 0 / 0); division
// by zero for a finite non-zero number divided by zero; overflow for an
// infinite result from finite operands (round to nearest makes a result
// infinite exactly when it overflows).
inline unsigned ResultFlags(double a, double b, double r, bool divisionByZero) {
  if (__builtin_isfinite(r)) return 0;
  if (r != r) return a == a && b == b ? 1 : 0;
  if (divisionByZero) return __builtin_isfinite(a) ? 4 : 0;
  return __builtin_isfinite(a) && __builtin_isfinite(b) ? 8 : 0;
}
// A value stored in single precision: overflow when it became infinite.
inline unsigned SingleFlags(double v, float stored) { return __builtin_isinf(stored) && __builtin_isfinite(v) ? 8 : 0; }

#if defined(__wasm__)
// WebAssembly keeps no status flags: each operation is checked from its
// operands and result instead, raising what the flags would have said.
void RaiseFloatError(unsigned flags);
inline void CheckResult(double a, double b, double r, bool divisionByZero) {
  if (const unsigned flags = ResultFlags(a, b, r, divisionByZero)) RaiseFloatError(flags);
}
inline void CheckSingle(double v, float stored) {
  if (const unsigned flags = SingleFlags(v, stored)) RaiseFloatError(flags);
}
inline void CheckFloat() {}
#else
inline void CheckFloat() {
#if defined(__x86_64__) && defined(__GNUC__)
  // Double and single arithmetic runs on SSE: invalid (bit 0), division by
  // zero (bit 2) and overflow (bit 3) of MXCSR are what counts. The
  // compiler's own builtin reads it, with no intrinsics header here.
  if ((__builtin_ia32_stmxcsr() & 0x0D) == 0) return;
#endif
  CheckFloatStatus();
}
#endif

// Rounds half away from zero; error 6 outside the target range.
int32_t RoundToLongChecked(double v);
inline int32_t RoundToLong(double v) {
  double shifted = v > 0 ? v + 0.5 : v - 0.5;  // 0 gives -0.5, which truncates to 0
  // In this range converting to an integer truncates toward zero exactly.
  if (shifted > -2147483649.0 && shifted < 2147483648.0) return static_cast<int32_t>(static_cast<int64_t>(shifted));
  return RoundToLongChecked(v);
}
int16_t RoundToInteger(double v);
uint8_t RoundToByte(double v);
float ToSingle(double v);   // CSNG: error 6 (site 0xE501) when out of range
double ToDouble(double v);  // CDBL: error 6 (site 0xE601) for a value that is not finite
inline double LongToFloat(int32_t v) { return v; }

// INT(): the greatest integer not above the value.
double FloorValue(double v);

}  // namespace rt
