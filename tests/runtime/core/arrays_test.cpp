#include <cstdio>

#include "runtime/core/arrays.h"
#include "runtime/core/basic.h"
#include "test_host.h"

namespace rt::test {
namespace {

using basic::Array;
using basic::Double;
using basic::Single;
using basic::Str;

class ArraysTest : public RuntimeTest {};

TEST_F(ArraysTest, DimGivesUpperBoundPlusOneElements) {
  Array<Double, 1> a;
  a.Dim(26);
  a(26) = 7;
  EXPECT_EQ(a(26).get(), 7);
  EXPECT_EQ(a(0).get(), 0);
  ExpectError([&] { a(27); }, 9, 0xBF02);
  ExpectError([&] { a(-1); }, 9, 0xBF02);  // negative subscripts fail as unsigned
}

TEST_F(ArraysTest, ColumnMajorLayout) {
  Array<Double, 2> b;
  b.Dim(2, 3);
  EXPECT_EQ(&b(1, 0), &b(0, 0) + 1);
  EXPECT_EQ(&b(0, 1), &b(2, 0) + 1);
  Array<Single, 3> c;
  c.Dim(1, 2, 3);
  // (i0, i1, i2) at i0 + 2 * (i1 + 3 * i2)
  EXPECT_EQ(&c(1, 2, 3), &c(0, 0, 0) + (1 + 2 * (2 + 3 * 3)));
  ExpectError([&] { c(2, 0, 0); }, 9, 0xBF03);
  ExpectError([&] { c(0, 3, 0); }, 9, 0xBF03);
  ExpectError([&] { c(0, 0, 4); }, 9, 0xBF02);
}

// The run-time's own address computation (the facade inlines the common
// case): strides come from each dimension's own count, which only bounds
// that differ from one another show.
TEST_F(ArraysTest, ElementAddressWithUnequalBounds) {
  ArrayDescriptor d;
  ArrayBounds b;
  DimArray({kTypeDouble, 2, 8, &d, &b, {2, 3}});
  auto at = [&](uint32_t i, uint32_t j) {
    return static_cast<double*>(ElementAddress({kTypeDouble, 2, 8, &d, &b, {i, j}}));
  };
  double* base = static_cast<double*>(d.data);
  EXPECT_EQ(at(1, 0), base + 1);
  EXPECT_EQ(at(0, 1), at(2, 0) + 1);
  EXPECT_EQ(at(2, 3), base + 11);  // the last of 3 x 4 elements
  ExpectError([&] { at(3, 0); }, 9, 0xBF03);
  ExpectError([&] { at(0, 4); }, 9, 0xBF02);
  ArrayDescriptor d3;
  ArrayBounds b3;
  DimArray({kTypeSingle, 3, 4, &d3, &b3, {4, 1, 2}});
  float* base3 = static_cast<float*>(d3.data);
  EXPECT_EQ(static_cast<float*>(ElementAddress({kTypeSingle, 3, 4, &d3, &b3, {3, 1, 2}})),
            base3 + (3 + 5 * (1 + 2 * 2)));
  ExpectError([&] { ElementAddress({kTypeSingle, 3, 4, &d3, &b3, {0, 2, 0}}); }, 9, 0xBF03);
  DiscardArray(d);
  DiscardArray(d3);
}

TEST_F(ArraysTest, AutomaticDimGivesElevenPerDimension) {
  Array<Single, 2> a;
  a(10, 10) = 3;
  EXPECT_TRUE(a.dimensioned());
  EXPECT_EQ(a(10, 10).get(), 3);
  ExpectError([&] { a(11, 0); }, 9, 0xBF03);
  ExpectError([&] { a(0, 11); }, 9, 0xBF02);
}

TEST_F(ArraysTest, DimTwiceEraseAndDimAgain) {
  Array<Double, 1> a;
  Array<Str, 1> s;
  a.Dim(5);
  s.Dim(3);
  a(5) = 9;
  s(2) = "text";
  ExpectError([&] { a.Dim(5); }, 10, 0x1002);
  EXPECT_EQ(RegisteredArrayCount(), 2u);
  basic::Erase(a, s);
  EXPECT_EQ(RegisteredArrayCount(), 0u);
  EXPECT_FALSE(a.dimensioned());
  a.Dim(8);
  s.Dim(3);
  EXPECT_EQ(a(5).get(), 0);
  EXPECT_EQ(s(2).view(), "");
  ExpectError([&] {
    Array<Double, 1> never;
    basic::Erase(never);
  }, 5, 0x8302);
}

TEST_F(ArraysTest, BoundsAndSizeLimits) {
  Array<Double, 1> a;
  ExpectError([&] { a.Dim(-1); }, 5, 0x1003);
  ArrayDescriptor d;
  ArrayBounds b;
  DimRequest q{kTypeDouble, 1, 8, &d, &b, {0x7FFFFFFFu}};
  ExpectError([&] { DimArray(q); }, 5, 0x1003);
  // 2^16 x 2^16 elements overflow the 32-bit element count.
  DimRequest big{kTypeDouble, 2, 8, &d, &b, {65535, 65535}};
  ExpectError([&] { DimArray(big); }, 9, 0xC701);
  DimRequest bytes{kTypeDouble, 1, 8, &d, &b, {0x20000000u}};
  ExpectError([&] { DimArray(bytes); }, 9, 0xC702);
  DimRequest over{kTypeDouble, 1, 8, &d, &b, {0x10000000u}};
  ExpectError([&] { DimArray(over); }, 9, 0xC703);
  EXPECT_EQ(RegisteredArrayCount(), 0u);  // failed DIMs leave no entry
  EXPECT_EQ(d.data, nullptr);
}

TEST_F(ArraysTest, StringElementsOwnTheirText) {
  Array<Str, 2> s;
  s.Dim(3, 3);
  for (int i = 0; i <= 3; ++i)
    for (int j = 0; j <= 3; ++j) s(i, j) = basic::StrSng(i * 10 + j);
  EXPECT_EQ(s(3, 2).view(), " 32");
  basic::Erase(s);
  EXPECT_EQ(GetHeapInfo().liveBlocks, 0u);
}

// A large string array costs nothing until it is used (polymul asked for
// 100,000,000 file names dimensions one before its first question), and
// ERASE gives back the strings of the used elements only.
TEST_F(ArraysTest, ALargeStringArrayTakesMemoryOnlyWhereUsed) {
  auto residentKb = [] {
    long kb = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      long pages = 0, resident = 0;
      if (std::fscanf(f, "%ld %ld", &pages, &resident) == 2) kb = resident * 4;
      std::fclose(f);
    }
    return kb;
  };
  const long before = residentKb();
  Array<Str, 1> names;
  names.Dim(20000000);  // 320 MB of string records
  names(12345678) = "used";
  names(0) = "first";
  EXPECT_EQ(names(12345678).view(), "used");
  EXPECT_EQ(names(19999999).view(), "");
  EXPECT_LT(residentKb() - before, 64 * 1024);
  basic::Erase(names);
  EXPECT_EQ(GetHeapInfo().liveBlocks, 0u);
}

}  // namespace
}  // namespace rt::test
