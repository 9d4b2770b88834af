#include <cfenv>
#include <cmath>

#include "runtime/core/basic.h"
#include "runtime/core/numbers.h"
#include "test_host.h"

namespace rt::test {
namespace {

class NumbersTest : public RuntimeTest {};

TEST_F(NumbersTest, RoundToLongHalvesAwayFromZero) {
  EXPECT_EQ(RoundToLong(0.5), 1);
  EXPECT_EQ(RoundToLong(-0.5), -1);
  EXPECT_EQ(RoundToLong(2.5), 3);
  EXPECT_EQ(RoundToLong(-2.5), -3);
  EXPECT_EQ(RoundToLong(2.4999), 2);
  EXPECT_EQ(RoundToLong(0), 0);
  EXPECT_EQ(RoundToLong(2147483647.4), 2147483647);
  EXPECT_EQ(RoundToLong(-2147483648.4), -2147483647 - 1);
  EXPECT_EQ(RoundToInteger(32767.4), 32767);
  EXPECT_EQ(RoundToInteger(-1.5), -2);
  EXPECT_EQ(RoundToByte(254.5), 255);
}

TEST_F(NumbersTest, ConversionsOutOfRangeAreError6) {
  ExpectError([] { RoundToLong(2147483647.6); }, 6, 0xE401);
  ExpectError([] { RoundToLong(-2147483648.6); }, 6, 0xE401);
  ExpectError([] { RoundToLong(NAN); }, 6, 0xE401);
  ExpectError([] { RoundToInteger(32767.5); }, 6, 0xE301);
  ExpectError([] { RoundToByte(-1); }, 6, 0xF601);
  ExpectError([] { ToSingle(1e39); }, 6, 0xE501);
  ExpectError([] { ToDouble(INFINITY); }, 6, 0xE601);
  EXPECT_EQ(ToSingle(3.4028235e38), 3.4028235e38f);
}

TEST_F(NumbersTest, FloorValue) {
  EXPECT_EQ(FloorValue(-2.5), -3);
  EXPECT_EQ(FloorValue(2.5), 2);
  EXPECT_EQ(FloorValue(-3), -3);
}

TEST_F(NumbersTest, CheckFloatRaisesFromTheStatusFlags) {
  volatile double zero = 0, big = 1e308, tiny = 1e-308;
  ExpectError([&] { volatile double r = zero / zero; (void)r; CheckFloat(); }, 5, 0xE001);
  ExpectError([&] { volatile double r = 1 / zero; (void)r; CheckFloat(); }, 11, 0xE002);
  ExpectError([&] { volatile double r = big * 10; (void)r; CheckFloat(); }, 6, 0xE003);
  // Underflow and inexact results do not count, and the flags are cleared.
  volatile double r = tiny * tiny;
  (void)r;
  volatile double third = 1.0 / 3;
  (void)third;
  CheckFloat();
}

TEST_F(NumbersTest, FacadeArithmeticIsChecked) {
  using namespace basic;
  volatile double z = 0;
  Double zero{Value(z)};
  ExpectError([&] { Double q = Value(1) / zero; (void)q; }, 11, 0xE002);
  ExpectError([&] { Double q = zero / zero; (void)q; }, 5, 0xE001);
  // Storing a value too large for a single overflows on the store.
  ExpectError([&] { Single s = Value(1e300); (void)s; }, 6, 0xE003);
  Single a = 1.5, b = 2;
  Double c = a * b + 1;
  EXPECT_EQ(c.get(), 4);
}

}  // namespace
}  // namespace rt::test

#if defined(__x86_64__) && defined(__GNUC__)
// Where there are no status flags (WebAssembly) every operation is checked
// from its operands and result: for every pair of awkward operands and every
// operation, that must say exactly what the processor's flags say here.
TEST(ResultFlags, SayWhatTheStatusFlagsSay) {
  const double inf = INFINITY, big = 1.7976931348623157e308, tiny = 4.9e-324;
  const double values[] = {0.0, -0.0, 1.0, -1.0, 0.5, 3.0, big, -big, 1e308, 1e-308, tiny, -tiny,
                           3.4028234663852886e38, 3.5e38, -3.5e38, inf, -inf, NAN};
  for (double a : values) {
    for (double b : values) {
      for (char op : {'+', '-', '*', '/'}) {
        volatile double x = a, y = b;
        std::feclearexcept(FE_ALL_EXCEPT);
        double r = op == '+' ? x + y : op == '-' ? x - y : op == '*' ? x * y : x / y;
        volatile double keep = r;
        const unsigned flags = __builtin_ia32_stmxcsr() & 0x0D;
        std::feclearexcept(FE_ALL_EXCEPT);
        EXPECT_EQ(rt::ResultFlags(a, b, keep, op == '/' && b == 0), flags) << a << ' ' << op << ' ' << b;
      }
      // Stored in single precision.
      volatile double v = a;
      std::feclearexcept(FE_ALL_EXCEPT);
      volatile float f = static_cast<float>(v);
      const unsigned flags = __builtin_ia32_stmxcsr() & 0x08;
      std::feclearexcept(FE_ALL_EXCEPT);
      EXPECT_EQ(rt::SingleFlags(a, f), flags) << a;
    }
  }
}
#endif
