#include <cfenv>
#include <cmath>
#include <limits>
#include <string>

#include "runtime/core/number_scan.h"
#include "runtime/core/strings.h"
#include "test_host.h"

namespace rt::test {
namespace {

struct Scanned {
  ScanStatus status;
  double value;
  int size;
  size_t end;
};

Scanned Scan(std::string_view t, WantedType w = WantedType::Auto) {
  ScanResult r = ScanNumber(t, 0, w);
  return {r.status, r.value, r.sizeCode, r.end};
}

TEST(ScanNumber, ChoosesTheTypeByForm) {
  struct Case {
    const char* text;
    double value;
    int size;
  } cases[] = {
      {"12", 12, kSizeInteger},
      {"-32768", -32768, kSizeInteger},
      {"32768", 32768, kSizeLong},
      {"3.0", 3, kSizeInteger},
      {"2147483647", 2147483647.0, kSizeLong},
      {"2147483648", 2147483648.0, kSizeDouble},  // 10 digits: double class
      {"1.5", 1.5, kSizeSingle},
      {"0.1", static_cast<double>(0.1f), kSizeSingle},
      {"0.1000000", static_cast<double>(0.1f), kSizeSingle},  // seven significant digits written
      {"1.234567", static_cast<double>(1.234567f), kSizeSingle},
      {"0.10000000", 0.1, kSizeDouble},  // eight significant digits written
      {"1.2345678", 1.2345678, kSizeDouble},
      {"1E3", 1000, kSizeSingle},
      {"1D3", 1000, kSizeDouble},
      {"1e3", 1000, kSizeSingle},
      {"2.5d-1", 0.25, kSizeDouble},
      {"7!", 7, kSizeSingle},
      {"7#", 7, kSizeDouble},
      {"7%", 7, kSizeInteger},
      {"70000&", 70000, kSizeLong},
      {"1.5&", 1.5, kSizeDouble},
      {"1 2", 12, kSizeInteger},  // blanks between characters are skipped
      {"  -.5", -0.5, kSizeSingle},
      {"1234567.5", 1234567.5, kSizeDouble},
  };
  for (const Case& c : cases) {
    Scanned s = Scan(c.text);
    EXPECT_EQ(s.status, ScanStatus::Ok) << c.text;
    EXPECT_EQ(s.value, c.value) << c.text;
    EXPECT_EQ(s.size, c.size) << c.text;
  }
}

TEST(ScanNumber, LimitsAndPositions) {
  // 28 significant digits; later integer digits only move the exponent.
  Scanned s = Scan("12345678901234567890123456789");
  EXPECT_EQ(s.status, ScanStatus::Ok);
  EXPECT_EQ(s.value, 12345678901234567890123456780.0);
  EXPECT_EQ(Scan("1E511", WantedType::Auto).status, ScanStatus::Overflow);  // single range
  EXPECT_EQ(Scan("1D512").status, ScanStatus::Overflow);
  EXPECT_EQ(Scan("1D-512").value, 0);
  EXPECT_EQ(Scan("1D-512").status, ScanStatus::Ok);
  EXPECT_EQ(Scan("1D308").status, ScanStatus::Ok);
  EXPECT_EQ(Scan("1D309").status, ScanStatus::Overflow);
  // An exponent letter after a blank is not an exponent.
  s = Scan("1 E3");
  EXPECT_EQ(s.value, 1);
  EXPECT_EQ(s.end, 1u);
  EXPECT_EQ(Scan("12abc").end, 2u);
  EXPECT_EQ(Scan("abc").status, ScanStatus::NoNumber);
  EXPECT_EQ(Scan("-").status, ScanStatus::NoNumber);
  // Wanted types store directly; integers round to nearest even.
  EXPECT_EQ(Scan("2.5", WantedType::Integer).value, 2);
  EXPECT_EQ(Scan("3.5", WantedType::Integer).value, 4);
  EXPECT_EQ(Scan("32768", WantedType::Integer).status, ScanStatus::Overflow);
  EXPECT_EQ(Scan("256", WantedType::Byte).status, ScanStatus::Overflow);
  EXPECT_EQ(Scan("0.1", WantedType::Double).value, 0.1);
  EXPECT_EQ(Scan("3.5E38", WantedType::Single).status, ScanStatus::Overflow);
}

// The largest double prints as 1.79769313486232D+308, which is above it: that
// text (and anything up to it) reads back as the largest double, so a saved
// file reads back; anything beyond it overflows.
TEST(ScanNumber, ThePrintedLargestDoubleReadsBack) {
  const double max = std::numeric_limits<double>::max();
  EXPECT_EQ(Scan("1.79769313486232D+308").value, max);
  EXPECT_EQ(Scan("-1.79769313486232D+308").value, -max);
  EXPECT_EQ(Scan("1.79769313486232D+308", WantedType::Double).value, max);
  EXPECT_EQ(Scan("1.7976931348623157D+308").value, max);
  EXPECT_EQ(Scan("1.797693134862319999D+308").value, max);
  EXPECT_EQ(Scan("1.79769313486232000001D+308").status, ScanStatus::Overflow);
  EXPECT_EQ(Scan("1.79769313486233D+308").status, ScanStatus::Overflow);
  EXPECT_EQ(Scan("1.8D+308").status, ScanStatus::Overflow);
  EXPECT_EQ(Scan("1D309").status, ScanStatus::Overflow);
}

TEST(ScanRadix, HexAndOctalInTheWantedType) {
  EXPECT_EQ(ScanRadix("&H1F", 0).value, 31);
  EXPECT_EQ(ScanRadix("&hff", 0).value, 255);
  EXPECT_EQ(ScanRadix("&O17", 0).value, 15);
  EXPECT_EQ(ScanRadix("&O18", 0).end, 3u);  // 8 is not an octal digit
  EXPECT_EQ(ScanRadix("&X1", 0).status, ScanStatus::NoNumber);
  EXPECT_EQ(ScanRadix("&HZ", 0).end, 2u);  // no digit: 0, nothing consumed after the prefix
  EXPECT_EQ(ScanRadix("&H7FFF", 0, WantedType::Integer).status, ScanStatus::Ok);
  EXPECT_EQ(ScanRadix("&H10000", 0, WantedType::Integer).status, ScanStatus::Overflow);
  EXPECT_EQ(ScanRadix("&H100", 0, WantedType::Byte).status, ScanStatus::Overflow);
  EXPECT_EQ(ScanRadix("&H" + std::string(44, 'F'), 0, WantedType::Single).status, ScanStatus::Overflow);
  EXPECT_EQ(ScanRadix("&H" + std::string(44, 'F'), 0, WantedType::Double).status, ScanStatus::Ok);
  EXPECT_EQ(ScanRadix("&H" + std::string(300, 'F'), 0).status, ScanStatus::Overflow);
}

// A scan that overflows reports it through its status; the floating-point
// status flags must be as before, or a later checked operation would raise
// error 6 at a line that has nothing to do with it.
TEST(ScanNumber, LeavesNoFloatingPointStatusBehind) {
  struct Case {
    std::string text;
    WantedType wanted;
  } cases[] = {
      {"1e39", WantedType::Single},  {"1e39", WantedType::Auto},   {"1D400", WantedType::Double},
      {"1D308", WantedType::Single}, {"1e-50", WantedType::Single}, {"70000", WantedType::Integer},
      {"&H" + std::string(44, 'F'), WantedType::Single},           {"&H" + std::string(300, 'F'), WantedType::Double},
  };
  for (const Case& c : cases) {
    std::feclearexcept(FE_ALL_EXCEPT);
    if (c.text[0] == '&') ScanRadix(c.text, 0, c.wanted);
    else ScanNumber(c.text, 0, c.wanted);
    EXPECT_EQ(std::fetestexcept(FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO | FE_UNDERFLOW), 0) << c.text;
  }
  // Flags raised before the scan stay for the check that follows it.
  std::feclearexcept(FE_ALL_EXCEPT);
  std::feraiseexcept(FE_DIVBYZERO);
  ScanNumber("1e39", 0, WantedType::Single);
  EXPECT_NE(std::fetestexcept(FE_DIVBYZERO), 0);
  std::feclearexcept(FE_ALL_EXCEPT);
}

class ValTest : public RuntimeTest {};

TEST_F(ValTest, Examples) {
  EXPECT_EQ(ValOf(" -12"), -12);
  EXPECT_EQ(ValOf("1E3"), 1000);
  EXPECT_EQ(ValOf("1D3"), 1000);
  EXPECT_EQ(ValOf("&H1F"), 31);
  EXPECT_EQ(ValOf("&o10"), 8);
  EXPECT_EQ(ValOf("&HZ"), 0);
  EXPECT_EQ(ValOf("&H"), 0);
  EXPECT_EQ(ValOf("+a"), 0);
  EXPECT_EQ(ValOf("1 2"), 1);  // the number ends at the first blank
  EXPECT_EQ(ValOf("12abc"), 12);
  EXPECT_EQ(ValOf(""), 0);
  EXPECT_EQ(ValOf("   "), 0);
  EXPECT_EQ(ValOf(".5"), 0.5);
  EXPECT_EQ(ValOf("-.5"), -0.5);
  EXPECT_EQ(ValOf("X2"), 0);
  EXPECT_EQ(ValOf("0.1"), static_cast<double>(0.1f));
  EXPECT_EQ(ValOf("0.10000000"), 0.1);
  EXPECT_EQ(ValOf("26a2b1"), 26);
}

TEST_F(ValTest, PopsItsArgumentAndOverflowIsError6) {
  PushStringConst("42", 2);
  EXPECT_EQ(Val(), 42);
  EXPECT_EQ(StringStackDepth(), 0);
  ExpectError([] { ValOf("1D400"); }, 6, 0x9F01);
}

}  // namespace
}  // namespace rt::test
