#include "number_scan.h"

#include <cfenv>
#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

#include "frame.h"
#include "numbers.h"
#include "strings.h"

namespace rt {
namespace {

constexpr int kMaxSignificant = 28;

// The conversions below may leave floating-point status flags behind (an
// overflowing strtof sets the overflow flag). The scanner reports overflow
// through its status instead, so the flags are put back as they were: a
// rejected item must not make a later checked operation fail.
class KeepFloatStatus {
 public:
  KeepFloatStatus() : saved_(SaveFloatStatus()) {}
  ~KeepFloatStatus() { RestoreFloatStatus(saved_); }
  KeepFloatStatus(const KeepFloatStatus&) = delete;
  KeepFloatStatus& operator=(const KeepFloatStatus&) = delete;

 private:
  unsigned saved_;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipBlanks(std::string_view t, size_t i) {
  while (i < t.size() && t[i] == ' ') ++i;
  return i;
}

// The decimal number as scanned: value = digits x 10^exponent.
struct Decimal {
  std::string digits;  // significant digits, at most 28, no leading zeros
  int exponent = 0;
  int significant = 0;  // all significant digits written, beyond 28 too
  bool negative = false;
};

double ToDoubleValue(const Decimal& d) {
  if (d.digits.empty()) return 0;
  if (d.digits.size() <= 15 && d.exponent >= -22 && d.exponent <= 22) {
    // Exact: both operands are exact doubles and one operation rounds once.
    double m = std::strtod(d.digits.c_str(), nullptr);
    static const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return d.exponent >= 0 ? m * kPow10[d.exponent] : m / kPow10[-d.exponent];
  }
  std::string s = d.digits + "e" + std::to_string(d.exponent);
  return std::strtod(s.c_str(), nullptr);
}

float ToSingleValue(const Decimal& d) {
  if (d.digits.empty()) return 0;
  std::string s = d.digits + "e" + std::to_string(d.exponent);
  return std::strtof(s.c_str(), nullptr);
}

bool IsIntegral(const Decimal& d) {
  size_t n = d.digits.size();
  int e = d.exponent;
  while (n > 0 && d.digits[n - 1] == '0') {
    --n;
    ++e;
  }
  return n == 0 || e >= 0;
}

ScanResult Result(double v, int size, size_t end) {
  ScanResult r;
  r.status = ScanStatus::Ok;
  r.value = v;
  r.sizeCode = size;
  r.end = end;
  return r;
}

ScanResult Failure(ScanStatus status, size_t end) {
  ScanResult r;
  r.status = status;
  r.end = end;
  return r;
}

ScanResult StoreInteger(double v, double low, double high, int size, size_t end) {
  double r = std::nearbyint(v);
  if (!(r >= low && r <= high)) return Failure(ScanStatus::Overflow, end);
  return Result(r == 0 ? 0.0 : r, size, end);
}

ScanResult StoreSingle(const Decimal& d, size_t end) {
  float f = ToSingleValue(d);
  if (std::isinf(f)) return Failure(ScanStatus::Overflow, end);
  return Result(d.negative ? -static_cast<double>(f) : f, kSizeSingle, end);
}

// True when the decimal is at most 1.79769313486232 x 10^308: the text the
// run-time prints for the largest double (rounded up to 15 digits, so above
// the double itself).
bool AtMostPrintedMaximum(const Decimal& d) {
  static constexpr std::string_view kPrinted = "179769313486232";
  const int scientific = d.exponent + static_cast<int>(d.digits.size()) - 1;
  if (scientific != 308) return scientific < 308;
  for (size_t i = 0; i < std::max(d.digits.size(), kPrinted.size()); ++i) {
    const char a = i < d.digits.size() ? d.digits[i] : '0';
    const char b = i < kPrinted.size() ? kPrinted[i] : '0';
    if (a != b) return a < b;
  }
  return true;
}

// A double that overflows, unless it is the largest double as the run-time
// prints it: a file the programs saved must read back.
ScanResult StoreDouble(const Decimal& d, size_t end) {
  double v = ToDoubleValue(d);
  if (std::isinf(v)) {
    if (!AtMostPrintedMaximum(d)) return Failure(ScanStatus::Overflow, end);
    v = std::numeric_limits<double>::max();
  }
  return Result(d.negative ? -v : v, kSizeDouble, end);
}

// A whole value (of the radix form) in the wanted type.
ScanResult StoreWhole(double v, WantedType wanted, size_t end) {
  switch (wanted) {
    case WantedType::Integer: return StoreInteger(v, -32768, 32767, kSizeInteger, end);
    case WantedType::Long: return StoreInteger(v, -2147483648.0, 2147483647.0, kSizeLong, end);
    case WantedType::Byte: return StoreInteger(v, 0, 255, kSizeByte, end);
    case WantedType::Single: {
      float f = static_cast<float>(v);
      if (std::isinf(f)) return Failure(ScanStatus::Overflow, end);
      return Result(f, kSizeSingle, end);
    }
    case WantedType::Auto:
    case WantedType::Double: break;
  }
  if (std::isinf(v)) return Failure(ScanStatus::Overflow, end);
  return Result(v, kSizeDouble, end);
}

}  // namespace

ScanResult ScanNumber(std::string_view t, size_t pos, WantedType wanted) {
  KeepFloatStatus keep;
  Decimal d;
  size_t i = SkipBlanks(t, pos);
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    d.negative = t[i] == '-';
    ++i;
  }
  bool sawDigit = false, sawPoint = false;
  size_t end = pos;
  for (;;) {
    size_t j = SkipBlanks(t, i);
    if (j >= t.size()) break;
    char c = t[j];
    if (IsDigit(c)) {
      sawDigit = true;
      if (d.digits.empty() && c == '0') {
        if (sawPoint) --d.exponent;
      } else {
        ++d.significant;
        if (static_cast<int>(d.digits.size()) < kMaxSignificant) {
          d.digits += c;
          if (sawPoint) --d.exponent;
        } else if (!sawPoint) {
          ++d.exponent;
        }
      }
    } else if (c == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      break;
    }
    i = j + 1;
    end = i;
  }
  if (!sawDigit) return Failure(ScanStatus::NoNumber, pos);

  // An exponent or a type character must follow the number directly.
  int letter = 0;  // 'E' or 'D'
  char typeChar = 0;
  if (end < t.size()) {
    char c = t[end];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      letter = (c == 'E' || c == 'e') ? 'E' : 'D';
      size_t k = SkipBlanks(t, end + 1);
      end = end + 1;
      bool expNegative = false;
      if (k < t.size() && (t[k] == '+' || t[k] == '-')) {
        expNegative = t[k] == '-';
        end = k + 1;
        k = SkipBlanks(t, k + 1);
      }
      long value = 0;
      while (k < t.size() && IsDigit(t[k])) {
        if (value < 100000) value = value * 10 + (t[k] - '0');
        end = k + 1;
        k = SkipBlanks(t, k + 1);
      }
      d.exponent += static_cast<int>(expNegative ? -value : value);
    } else if (wanted == WantedType::Auto && (c == '!' || c == '#' || c == '%' || c == '&')) {
      typeChar = c;
      ++end;
    }
  }

  if (!d.digits.empty()) {
    int scientific = d.exponent + static_cast<int>(d.digits.size()) - 1;
    if (scientific >= 512) return Failure(ScanStatus::Overflow, end);
    if (scientific <= -512) d.digits.clear();
  }
  if (d.digits.empty()) d.exponent = 0;

  switch (wanted) {
    case WantedType::Integer:
      return StoreInteger(d.negative ? -ToDoubleValue(d) : ToDoubleValue(d), -32768, 32767,
                          kSizeInteger, end);
    case WantedType::Long:
      return StoreInteger(d.negative ? -ToDoubleValue(d) : ToDoubleValue(d), -2147483648.0,
                          2147483647.0, kSizeLong, end);
    case WantedType::Byte:
      return StoreInteger(d.negative ? -ToDoubleValue(d) : ToDoubleValue(d), 0, 255, kSizeByte,
                          end);
    case WantedType::Single:
      return StoreSingle(d, end);
    case WantedType::Double:
      return StoreDouble(d, end);
    case WantedType::Auto:
      break;
  }

  if (letter == 'E') return StoreSingle(d, end);
  if (letter == 'D') return StoreDouble(d, end);
  const double magnitude = ToDoubleValue(d);
  const double v = d.negative ? -magnitude : magnitude;
  const bool integral = IsIntegral(d);
  switch (typeChar) {
    case '!':
      return StoreSingle(d, end);
    case '#':
      return StoreDouble(d, end);
    case '%':
      if (integral && v >= -32768 && v <= 32767) return Result(v == 0 ? 0.0 : v, kSizeInteger, end);
      return StoreDouble(d, end);
    case '&':
      if (integral && v >= -2147483648.0 && v <= 2147483647.0)
        return Result(v == 0 ? 0.0 : v, kSizeLong, end);
      return StoreDouble(d, end);
    default:
      break;
  }
  if (integral && v >= -32768 && v <= 32767) return Result(v == 0 ? 0.0 : v, kSizeInteger, end);
  if (integral && v >= -2147483648.0 && v <= 2147483647.0) return Result(v, kSizeLong, end);
  if (d.significant <= 7) {
    ScanResult single = StoreSingle(d, end);
    if (single.status == ScanStatus::Ok) return single;
  }
  return StoreDouble(d, end);
}

ScanResult ScanRadix(std::string_view t, size_t pos, WantedType wanted) {
  KeepFloatStatus keep;
  if (pos + 1 >= t.size() || t[pos] != '&') return Failure(ScanStatus::NoNumber, pos);
  char kind = t[pos + 1];
  int base;
  if (kind == 'H' || kind == 'h') base = 16;
  else if (kind == 'O' || kind == 'o') base = 8;
  else return Failure(ScanStatus::NoNumber, pos);
  double v = 0;
  size_t i = pos + 2;
  for (; i < t.size(); ++i) {
    char c = t[i];
    int digit;
    if (IsDigit(c)) digit = c - '0';
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else break;
    if (digit >= base) break;
    v = v * base + digit;
  }
  return StoreWhole(v, wanted, i);
}

double ValOf(std::string_view t) {
  size_t i = SkipBlanks(t, 0);
  if (i >= t.size()) return 0;
  auto at = [&](size_t k) { return k < t.size() ? t[k] : '\0'; };
  char c = t[i];
  bool number = IsDigit(c) || ((c == '+' || c == '-') && (IsDigit(at(i + 1)) || at(i + 1) == '.')) ||
                (c == '.' && IsDigit(at(i + 1)));
  if (c == '&') {
    char k = at(i + 1);
    if ((k == 'H' || k == 'h' || k == 'O' || k == 'o') && i + 2 < t.size()) {
      ScanResult r = ScanRadix(t, i);
      if (r.status == ScanStatus::Overflow) RaiseError(6, 0x9F01);
      return r.status == ScanStatus::Ok ? r.value : 0;
    }
    return 0;
  }
  if (!number) return 0;
  // The number ends at the first blank after it.
  size_t stop = t.find(' ', i);
  std::string_view text = t.substr(i, stop == std::string_view::npos ? std::string_view::npos : stop - i);
  ScanResult r = ScanNumber(text, 0, WantedType::Auto);
  if (r.status == ScanStatus::Overflow) {
    RaiseError(6, 0x9F01);
    return 0;
  }
  return r.status == ScanStatus::Ok ? r.value : 0;
}

double Val() { return ValOf(PopBytes()); }

}  // namespace rt
