// The CP932 converter of the web platform (tables written at build time)
// against this machine's iconv, character by character: every single byte,
// every lead and trail byte pair, every code point of the basic plane; and
// texts cut into pieces at random convert as they do whole.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <tuple>

#include "runtime/platform/encoding.h"

namespace platform {
namespace {

// What iconv makes of a whole text, or nothing when it refuses any of it.
std::optional<std::string> Iconv(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(in.size() * 4 + 8, '\0');
  char* src = const_cast<char*>(in.data());
  char* dst = out.data();
  size_t left = in.size(), room = out.size();
  const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<size_t>(-1) && left == 0;
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(dst - out.data());
  return out;
}

std::string Utf8(unsigned code) { return *Iconv("UTF-8", "UTF-32LE", std::string(reinterpret_cast<char*>(&code), 4)); }

TEST(WebEncoding, EveryCp932CharacterAsIconvReadsIt) {
  for (unsigned b = 0x80; b < 0x100; ++b) {
    if (IsLeadByte(b)) continue;
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Cp932ToUtf8(one), Iconv("UTF-8", "CP932", one).value_or("?")) << std::hex << b;
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(lead)) continue;
    for (unsigned trail = 0; trail < 0x100; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      // A pair that is no character: "?" for the lead byte, and the trail
      // byte read afresh.
      const std::string expected = Iconv("UTF-8", "CP932", pair).value_or("?" + Cp932ToUtf8(pair.substr(1)));
      ASSERT_EQ(Cp932ToUtf8(pair), expected) << std::hex << lead << ' ' << trail;
    }
  }
}

TEST(WebEncoding, EveryCodePointAsIconvWritesIt) {
  for (unsigned code = 0; code <= 0xFFFF; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    const std::string text = Utf8(code);
    ASSERT_EQ(Utf8ToCp932(text), Iconv("CP932", "UTF-8", text).value_or("?")) << std::hex << code;
  }
  EXPECT_EQ(Utf8ToCp932(Utf8(0x1F600)), "?");
  // An overlong form is two bytes that start no character; a surrogate is one
  // character with no CP932 form.
  EXPECT_EQ(Utf8ToCp932("\xC0\xAF\xED\xA0\x80"), "???");
}

// Mixed texts (ASCII, half-width kana, kanji, broken sequences) fed in
// pieces of random length give what they give whole.
TEST(WebEncoding, PiecesConvertAsTheWhole) {
  std::mt19937 random(20261209);
  const std::string sjis = Utf8ToCp932("式(a+b)2 ｱｲｳ 数式展開～￥") + "\x81\x7F\xFF\x82";
  const std::string utf8 = "式 ｱ 😀 é\xE3\x81\n\xFF" + Utf8(0x9AD9);
  for (const auto& [text, to, from] : {std::tuple{sjis, "UTF-8", "CP932"}, std::tuple{utf8, "CP932", "UTF-8"}}) {
    std::string whole;
    for (int i = 0; i < 40; ++i) whole += text;
    Converter once(to, from);
    const std::string expected = once.Convert(whole);
    for (int round = 0; round < 50; ++round) {
      Converter c(to, from);
      std::string out;
      for (size_t at = 0; at < whole.size();) {
        const size_t n = std::min<size_t>(whole.size() - at, random() % 7);
        out += c.Convert(std::string_view(whole).substr(at, n));
        at += n;
      }
      ASSERT_EQ(out, expected) << from << " round " << round;
      EXPECT_EQ(c.Pending(), once.Pending());
    }
  }
}

}  // namespace
}  // namespace platform
