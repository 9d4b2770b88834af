// A save that fails at any step, run as the programs run it (inside
// RunMain): every allocation on the save path in turn, and every call of the
// file layer in turn, fails once. Whatever fails, the file of that name is
// the old one or the whole new one, and no temporary is left beside it.
// Its own test program: it replaces the allocation functions.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "app/polynomial/answer_output.h"
#include "app/polynomial/term_text.h"
#include "runtime/core/test_host.h"
#include "runtime/platform/file_faults.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace {

// Allocations left before the one that fails; negative: none fails.
long allocationsToFailure = -1;
bool allocationFailed = false;

void* Allocate(std::size_t size) {
  if (allocationsToFailure >= 0 && allocationsToFailure-- == 0) {
    allocationFailed = true;
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

class SaveFaults : public rt::test::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    letters.Dim(26);
    for (int k = 1; k <= 26; ++k) letters(k) = PlainLetter(k).c_str();
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
    rt::InitRuntime(&host, 10);
    host.typed = {"y", "d", "ans.txt"};
    AnswerOutput output(letters);
    allocationFailed = false;
    rt::RunMain([&] {
      output.FormatAnswer(rows);
      arm();
      output.SaveAnswer();
    });
    allocationsToFailure = -1;
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
  basic::Array<basic::Str, 1> letters;
  AnswerRows rows;
  std::string complete;
  bool injected = false;
};

TEST_F(SaveFaults, EveryAllocationOnTheSavePathFailingInTurn) {
  ASSERT_FALSE(SaveRun([] {}));
  complete = FileBytes("ans.txt");
  ASSERT_GT(complete.size(), 400u);
  long n = 0;
  for (; n < 100000; ++n) {
    const bool came = SaveRun([&] { allocationsToFailure = n; });
    ExpectOldOrNew("allocation " + std::to_string(n));
    if (!came) break;
  }
  EXPECT_GT(n, 10) << "the save path allocates";
}

TEST_F(SaveFaults, EveryCallOfTheFileLayerFailingInTurn) {
  ASSERT_FALSE(SaveRun([] {}));
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
