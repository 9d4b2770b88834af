#include <cstring>
#include <string>

#include "runtime/core/basic.h"
#include "runtime/core/strings.h"
#include "test_host.h"

namespace rt::test {
namespace {

using basic::Len;
using basic::Mid;
using basic::Str;
using basic::StrExpr;

class StringsTest : public RuntimeTest {};

std::string MidOf(const char* s, uint32_t start, uint32_t count) {
  PushStringConst(s, static_cast<uint32_t>(std::strlen(s)));
  rt::Mid(start, count);
  return PopBytes();
}

TEST_F(StringsTest, MidEdgeCases) {
  EXPECT_EQ(MidOf("abc", 4, 1), "");
  EXPECT_EQ(MidOf("abc", 9, 1), "");
  EXPECT_EQ(MidOf("abc", 2, 1), "b");
  EXPECT_EQ(MidOf("abc", 2, 2147483647), "bc");
  EXPECT_EQ(MidOf("a", 2, 2147483647), "");
  EXPECT_EQ(MidOf("abc", 1, 0), "");
  EXPECT_EQ(MidOf("", 1, 5), "");
  ExpectError([] { MidOf("abc", 0, 1); }, 5, 0x9A01);
  ExpectError([] { MidOf("abc", 0x80000000u, 1); }, 5, 0x9A01);
  ExpectError([] { MidOf("abc", 1, 0x80000000u); }, 5, 0x9A01);
  EXPECT_EQ(StringStackDepth(), 0);
}

TEST_F(StringsTest, CompareByUnsignedBytes) {
  auto cmp = [](std::string a, std::string b) {
    PushStringConst(a.data(), static_cast<uint32_t>(a.size()));
    PushStringConst(b.data(), static_cast<uint32_t>(b.size()));
    return CompareStrings();
  };
  EXPECT_EQ(cmp("", ""), 0);
  EXPECT_EQ(cmp("", "a"), 2);
  EXPECT_EQ(cmp("a", ""), 1);
  EXPECT_EQ(cmp("ab", "abc"), 2);
  EXPECT_EQ(cmp("abc", "ab"), 1);
  EXPECT_EQ(cmp("abc", "abc"), 0);
  EXPECT_EQ(cmp("\x82\xa0", "z"), 1);  // a Shift-JIS lead byte sorts after z
  EXPECT_EQ(cmp("z", "\x82\xa0"), 2);
  EXPECT_EQ(GetHeapInfo().liveBlocks, 0u);  // temporaries were released
}

TEST_F(StringsTest, LenCountsBytes) {
  std::string sjis = Cp932("数式展開");
  PushStringConst(sjis.data(), static_cast<uint32_t>(sjis.size()));
  EXPECT_EQ(rt::Len(), 8);
}

TEST_F(StringsTest, StringStackHoldsEightyFivePendingValues) {
  for (int i = 0; i < 85; ++i) PushStringConst("x", 1);
  EXPECT_EQ(StringStackDepth(), 85);
  ExpectError([] { PushStringConst("x", 1); }, 16, 0xC501);
  // Raising the error released the temporaries and emptied the stack.
  EXPECT_EQ(StringStackDepth(), 0);
  EXPECT_EQ(GetHeapInfo().liveBlocks, 0u);
}

TEST_F(StringsTest, SelfAssignmentAndDoublingKeepTheText) {
  Str a;
  a = "abc";
  a = a;
  EXPECT_EQ(a.view(), "abc");
  a = StrExpr(a);
  EXPECT_EQ(a.view(), "abc");
  // Doubling a long string, with the heap growing under the operands.
  a = std::string(200000, 'q').c_str();
  for (int i = 0; i < 4; ++i) a = a + a;
  EXPECT_EQ(a.view().size(), 3200000u);
  EXPECT_EQ(a.view().find_first_not_of('q'), std::string_view::npos);
  EXPECT_EQ(GetHeapInfo().liveBlocks, 1u);
}

TEST_F(StringsTest, ExpressionsKeepSourceOrder) {
  Str a, b;
  a = "left";
  b = "right";
  Str c;
  c = Mid(a, 1, 2) + Mid(b, 1, 2);
  EXPECT_EQ(c.view(), "leri");
  c = StrExpr("<") + a + ">" + b;
  EXPECT_EQ(c.view(), "<left>right");
  EXPECT_TRUE(a == "left");
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(Mid(b, 2, 2147483647) != "right");
  EXPECT_EQ(Len(c).get(), 11);
  EXPECT_EQ(StringStackDepth(), 0);
}

TEST_F(StringsTest, MillionAssignmentsStayInBoundedMemory) {
  Str keep, s;
  keep = "kept text survives every compaction";
  for (int i = 0; i < 1000000; ++i) {
    s = basic::StrSng(i % 1000) + "-abcdefghij";
  }
  HeapInfo info = GetHeapInfo();
  EXPECT_LE(info.units, 2u);
  EXPECT_GT(info.compactions, 10u);
  EXPECT_EQ(info.liveBlocks, 2u);
  EXPECT_EQ(keep.view(), "kept text survives every compaction");
  EXPECT_EQ(s.view(), " 999-abcdefghij");
}

// The heap grows by whole 256 KiB units as live strings need them, and a
// compaction gives back the units its live blocks no longer use.
TEST_F(StringsTest, HeapUnitsGrowAndShrinkWithTheLiveStrings) {
  Str small, big[4];
  small = "ten bytes!";
  EXPECT_EQ(GetHeapInfo().units, 1u);
  const std::string block(200000, 'b');
  const size_t unitsAfter[4] = {1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) {
    big[i] = StrExpr(block);
    EXPECT_EQ(GetHeapInfo().units, unitsAfter[i]) << i;
  }
  EXPECT_GT(GetHeapInfo().used, 3 * kHeapUnit);
  const size_t compactions = GetHeapInfo().compactions;
  for (Str& b : big) b.Clear();
  Str last;
  last = StrExpr(std::string(260000, 'L'));  // fits only once the free blocks are gone
  HeapInfo info = GetHeapInfo();
  EXPECT_EQ(info.compactions, compactions + 1);
  EXPECT_EQ(info.units, 1u);
  EXPECT_GT(info.used, 260000u);
  EXPECT_LT(info.used, kHeapUnit);  // the two live blocks, moved to the start
  EXPECT_EQ(info.liveBlocks, 2u);
  EXPECT_EQ(small.view(), "ten bytes!");  // moved, its owner updated
  EXPECT_EQ(last.view(), std::string(260000, 'L'));
}

TEST_F(StringsTest, ConcatenationTooLongIsError15) {
  // A string of the maximum length is built from a constant record, without
  // allocating it: only the length takes part in the check.
  StringValue huge{kStringConst, {}, kMaxStringLength, nullptr};
  static char byte = 'x';
  huge.data = &byte;
  ExpectError([&] {
    PushStringVar(huge);
    PushStringConst("y", 1);
    Concat();
  }, 15, 0xC401);
  // A length beyond the limit must not wrap the check around.
  StringValue beyond{kStringConst, {}, 0xFFFFFFFFu, &byte};
  ExpectError([&] {
    PushStringVar(beyond);
    PushStringConst("y", 1);
    Concat();
  }, 15, 0xC401);
  // Bytes from outside (a file's item) longer than any string: error 15,
  // before anything is read or copied.
  const std::string_view tooLong(&byte, size_t{kMaxStringLength} + 1);
  Str s;
  ExpectError([&] { AssignBytes(s.value(), tooLong); }, 15, 0xC504);
  ExpectError([&] { PushBytes(tooLong); }, 15, 0xC504);
  EXPECT_EQ(StringStackDepth(), 0);
}

TEST_F(StringsTest, FixedLengthTargetsAreError13) {
  char text[4] = {' ', ' ', ' ', ' '};
  StringValue fixed{kStringFixedVar2, {}, 4, text};
  ExpectError([&] { AssignConst(fixed, "ab", 2); }, 13, 0xC001);
  ExpectError([&] { ClearString(fixed); }, 13, 0xC101);
  ExpectError([&] { PushStringConst("ab", 2); AssignPop(fixed); }, 13, 0xC201);
  StringValue source{};
  ExpectError([&] { AssignVar(fixed, source); }, 13, 0xC301);
}

}  // namespace
}  // namespace rt::test
