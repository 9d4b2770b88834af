#include <gtest/gtest.h>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#define pipe(fds) _pipe(fds, 4096, _O_BINARY)
#define read _read
#define close _close
#else
#include <unistd.h>
#endif

#include <string>

#include "runtime/platform/display.h"
#include "runtime/platform/encoding.h"

namespace platform {
namespace {

TEST(Encoding, DoubleByteCharacterSplitAcrossCalls) {
  std::string sjis = Utf8ToCp932("数式展開");
  ASSERT_EQ(sjis.size(), 8u);
  Converter c("UTF-8", "CP932");
  std::string out = c.Convert(sjis.substr(0, 3));  // the second character cut after its lead byte
  EXPECT_TRUE(c.Pending());
  out += c.Convert(sjis.substr(3));
  EXPECT_FALSE(c.Pending());
  EXPECT_EQ(out, "数式展開");
  EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932("ｱｲｳ～￥\\")), "ｱｲｳ～￥\\");
  EXPECT_EQ(Cp932ToUtf8("\x82"), "?");  // an unfinished character at the end of a text
}

// A typed character without a Shift-JIS form is one "?", however many bytes
// its UTF-8 form has; a broken sequence is one "?" and the byte that broke it
// is kept.
TEST(Encoding, OneQuestionMarkPerUnconvertibleCharacter) {
  EXPECT_EQ(Utf8ToCp932("😀é"), "??");
  EXPECT_EQ(Utf8ToCp932("a😀b€c"), "a?b?c");
  EXPECT_EQ(Utf8ToCp932("\xE3\x81\n"), "?\n");
  EXPECT_EQ(Utf8ToCp932("\xFFx\x80y"), "?x?y");
  EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932("式😀式")), "式?式");
}

// The stream display writes what is drawn as UTF-8 with LF line ends.
TEST(StreamDisplay, LineEndsAndSplitCharacters) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  {
    auto d = CreateStreamDisplay(0, fds[1]);
    std::string a = Utf8ToCp932("あ");
    d->TextDrawn("x\r\ny\r", 5);   // CR LF is LF; a CR may still be followed by LF
    d->TextDrawn("\nz\rw", 4);     // ...which it is here; a lone CR is dropped
    d->TextDrawn(a.data(), 1);     // a lead byte, then its trail byte
    d->TextDrawn(a.data() + 1, 1);
    // A trail byte in the ASCII range is part of its character, also when it
    // comes in the next write: ソ is 0x83 0x5C.
    const std::string so = Utf8ToCp932("ソ"), kana = Utf8ToCp932("ｱ");
    d->TextDrawn(("1" + so + "2" + kana + "3" + so.substr(0, 1)).data(), 7);
    d->TextDrawn((so.substr(1) + "\r\n").data(), 3);
    d->Present();
  }
  close(fds[1]);
  char buffer[64];
  const long n = read(fds[0], buffer, sizeof buffer);
  close(fds[0]);
  EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "x\ny\nzwあ1ソ2ｱ3ソ\n");
}

}  // namespace
}  // namespace platform
