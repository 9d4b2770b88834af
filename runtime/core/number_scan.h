// Text as numbers: the number grammar shared by VAL, READ and INPUT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rt {

enum class WantedType { Auto, Integer, Long, Single, Double, Byte };

enum class ScanStatus { Ok, NoNumber, Overflow };

// Size codes of the scanned type.
enum SizeCode { kSizeInteger = 1, kSizeLong = 2, kSizeSingle = 4, kSizeDouble = 8, kSizeByte = 16 };

struct ScanResult {
  ScanStatus status = ScanStatus::NoNumber;
  double value = 0;  // the value in its type; every type converts to double exactly
  int sizeCode = 0;
  size_t end = 0;    // position after the last character of the number
};

// Scans the number at pos. Blanks are skipped before the number and between
// its characters; at most 28 significant digits count; E or D exponents.
ScanResult ScanNumber(std::string_view text, size_t pos, WantedType wanted);

// The radix-prefix form at pos: "&H" hexadecimal or "&O" octal digits,
// accumulated in double precision, then stored in the wanted type (Overflow
// when it does not fit). NoNumber when the prefix is not one of those; with
// no digit after the prefix the value is 0 and end is pos + 2.
ScanResult ScanRadix(std::string_view text, size_t pos, WantedType wanted = WantedType::Double);

// VAL: pops a string and returns its value as a floating value.
double Val();
// VAL of the given bytes.
double ValOf(std::string_view text);

}  // namespace rt
