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

}  // namespace
}  // namespace poly::test
