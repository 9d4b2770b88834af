#include "decimal.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace rt {
namespace {

// An unsigned integer in base 10^9, least significant limb first. Large
// enough for 2^1024 and for a 53-bit mantissa times 5^1074.
struct BigDecimal {
  static constexpr uint32_t kBase = 1000000000u;
  uint32_t limb[100];
  int size = 0;

  explicit BigDecimal(uint64_t v) {
    while (v) {
      limb[size++] = static_cast<uint32_t>(v % kBase);
      v /= kBase;
    }
  }
  void MulSmall(uint64_t factor) {  // factor < 2^32 + 1
    uint64_t carry = 0;
    for (int i = 0; i < size; ++i) {
      uint64_t t = limb[i] * factor + carry;
      limb[i] = static_cast<uint32_t>(t % kBase);
      carry = t / kBase;
    }
    while (carry) {
      limb[size++] = static_cast<uint32_t>(carry % kBase);
      carry /= kBase;
    }
  }
};

int CountDigits(uint32_t v) {
  int n = 1;
  while (v >= 10) {
    v /= 10;
    ++n;
  }
  return n;
}

// Writes the leading digits of a u64 (no leading zeros); returns how many
// digits the number has.
int DigitsOf(unsigned __int128 v, int count, char* out) {
  char buf[40];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v);
  for (int i = 0; i < count; ++i) out[i] = i < n ? buf[n - 1 - i] : '0';
  return n;
}

}  // namespace

void ExactLeadingDigits(double v, int count, LeadingDigits& out) {
  int binaryExponent;
  double fraction = std::frexp(v, &binaryExponent);
  uint64_t mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  int k = binaryExponent - 53;  // v = mantissa * 2^k
  while ((mantissa & 1) == 0) {
    mantissa >>= 1;
    ++k;
  }
  out.digits[count] = '\0';
  int bits = 64 - __builtin_clzll(mantissa);
  // Small cases fit in 128 bits: mantissa * 2^k, or mantissa * 5^-k / 10^-k.
  if (k >= 0 && bits + k <= 64) {
    char buf[24];
    uint64_t n = mantissa << k;
    int len = 0;
    do {
      buf[len++] = static_cast<char>('0' + n % 10);
      n /= 10;
    } while (n);
    for (int i = 0; i < count; ++i) out.digits[i] = i < len ? buf[len - 1 - i] : '0';
    out.exponent = len - 1;
    return;
  }
  if (k >= 0 && bits + k <= 127) {
    unsigned __int128 n = static_cast<unsigned __int128>(mantissa) << k;
    out.exponent = DigitsOf(n, count, out.digits) - 1;
    return;
  }
  if (k < 0 && -k <= 31) {
    unsigned __int128 n = mantissa;
    for (int i = 0; i < -k; ++i) n *= 5;
    out.exponent = DigitsOf(n, count, out.digits) - 1 + k;
    return;
  }
  BigDecimal big(mantissa);
  int shift = 0;
  if (k >= 0) {
    int left = k;
    for (; left >= 32; left -= 32) big.MulSmall(uint64_t{1} << 32);
    if (left) big.MulSmall(uint64_t{1} << left);
  } else {
    int left = -k;
    for (; left >= 13; left -= 13) big.MulSmall(1220703125u);  // 5^13
    uint64_t rest = 1;
    for (; left > 0; --left) rest *= 5;
    big.MulSmall(rest);
    shift = k;
  }
  // Collect digits from the most significant limb down.
  int top = big.size - 1;
  int totalDigits = CountDigits(big.limb[top]) + 9 * top;
  int written = 0;
  char buf[16];
  for (int i = top; i >= 0 && written < count; --i) {
    uint32_t l = big.limb[i];
    int n = i == top ? CountDigits(l) : 9;
    for (int j = n - 1; j >= 0; --j) {
      buf[j] = static_cast<char>('0' + l % 10);
      l /= 10;
    }
    for (int j = 0; j < n && written < count; ++j) out.digits[written++] = buf[j];
  }
  while (written < count) out.digits[written++] = '0';
  out.exponent = totalDigits - 1 + shift;
}

}  // namespace rt
