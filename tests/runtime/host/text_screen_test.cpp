#include "runtime/host/text_screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "runtime/core/test_host.h"

namespace host {
namespace {

using rt::test::Cp932;

std::string Row(const TextScreen& s, int row) {
  return std::string(reinterpret_cast<const char*>(s.RowChars(row)), s.Columns());
}
std::string Trimmed(const TextScreen& s, int row) {
  std::string r = Row(s, row);
  return r.substr(0, r.find_last_not_of(' ') + 1);
}

TEST(TextScreen, EightyCharactersWrapAndLineEnds) {
  TextScreen s;
  s.Write(std::string(80, 'x'));
  EXPECT_EQ(s.CursorColumn(), 0);
  EXPECT_EQ(s.CursorRow(), 1);
  s.Write("\r\n");
  EXPECT_EQ(s.CursorRow(), 2);  // an empty line follows
  s.Write("ab\ncd");  // LF alone keeps the column
  EXPECT_EQ(Trimmed(s, 2), "ab");
  EXPECT_EQ(Trimmed(s, 3), "  cd");
  s.Write("\rZ");  // CR alone returns to column 0 of the same line
  EXPECT_EQ(Trimmed(s, 3), "Z cd");
}

TEST(TextScreen, DoubleByteCharacterNeverStraddlesTheEdge) {
  TextScreen s;
  std::string a = Cp932("あ");
  s.Write(std::string(79, 'x') + a + "y");
  EXPECT_EQ(Row(s, 0).substr(79), " ");
  EXPECT_EQ(Trimmed(s, 1), a + "y");
  // Also when the character ends a write exactly at the last column.
  TextScreen t;
  t.Write(std::string(79, 'x') + a);
  EXPECT_EQ(Row(t, 0).substr(79), " ");
  EXPECT_EQ(Trimmed(t, 1), a);
}

TEST(TextScreen, LeadAndTrailInTwoWritesDrawOneCharacter) {
  TextScreen s;
  std::string drawn;
  s.SetDrawObserver([&](const char* b, size_t n) { drawn.append(b, n); });
  std::string a = Cp932("あ");
  s.Write(std::string("x").append(a, 0, 1));
  EXPECT_EQ(drawn, "x");  // the lead byte waits for its trail byte
  s.Write(a.substr(1) + "y");
  EXPECT_EQ(drawn, "x" + a + "y");
  EXPECT_EQ(Trimmed(s, 0), "x" + a + "y");
  EXPECT_EQ(s.CursorColumn(), 4);
  // When the cursor moved in between, the lead byte is forgotten.
  s.Write(a.substr(0, 1));
  s.SetCursorPos(0, 5);
  s.Write("q");
  EXPECT_EQ(Trimmed(s, 5), "q");
}

TEST(TextScreen, ScrollsPastTheLastLine) {
  TextScreen s;
  for (int i = 0; i < 25; ++i) s.Write("line" + std::to_string(i) + "\r\n");
  EXPECT_EQ(Trimmed(s, 0), "line2");  // lines 0 and 1 scrolled away
  EXPECT_EQ(Trimmed(s, 22), "line24");
  EXPECT_EQ(s.CursorRow(), 23);
  EXPECT_TRUE(s.state().hasScrolled);
}

// The row that scrolls in at the bottom is blank, in the current colours,
// however the rows are kept (a recycled row must not bring its old text).
TEST(TextScreen, TheRowThatScrollsInIsBlank) {
  TextScreen s;
  for (int i = 0; i < 24; ++i) s.Write(std::string(i == 23 ? 79 : 80, static_cast<char>('A' + i)));
  EXPECT_EQ(s.CursorRow(), 23);
  s.SetColors(12, 0, 0, 4, 1);
  s.Write("\r\n");
  EXPECT_EQ(Trimmed(s, 22), std::string(79, 'X'));
  EXPECT_EQ(Row(s, 23), std::string(80, ' '));
  for (int c = 0; c < 80; ++c) {
    EXPECT_EQ(s.RowColors(23)[c], 12) << c;
    EXPECT_EQ(s.RowAttributes(23)[c], s.state().attribute) << c;
  }
  s.Write("new");
  EXPECT_EQ(Row(s, 23), "new" + std::string(77, ' '));
}

// A grid one column wide can never hold a double-byte character: it takes
// its line as a blank, and the write goes on (it used to loop for ever).
TEST(TextScreen, DoubleByteCharacterOnAOneColumnGrid) {
  TextScreen s;
  s.SetGrid(1, 4);
  s.Write(Cp932("あ") + "b" + Cp932("い"));
  EXPECT_EQ(Row(s, 0), " ");
  EXPECT_EQ(Row(s, 1), "b");
  EXPECT_EQ(Row(s, 2), " ");
  EXPECT_EQ(s.CursorRow(), 3);
}

// Long runs written in one step leave exactly what writing them line by line
// leaves: every cell of every plane, the cursor, the flags and the bytes the
// display is given, on random grids, positions, colours and runs.
TEST(TextScreen, LongRunsInOneStepMatchLineByLine) {
  std::mt19937 rng(20261209);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const std::string a = Cp932("あ");
  for (int round = 0; round < 300; ++round) {
    TextScreen fast, slow;
    std::string drawnFast, drawnSlow;
    fast.SetDrawObserver([&](const char* b, size_t n) { drawnFast.append(b, n); });
    slow.SetDrawObserver([&](const char* b, size_t n) { drawnSlow.append(b, n); });
    slow.SetLongRunsInOneStep(false);
    const int columns = 1 + pick(round % 3 == 0 ? 132 : 8), rows = 1 + pick(round % 4 == 0 ? 124 : 6);
    const std::string fill(static_cast<size_t>(pick(columns * rows * 2)), 'o');
    for (TextScreen* t : {&fast, &slow}) {
      t->SetGrid(columns, rows);
      t->Write(fill);
    }
    for (int w = 0; w < 6; ++w) {
      const int color = pick(16), col = pick(columns), row = pick(rows);
      std::string run;
      const int kind = pick(5);
      const size_t length = kind == 0 ? static_cast<size_t>(pick(10)) : static_cast<size_t>(pick(columns * rows * 8));
      for (size_t i = 0; i < length; ++i) run += static_cast<char>(kind == 4 && pick(50) == 0 ? '\n' : 'A' + pick(26));
      if (kind == 3) run.insert(static_cast<size_t>(pick(static_cast<int>(run.size()) + 1)), a);
      if (kind == 2 && !run.empty()) run.back() = a[0];  // a lead byte waits for its trail byte
      const bool move = pick(2);
      for (TextScreen* t : {&fast, &slow}) {
        t->SetColors(color, 0, 0, 4, 1);
        if (move) t->SetCursorPos(col, row);
        t->Write(run);
      }
      ASSERT_EQ(fast.CursorColumn(), slow.CursorColumn()) << round;
      ASSERT_EQ(fast.CursorRow(), slow.CursorRow()) << round;
      ASSERT_EQ(fast.state().hasScrolled, slow.state().hasScrolled) << round;
      ASSERT_EQ(fast.state().pendingLead, slow.state().pendingLead) << round;
      for (int r = 0; r < rows; ++r) {
        ASSERT_EQ(Row(fast, r), Row(slow, r)) << round << " row " << r;
        ASSERT_EQ(std::memcmp(fast.RowColors(r), slow.RowColors(r), columns), 0) << round;
        ASSERT_EQ(std::memcmp(fast.RowAttributes(r), slow.RowAttributes(r), columns), 0) << round;
      }
      ASSERT_EQ(drawnFast, drawnSlow) << round;
    }
  }
}

TEST(TextScreen, CopyTextLeavesOutBlankRows) {
  TextScreen s;
  s.Write("first  \r\n\r\nthird");
  EXPECT_EQ(s.CopyText(), "first\r\nthird\r\n");
}

TEST(TextScreen, ClearScreenEraseCellsAndPutChar) {
  TextScreen s;
  s.Write("hello world");
  s.SetCursorPos(2, 0);
  s.EraseCells(3);
  EXPECT_EQ(Trimmed(s, 0), "he    world");
  EXPECT_EQ(s.CursorColumn(), 2);
  s.PutChar('L');
  EXPECT_EQ(Trimmed(s, 0), "heL   world");
  EXPECT_EQ(s.ClearScreen(9), 5);
  EXPECT_EQ(s.ClearScreen(0), 0);
  EXPECT_EQ(s.CopyText(), "");
  EXPECT_EQ(s.CursorRow(), 0);
}

TEST(TextScreen, ColourRule) {
  TextScreen s;
  EXPECT_EQ(s.SetColors(16, 0, 0, 0, 1), 5);
  EXPECT_EQ(s.SetColors(0, 0, 0, 2, 8), 5);
  // COLOR 4 with attribute 4: lime text.
  platform::CellColors c = platform::ColorsOf(4, 4, 0);
  EXPECT_EQ(c.text, (platform::Rgb{0x00, 0xFF, 0x00}));
  EXPECT_FALSE(c.opaque);
  // COLOR 12 with attribute 4: black characters on lime.
  c = platform::ColorsOf(12, 4, 0);
  EXPECT_EQ(c.text, (platform::Rgb{0x00, 0x00, 0x00}));
  EXPECT_EQ(c.back, (platform::Rgb{0x00, 0xFF, 0x00}));
  EXPECT_TRUE(c.opaque);
  // Defaults: white on black.
  c = platform::ColorsOf(7, 4, 0);
  EXPECT_EQ(c.text, (platform::Rgb{0xFF, 0xFF, 0xFF}));
  // A plain colour after a reversed one clears the reverse attribute.
  s.SetColors(0, 0, 0, 5, 8);
  s.SetColors(12, 0, 0, 0, 1);
  s.SetColors(3, 0, 0, 0, 1);
  EXPECT_EQ(s.state().attribute, 4);
  s.Write("c");
  EXPECT_EQ(s.RowColors(0)[0], 3);
}

TEST(TextScreen, ViewAndScrollRanges) {
  TextScreen s;
  s.SetVisibleCells(80, 10);
  EXPECT_EQ(s.state().maxScrollRow, 13);  // one less than the 14 hidden rows
  EXPECT_TRUE(s.Scroll(true, platform::SB_PAGEDOWN, 0));
  EXPECT_EQ(s.ScrollRow(), 10);
  EXPECT_TRUE(s.Scroll(true, platform::SB_PAGEDOWN, 0));
  EXPECT_EQ(s.ScrollRow(), 13);
  EXPECT_FALSE(s.Scroll(true, platform::SB_LINEDOWN, 0));
  s.SetVisibleCells(80, 23);
  EXPECT_EQ(s.state().maxScrollRow, 0);  // one hidden row gives no range
  EXPECT_EQ(s.ScrollRow(), 0);
  // Two hidden rows give a range of one; none refuses to scroll.
  s.SetVisibleCells(80, 22);
  EXPECT_EQ(s.state().maxScrollRow, 1);
  s.SetVisibleCells(80, 24);
  EXPECT_FALSE(s.Scroll(true, platform::SB_LINEDOWN, 0));
  // A view that grows keeps its place where it still can: at row 13 of 10
  // rows shown, 11 rows shown allow 12 at most.
  s.SetVisibleCells(80, 10);
  EXPECT_TRUE(s.Scroll(true, platform::SB_THUMBPOSITION, 13));
  EXPECT_EQ(s.ScrollRow(), 13);
  s.SetVisibleCells(80, 11);
  EXPECT_EQ(s.ScrollRow(), 12);
  // The same across: 78 columns shown give a range of one, 79 none; a jump
  // past the range stops at its end, and there is nothing left of 0.
  s.SetVisibleCells(79, 24);
  EXPECT_EQ(s.state().maxScrollCol, 0);
  s.SetVisibleCells(78, 24);
  EXPECT_EQ(s.state().maxScrollCol, 1);
  EXPECT_TRUE(s.Scroll(false, platform::SB_THUMBPOSITION, 50));
  EXPECT_EQ(s.ScrollColumn(), 1);
  EXPECT_TRUE(s.Scroll(false, platform::SB_LINEUP, 0));
  EXPECT_EQ(s.ScrollColumn(), 0);
  EXPECT_FALSE(s.Scroll(false, platform::SB_LINEUP, 0));
}

}  // namespace
}  // namespace host
