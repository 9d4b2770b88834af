#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "runtime/core/basic.h"
#include "runtime/core/number_format.h"
#include "runtime/core/strings.h"
#include "test_host.h"

namespace rt::test {
namespace {

std::string Fs(float v) { return FormatNumber(v, Precision::Single, kSignBlank); }
std::string Fd(double v) { return FormatNumber(v, Precision::Double, kSignBlank); }

TEST(FormatNumber, ExampleTable) {
  EXPECT_EQ(Fs(5), " 5");
  EXPECT_EQ(Fs(-3), "-3");
  EXPECT_EQ(Fs(0.5f), " .5");
  EXPECT_EQ(Fs(1.5f), " 1.5");
  EXPECT_EQ(Fs(123456), " 123456");
  EXPECT_EQ(Fs(1234567), " 1.23457E+06");
  EXPECT_EQ(Fs(1000000), " 1E+06");
  EXPECT_EQ(Fs(0.000001f), " .000001");
  EXPECT_EQ(Fs(0.0000123f), " 1.23E-05");
  EXPECT_EQ(Fs(1.0f / 3.0f), " .333333");
  EXPECT_EQ(Fd(1.0 / 3.0), " .333333333333333");
  EXPECT_EQ(Fd(1e15), " 1D+015");
  EXPECT_EQ(Fd(2147483647.0), " 2147483647");
}

TEST(FormatNumber, RoundingCarriesAndEdgeForms) {
  EXPECT_EQ(Fs(999999), " 999999");
  EXPECT_EQ(Fs(9999995), " 1E+07");  // the carry makes a new leading digit
  EXPECT_EQ(Fs(0), " 0");
  EXPECT_EQ(Fs(-0.5f), "-.5");
  EXPECT_EQ(Fs(100000000), " 1E+08");
  EXPECT_EQ(Fd(123456789012345.0), " 123456789012345");
  EXPECT_EQ(Fd(1234567890123456.0), " 1.23456789012346D+015");
  EXPECT_EQ(Fd(999999999999999.0), " 999999999999999");
  EXPECT_EQ(Fd(9999999999999999.0), " 1D+016");
  // A tie in the exact expansion rounds up (1234565 is exact in single).
  EXPECT_EQ(Fs(1234565), " 1.23457E+06");
  EXPECT_EQ(Fs(0.1f), " .1");
  EXPECT_EQ(Fd(0.1), " .1");
  EXPECT_EQ(Fd(1e-300), " 1D-300");
  EXPECT_EQ(Fd(1.7976931348623157e308), " 1.79769313486232D+308");
  EXPECT_EQ(Fd(4.9406564584124654e-324), " 4.94065645841247D-324");
  EXPECT_EQ(Fs(1e-45f), " 1.4013E-45");
  EXPECT_EQ(Fs(3.4028235e38f), " 3.40282E+38");
  EXPECT_EQ(Fs(100), " 100");
  EXPECT_EQ(Fs(0.01f), " .01");
  EXPECT_EQ(Fs(-123.25f), "-123.25");
  // Sign modes.
  EXPECT_EQ(FormatNumber(5, Precision::Single, kSignAlways), "+5");
  EXPECT_EQ(FormatNumber(-5, Precision::Single, kSignAlways), "-5");
  EXPECT_EQ(FormatNumber(5, Precision::Single, kSignNegative), "5");
}

TEST(FormatNumber, InfinitiesAndNaNsHaveTextsAndReturn) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Fd(inf), " INF");
  EXPECT_EQ(Fd(-inf), "-INF");
  EXPECT_EQ(Fs(std::numeric_limits<float>::infinity()), " INF");
  EXPECT_EQ(Fd(std::numeric_limits<double>::quiet_NaN()), " NAN");
  EXPECT_EQ(FormatNumber(-inf, Precision::Double, kSignNegative), "-INF");
  EXPECT_EQ(FormatNumber(inf, Precision::Single, kSignAlways), "+INF");
  EXPECT_EQ(FormatNumber(-5, Precision::Single, kSignNegative), "-5");
  EXPECT_EQ(FormatNumber(0, Precision::Single, kSignAlways), "0");
  EXPECT_EQ(FormatNumber(0, Precision::Double, kSignNegative), "0");
}

// The expected text computed from glibc's exact decimal expansion, with the
// rounding and form rules applied independently.
std::string Reference(double v, bool single) {
  if (v == 0) return " 0";
  const int p = single ? 6 : 15;
  char buf[1024];
  std::snprintf(buf, sizeof buf, "%.800e", std::fabs(v));  // exact for any double
  std::string digits;
  digits += buf[0];
  const char* q = buf + 2;
  while (*q != 'e') digits += *q++;
  int e = std::atoi(q + 1);
  std::string kept = digits.substr(0, p);
  if (digits[p] >= '5') {
    int i = p - 1;
    while (i >= 0 && kept[i] == '9') kept[i--] = '0';
    if (i < 0) {
      kept = "1" + std::string(p - 1, '0');
      ++e;
    } else {
      ++kept[i];
    }
  }
  while (kept.size() > 1 && kept.back() == '0') kept.pop_back();
  const int n = static_cast<int>(kept.size());
  std::string out = v < 0 ? "-" : " ";
  if (e >= 0 && e < p) {
    std::string whole = kept.substr(0, std::min(n, e + 1));
    whole.resize(e + 1, '0');
    out += whole;
    if (n > e + 1) out += "." + kept.substr(e + 1);
  } else if (e < 0 && (-e - 1) + n <= p) {
    out += "." + std::string(-e - 1, '0') + kept;
  } else {
    out += kept.substr(0, 1);
    if (n > 1) out += "." + kept.substr(1);
    char exp[16];
    if (single) std::snprintf(exp, sizeof exp, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
    else std::snprintf(exp, sizeof exp, "D%c%03d", e < 0 ? '-' : '+', std::abs(e));
    out += exp;
  }
  return out;
}

TEST(FormatNumber, AgreesWithExactExpansionForRandomValues) {
  std::mt19937_64 rng(20261208);
  int compared = 0;
  for (int i = 0; i < 60000; ++i) {
    uint64_t bits = rng();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (!std::isfinite(d)) continue;
    ASSERT_EQ(Fd(d), Reference(d, false)) << std::hexfloat << d;
    ++compared;
  }
  for (int i = 0; i < 60000; ++i) {
    uint32_t bits = static_cast<uint32_t>(rng());
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (!std::isfinite(f)) continue;
    ASSERT_EQ(Fs(f), Reference(f, true)) << std::hexfloat << f;
    ++compared;
  }
  // Whole numbers and short decimals, where ties and carries are common.
  for (int i = 0; i < 20000; ++i) {
    double d = static_cast<double>(rng() % 100000000000000000ull) / std::pow(10.0, rng() % 20);
    ASSERT_EQ(Fd(d), Reference(d, false)) << d;
    float f = static_cast<float>(rng() % 100000000) / static_cast<float>(std::pow(10.0, rng() % 12));
    ASSERT_EQ(Fs(f), Reference(f, true)) << f;
    compared += 2;
  }
  EXPECT_GE(compared, 100000);
}

class StrFunctions : public RuntimeTest {};

TEST_F(StrFunctions, StrPushesTextWithoutTrailingBlank) {
  StrSingle(5);
  EXPECT_EQ(PopBytes(), " 5");
  StrDouble(-0.25);
  EXPECT_EQ(PopBytes(), "-.25");
  StrInteger(-32768);
  EXPECT_EQ(PopBytes(), "-32768");
  EXPECT_EQ(StringStackDepth(), 0);
  // STR$ of a single narrows a double value as a store into a single does.
  ExpectError([] { (void)basic::StrSng(1e300); }, 6, 0xE501);
  EXPECT_EQ(StringStackDepth(), 0);
}

}  // namespace
}  // namespace rt::test
