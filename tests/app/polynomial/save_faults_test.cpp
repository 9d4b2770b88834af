// A save that fails at any step, run as the programs run it: inside the host
// the programs run on, so that the end of the run after the failure is
// theirs too. Every allocation on the save path in turn, and every call of
// the file layer in turn, fails once. Whatever fails, the file of that name
// is the old one or the whole new one, and no temporary is left beside it.
// Its own test program: it replaces the allocation functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <set>
#include <string>

#include "app/polynomial/answer_output.h"
#include "app/polynomial/term_text.h"
#include "runtime/platform/file_faults.h"
#include "support/file_bytes.h"
#include "support/host_run.h"
#include "support/scripted_display.h"
#include "support/temp_folder.h"

namespace {

// Allocations left before the one that fails; negative: none fails.
long allocationsToFailure = -1;
long writesAtStart = 0;
bool allocationFailed = false;
long writesAtFailure = -1;  // the writes made before the failure came

void* Allocate(std::size_t size) {
  const long written = platform::FileWritesMade() - writesAtStart;
  if (allocationsToFailure >= 0 && allocationsToFailure-- == 0) {
    allocationFailed = true;
    writesAtFailure = written;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace poly::test {
namespace {

const std::string kOld = "OLD CONTENT\r\n\x1A";

using test_support::FileBytes;

std::string Entries() {
  std::string names;
  for (const auto& e : std::filesystem::directory_iterator(".")) names += e.path().filename().string() + " ";
  return names;
}

class SaveFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    // 40 terms +ab, +2ab2, +3ab3 ...: more than one line of the normal form.
    rows.letterCount = 2;
    for (int i = 1; i <= 40; ++i) {
      const double n = i;
      rows.cells.insert(rows.cells.end(), {1, n, 1, n});
    }
  }

  // Saves the answer in the array form over "ans.txt" as a program run
  // does, with a failure armed just before the save; whether the failure
  // came. A failed save asks for another name, which is not given: the run
  // then ends as when the window is closed.
  bool SaveRun(const std::function<void()>& arm) {
    std::ofstream("ans.txt", std::ios::binary) << kOld;
    test_support::Script script;
    script.Type("y\rd\rans.txt\r");
    allocationFailed = false;
    writesAtFailure = -1;
    exitCode = test_support::RunInHost(
        [&] {
          basic::Array<basic::Str, 1> letters;
          letters.Dim(26);
          for (int k = 1; k <= 26; ++k) letters(k) = PlainLetter(k).c_str();
          AnswerOutput output(letters);
          output.FormatAnswer(rows);
          writesAtStart = platform::FileWritesMade();
          arm();
          output.SaveAnswer();
        },
        std::make_unique<test_support::ScriptedDisplay>(script));
    allocationsToFailure = -1;
    writes = platform::FileWritesMade() - writesAtStart;
    const bool came = allocationFailed || (!platform::FileFaultPending() && injected);
    platform::ClearFileFaults();
    injected = false;
    return came;
  }

  // The file is the old one or the whole new one, and alone in its folder.
  void ExpectOldOrNew(const std::string& what) {
    const std::string now = FileBytes("ans.txt");
    EXPECT_TRUE(now == kOld || now == complete) << what << ": " << now.size() << " bytes";
    EXPECT_EQ(Entries(), "ans.txt ") << what;
  }

  test_support::TempFolder folder{"tessel-save-faults"};
  AnswerRows rows;
  std::string complete;
  bool injected = false;
  int exitCode = -1;
  long writes = 0;  // the writes the last run made from its save on
};

// Memory running out at each allocation of a save in turn: before the file
// is written, among its writes and after the last. Out of memory, the run
// ends as failed (error 7), and the end of the run drops what was cut short.
TEST_F(SaveFaults, MemoryRunningOutAtEachAllocationOfASave) {
  ASSERT_FALSE(SaveRun([] {}));
  ASSERT_EQ(exitCode, 0);
  complete = FileBytes("ans.txt");
  ASSERT_GT(complete.size(), 400u);
  const long savedWith = writes;
  std::set<long> moments;  // the writes made before each failure
  long n = 0;
  for (; n < 100000; ++n) {
    const bool came = SaveRun([&] { allocationsToFailure = n; });
    const std::string what = "allocation " + std::to_string(n) + " after write " + std::to_string(writesAtFailure);
    ExpectOldOrNew(what);
    if (!came) break;
    EXPECT_EQ(exitCode, 1) << what;
    moments.insert(writesAtFailure);
  }
  EXPECT_GT(n, 10) << "the save path allocates";
  ASSERT_FALSE(moments.empty());
  EXPECT_EQ(*moments.begin(), 0) << "no failure before the first write";
  EXPECT_GE(*moments.rbegin(), savedWith) << "no failure after the last write";
  EXPECT_TRUE(std::any_of(moments.begin(), moments.end(), [&](long m) { return m > 0 && m < savedWith; }))
      << "no failure among the writes";
}

TEST_F(SaveFaults, EveryCallOfTheFileLayerFailingInTurn) {
  ASSERT_FALSE(SaveRun([] {}));
  ASSERT_EQ(exitCode, 0);
  complete = FileBytes("ans.txt");
  struct Failure {
    platform::FileCall call;
    int error;
  } failures[] = {{platform::FileCall::Open, EIO},   {platform::FileCall::Open, EACCES},
                  {platform::FileCall::Write, ENOSPC}, {platform::FileCall::Sync, EIO},
                  {platform::FileCall::Rename, EIO}};
  for (const Failure& f : failures) {
    int nth = 1;
    for (; nth < 5000; ++nth) {
      const bool came = SaveRun([&] {
        platform::InjectFileFault(f.call, nth, f.error);
        injected = true;
      });
      ExpectOldOrNew("call " + std::to_string(static_cast<int>(f.call)) + " #" + std::to_string(nth));
      if (!came) break;
    }
    EXPECT_GT(nth, 1) << "call " << static_cast<int>(f.call) << " is on the save path";
  }
}

// The new contents are made durable before they take the old file's name,
// by the calls themselves (a fault injected before a call cannot show that
// it is made).
TEST_F(SaveFaults, TheNewContentsReachTheDiskBeforeTheyTakeTheName) {
  platform::ClearFileCalls();
  ASSERT_FALSE(SaveRun([] {}));
  EXPECT_EQ(platform::FileCallsMade(), "SR");
}

}  // namespace
}  // namespace poly::test
