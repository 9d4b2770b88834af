#include "runtime/host/line_editor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/test_host.h"
#include "runtime/platform/messages.h"

namespace host {
namespace {

using rt::test::Cp932;

class LineEditorTest : public rt::test::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    screen.SetFocus(true);
    ring.SetBeep([this] { ++beeps; });
    input.getKey = [this] { return static_cast<int>(ring.Take()); };  // empty ring: the window has gone
    input.beep = [this] { ++beeps; };
  }
  void Type(const std::string& bytes) {
    for (char c : bytes) ring.OnChar(static_cast<uint8_t>(c));
  }
  void Key(uint32_t vk) {
    ring.OnKeyDown(vk);
    ring.OnKeyUp(vk);
  }
  // Reads a line from these codes (then the window has gone).
  std::string ReadCodes(std::vector<int> codes, size_t capacity = 255) {
    size_t next = 0;
    input.getKey = [codes, next]() mutable { return next < codes.size() ? codes[next++] : 0; };
    return Read(capacity);
  }
  static std::vector<int> Codes(const std::string& bytes) {
    std::vector<int> codes;
    for (char c : bytes) codes.push_back(static_cast<unsigned char>(c));
    return codes;
  }
  std::string Read(size_t capacity = 255) {
    std::string line;
    ok = ReadLine(screen, ring, input, capacity, line);
    return line;
  }
  std::string Row(int r) {
    std::string s(reinterpret_cast<const char*>(screen.RowChars(r)), screen.Columns());
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }

  TextScreen screen;
  KeyRing ring;
  LineInputHost input;
  int beeps = 0;
  bool ok = false;
};

TEST_F(LineEditorTest, KeyRingKeeps255Codes) {
  for (int i = 0; i < 256; ++i) ring.Push('a');
  EXPECT_EQ(ring.Count(), 255);
  EXPECT_EQ(beeps, 1);
  ring.Clear();
  Key(platform::VK_LEFT);
  Key(platform::VK_DELETE);
  ring.OnKeyDown(platform::VK_SHIFT);
  Key(platform::VK_HOME);
  ring.OnKeyUp(platform::VK_SHIFT);
  Key(platform::VK_HOME);
  EXPECT_EQ(ring.Take(), 29);
  EXPECT_EQ(ring.Take(), 4);
  EXPECT_EQ(ring.Take(), 12);  // Shift+Home
  EXPECT_EQ(ring.Take(), 11);
}

TEST_F(LineEditorTest, EchoesAndReturnsTheLine) {
  screen.Write("? ");
  Type("hello\r");
  EXPECT_EQ(Read(), "hello");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Row(0), "? hello");
  EXPECT_EQ(screen.CursorRow(), 1);
  EXPECT_EQ(screen.CursorColumn(), 0);
}

TEST_F(LineEditorTest, AtMost255BytesAndTypeAheadDiscarded) {
  Type(std::string(256, 'k'));
  // The ring holds 255 codes: the Enter and the type-ahead come later.
  EXPECT_EQ(beeps, 1);
  ring.Clear();
  beeps = 0;
  std::string line;
  int sent = 0;
  input.getKey = [&]() -> int {
    if (sent < 256) return ++sent, 'k';
    if (sent == 256) {
      ++sent;
      ring.Push('z');  // typed after the Enter
      return 13;
    }
    return 0;
  };
  ok = ReadLine(screen, ring, input, 255, line);
  EXPECT_EQ(line, std::string(255, 'k'));
  EXPECT_EQ(beeps, 1);  // the 256th byte
  EXPECT_TRUE(ring.Empty());
}

// The 255 bytes count a double-byte character as two: one that would end
// past the last byte is refused whole (one beep, no lone lead byte); in
// overwrite mode a full line still takes a character in its middle.
TEST_F(LineEditorTest, TheLimitCountsTheBytesOfDoubleByteCharacters) {
  const std::string a = Cp932("あ");
  EXPECT_EQ(ReadCodes(Codes(std::string(253, 'k') + a + "\r")), std::string(253, 'k') + a);
  EXPECT_EQ(beeps, 0);
  EXPECT_EQ(ReadCodes(Codes(std::string(254, 'k') + a + "z\r")), std::string(254, 'k') + "z");
  EXPECT_EQ(beeps, 1);
  beeps = 0;
  std::vector<int> full = Codes(std::string(255, 'k'));
  full.insert(full.end(), {11, 18, 'x', 13});  // Home, Insert, x, Enter
  EXPECT_EQ(ReadCodes(full), "x" + std::string(254, 'k'));
  EXPECT_EQ(beeps, 0);
}

TEST_F(LineEditorTest, EditingKeys) {
  Type("abcd");
  Key(platform::VK_LEFT);
  Key(platform::VK_LEFT);
  Type("X");            // insert
  Key(platform::VK_END);
  Type("\b");           // backspace
  Key(platform::VK_HOME);
  Key(platform::VK_DELETE);
  Type("\r");
  EXPECT_EQ(Read(), "bXc");
  EXPECT_EQ(Row(0), "bXc");
}

// Overwrite mode replaces one single-byte character where it stands; at the
// end of the input it appends, as insert mode does.
TEST_F(LineEditorTest, OverwriteReplacesInTheMiddle) {
  Type("abc");
  Key(platform::VK_HOME);
  Key(platform::VK_INSERT);
  Type("x");
  Key(platform::VK_RIGHT);
  Type("y");
  Key(platform::VK_END);
  Type("z\r");
  EXPECT_EQ(Read(), "xbyz");
  EXPECT_EQ(Row(0), "xbyz");
}

TEST_F(LineEditorTest, DoubleByteCharacters) {
  std::string a = Cp932("あ"), i = Cp932("い");
  Type(a + i + "\b\r");  // backspace removes both bytes
  EXPECT_EQ(Read(), a);
  // Overwriting the first half of a double-byte character leaves a space.
  Type(a + "b");
  Key(platform::VK_HOME);
  Key(platform::VK_INSERT);
  Type("a\r");
  EXPECT_EQ(Read(), "a b");
  // Typed in column 79, it goes to the next line and column 79 stays blank.
  screen.ClearScreen(0);
  screen.Write(std::string(79, '.'));
  Type(a + "\r");
  EXPECT_EQ(Read(), a);
  EXPECT_EQ(Row(0), std::string(79, '.'));
  EXPECT_EQ(Row(1), a);
}

// Left and Right step over a double-byte character whole: what is typed
// after them goes between characters, never between a character's bytes.
TEST_F(LineEditorTest, LeftAndRightOverDoubleByteCharacters) {
  const std::string a = Cp932("あ"), i = Cp932("い");
  Type("a" + a + i);
  Key(platform::VK_LEFT);
  Type("x");
  Key(platform::VK_LEFT);
  Key(platform::VK_LEFT);
  Type("y");
  Key(platform::VK_RIGHT);
  Type("z\r");
  EXPECT_EQ(Read(), "ay" + a + "zx" + i);
  EXPECT_EQ(Row(0), "ay" + a + "zx" + i);
}

// The same on a grid one column wide, typed and edited.
TEST_F(LineEditorTest, DoubleByteCharactersOnAOneColumnGrid) {
  screen.SetGrid(1, 24);
  std::string a = Cp932("あ");
  Type("x" + a + "y");
  Key(platform::VK_LEFT);
  Type("\b" + a + "\r");
  EXPECT_EQ(Read(), "x" + a + "y");
  EXPECT_TRUE(ok);
}

TEST_F(LineEditorTest, CtrlLAndShiftHomeClearTheInput) {
  Type("abc\x0c" "de\r");
  EXPECT_EQ(Read(), "de");
  EXPECT_EQ(Row(0), "de");
  screen.ClearScreen(0);
  Type("xyz");
  ring.OnKeyDown(platform::VK_SHIFT);
  Key(platform::VK_HOME);
  ring.OnKeyUp(platform::VK_SHIFT);
  Type("q\r");
  EXPECT_EQ(Read(), "q");
  input.clearKeyErases = false;  // option word 21 off: ignored
  Type("ab\x0c\r");
  EXPECT_EQ(Read(), "ab");
}

TEST_F(LineEditorTest, WindowGoneFailsWithAnEmptyLine) {
  Type("abc");  // then the ring runs dry: the window has gone
  EXPECT_EQ(Read(), "");
  EXPECT_FALSE(ok);
}

TEST_F(LineEditorTest, InputScrollsTheScreenAndKeepsItsStart) {
  screen.SetCursorPos(70, 23);
  Type(std::string(20, 'w') + "\b\r");
  EXPECT_EQ(Read(), std::string(19, 'w'));
  // The input wrapped and scrolled once, Enter scrolled once more.
  EXPECT_EQ(Row(21), std::string(70, ' ') + std::string(10, 'w'));
  EXPECT_EQ(Row(22), std::string(9, 'w'));
  EXPECT_EQ(Row(23), "");
}

// What fits is also what the screen can show from the start of the input:
// on a grid of 10 x 2 from column 3 of the last row, 2 x 10 - 3 = 17 bytes.
TEST_F(LineEditorTest, TheScreenLimitsTheInput) {
  screen.SetGrid(10, 2);
  screen.SetCursorPos(3, 1);
  EXPECT_EQ(ReadCodes(Codes(std::string(17, 'w') + "\r")), std::string(17, 'w'));
  EXPECT_EQ(beeps, 0);
  screen.SetCursorPos(3, 1);
  EXPECT_EQ(ReadCodes(Codes(std::string(18, 'w') + "\r")), std::string(17, 'w'));
  EXPECT_EQ(beeps, 1);
}

}  // namespace
}  // namespace host
