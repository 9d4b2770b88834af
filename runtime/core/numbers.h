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

// Reads and clears the floating-point status: invalid operation raises
// error 5, division by zero 11, overflow 6. Underflow and inexact are ignored.
void CheckFloat();

// Rounds half away from zero; error 6 outside the target range.
int32_t RoundToLong(double v);
int16_t RoundToInteger(double v);
uint8_t RoundToByte(double v);
float ToSingle(double v);   // CSNG: error 6 (site 0xE501) when out of range
double ToDouble(double v);  // CDBL: error 6 (site 0xE601) for a value that is not finite
inline double LongToFloat(int32_t v) { return v; }

// INT(): the greatest integer not above the value.
double FloorValue(double v);

}  // namespace rt
