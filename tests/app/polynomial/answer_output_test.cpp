// Saving an answer in-process: what a failure or the end of the program in
// the middle of a save leaves behind.
#include "app/polynomial/answer_output.h"

#include <filesystem>
#include <string>

#include "app/polynomial/term_text.h"
#include "runtime/core/test_host.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace poly::test {
namespace {

class SaveTest : public rt::test::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    letters.Dim(26);
    for (int k = 1; k <= 26; ++k) letters(k) = PlainLetter(k).c_str();
    // 2,000 terms +a, +a2, ...: one statement a row when the file is written.
    rows.letterCount = 1;
    for (int i = 1; i <= 2000; ++i) rows.cells.insert(rows.cells.end(), {1, 1, static_cast<double>(i)});
  }
  bool Exists(const char* name) { return std::filesystem::exists(name); }
  long long Size(const char* name) {
    std::error_code e;
    const auto size = std::filesystem::file_size(name, e);
    return e ? -1 : static_cast<long long>(size);
  }

  test_support::TempFolder folder{"tessel-save"};
  basic::Array<basic::Str, 1> letters;
  AnswerRows rows;
};

// The window closes while the file is being written: the program ends, and
// the file cut short is not left behind to pass for an answer.
TEST_F(SaveTest, EndingInTheMiddleLeavesNoPartialFile) {
  AnswerOutput output(letters);
  host.typed = {"y", "d", "cut.txt"};
  int pollsWhileWriting = 0;
  host.onPoll = [&] {
    if (host.typed.empty() && ++pollsWhileWriting == 5) host.quit = true;  // the name was read
  };
  bool ended = false;
  try {
    output.FormatAnswer(rows);
    output.SaveAnswer();
  } catch (const rt::ProgramEnd&) {
    ended = true;
  }
  EXPECT_TRUE(ended);
  EXPECT_TRUE(host.quit);
  EXPECT_FALSE(Exists("cut.txt"));
  EXPECT_TRUE(std::filesystem::is_empty(".")) << "nothing is left in the folder";
  EXPECT_TRUE(host.reports.empty());
}

// A name that cannot be written is reported with the error's text and asked
// again; the next one is saved whole.
TEST_F(SaveTest, AFailureAsksAgainAndTheNextNameIsSaved) {
  AnswerOutput output(letters);
  host.typed = {"y", "n", "nofolder/x.txt", "fine.txt", "ok"};
  output.FormatAnswer(rows);
  output.SaveAnswer();
  EXPECT_NE(host.screen.find("nofolder/x.txt" + rt::test::Cp932("に保存できませんでした。エラー[63] ")),
            std::string::npos);
  EXPECT_TRUE(host.typed.empty());
  EXPECT_GT(Size("fine.txt"), 2000 * 3);
  EXPECT_TRUE(host.reports.empty());
}

// The normal form's line ends after the term that carries the line past
// 100 characters: a line of exactly 100 goes on. Terms of four characters
// (+a10 to +a40): 25 make 100, the 26th ends the line.
TEST_F(SaveTest, TheNormalFormBreaksOnlyPastAHundredCharacters) {
  rows = AnswerRows{};
  rows.letterCount = 1;
  std::string first, second;
  for (int e = 10; e <= 40; ++e) {
    rows.cells.insert(rows.cells.end(), {1, 1, static_cast<double>(e)});
    (e < 36 ? first : second) += "+a" + std::to_string(e);
  }
  ASSERT_EQ(first.size(), 104u);
  AnswerOutput output(letters);
  host.typed = {"y", "n", "line.txt", ""};
  output.FormatAnswer(rows);
  output.SaveAnswer();
  EXPECT_EQ(test_support::FileBytes("line.txt"), first + "\r\n" + second + "\r\n\x1A");
  // When the last term itself carries the line past 100, its line end is
  // followed by the closing one: the file ends with an empty line.
  rows = AnswerRows{};
  rows.letterCount = 1;
  std::string all;
  for (int e : {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 100}) {
    rows.cells.insert(rows.cells.end(), {1, 1, static_cast<double>(e)});
    all += "+a" + std::to_string(e);
  }
  ASSERT_EQ(all.size(), 101u);
  AnswerOutput last(letters);
  host.typed = {"y", "n", "last.txt", ""};
  last.FormatAnswer(rows);
  last.SaveAnswer();
  EXPECT_EQ(test_support::FileBytes("last.txt"), all + "\r\n\r\n\x1A");
}


// An answer in the compact form (whole coefficients, packed exponents) is
// shown and saved as the same rows in the general form are: the screen, the
// normal form and the array form, with exponents and coefficients on either
// side of 1 and of 10^15, fields crossing bit 64 and letters never used.
TEST_F(SaveTest, TheCompactFormShowsAndSavesAsTheGeneralForm) {
  AnswerRows compact;
  compact.compact = true;
  compact.letterCount = 4;
  compact.packing.shift = {0, 3, 3, 62};
  compact.packing.width = {3, 0, 59, 52};
  const uint64_t third[] = {0, 1, 7, 999999999999999, 1000000000000000, 9007199254740993};
  const int64_t values[] = {1, -1, 2, -999999999999999, 1000000000000001, 9007199254740991};
  for (size_t i = 0; i < 36; ++i) {
    compact.values.push_back(values[i % 6]);
    compact.keys.push_back(static_cast<u128>(i % 8) | static_cast<u128>(third[i / 6]) << 3 |
                           static_cast<u128>(i % 3 == 0 ? 0 : 4503599627370495 - i) << 62);
  }
  AnswerRows general;
  general.letterCount = compact.letterCount;
  general.cells = compact.Cells();
  std::string screens[2];
  int which = 0;
  for (AnswerRows* form : {&compact, &general}) {
    const std::string name = which ? "general" : "compact";
    host.screen.clear();
    AnswerOutput shown(letters);
    host.typed = {"y", "n", name + ".txt", ""};
    shown.FormatAnswer(*form);
    shown.SaveAnswer();
    AnswerOutput arrays(letters);
    host.typed = {"y", "d", name + "-array.txt"};
    arrays.FormatAnswer(*form);
    arrays.SaveAnswer();
    screens[which++] = host.screen.substr(0, host.screen.find(name));
  }
  EXPECT_EQ(screens[0], screens[1]);
  EXPECT_NE(screens[0].find("Answer =+1-ad4.50359962737049D+015+2a2d4.50359962737049D+015-999999999999999a3"),
            std::string::npos)
      << screens[0];
  EXPECT_EQ(test_support::FileBytes("compact.txt"), test_support::FileBytes("general.txt"));
  EXPECT_EQ(test_support::FileBytes("compact-array.txt"), test_support::FileBytes("general-array.txt"));
  EXPECT_GT(test_support::FileBytes("compact-array.txt").size(), 36u * 20);
}

}  // namespace
}  // namespace poly::test
