#include <chrono>
#include <cmath>

#include "app/polynomial/mark_pacer.h"

#include "engine_harness.h"
#include "runtime/core/number_format.h"
#include "runtime/core/test_host.h"

namespace poly::test {
namespace {

using rt::test::RuntimeTest;

class EngineExamples : public RuntimeTest, public ::testing::WithParamInterface<bool> {
 protected:
  Outcome Expand(const std::string& text) { return RunExpression(host, text, GetParam()); }
};

TEST_P(EngineExamples, DifferenceOfSquares) {
  Outcome o = Expand("(a+b)(a-b)");
  ASSERT_TRUE(o.product);
  EXPECT_EQ(o.Answer(), "+a2-b2");
  ASSERT_EQ(o.rows.count(), 2u);
  EXPECT_EQ(o.rows.RowValues(0), (std::vector<double>{1, 1, 2, 0}));
  EXPECT_EQ(o.rows.RowValues(1), (std::vector<double>{-1, 1, 0, 2}));
}

TEST_P(EngineExamples, IntroductionExamples) {
  EXPECT_EQ(Expand("(26a2b+c)(3a-2b2)(2ab-1)").Answer(),
            "+156a4b2-104a3b4-78a3b+6a2bc+52a2b3-4ab3c-3ac+2b2c");
  Outcome o = Expand("(-256a+b)2(a+b-c)3(a-c)2");
  EXPECT_EQ(o.rows.count(), 30u);
  EXPECT_EQ(o.Answer().rfind("+65536a7-327680a6c+196096a6b", 0), 0u) << o.Answer();
  // 972 product rows: nine marks in each phase.
  EXPECT_EQ(o.progress, (std::vector<std::pair<char, double>>{{'+', 9}, {'C', 0}, {'+', 9}}));
}

TEST_P(EngineExamples, PowersConstantsAndCoefficients) {
  EXPECT_EQ(Expand("(a+b)3").Answer(), "+a3+3a2b+3ab2+b3");
  EXPECT_EQ(Expand("(a+b)2").Answer(), "+a2+2ab+b2");
  EXPECT_EQ(Expand("(a+b)10").Answer(),
            "+a10+10a9b+45a8b2+120a7b3+210a6b4+252a5b5+210a4b6+120a3b7+45a2b8+10ab9+b10");
  EXPECT_EQ(Expand("(-3)(a+b)").Answer(), "-3a-3b");
  EXPECT_EQ(Expand("(a+1)(a-1)").Answer(), "+a2-1");
  EXPECT_EQ(Expand("(1)(a+1)").Answer(), "+a+1");
  // Coefficients of 16 digits and more take the exponent form.
  EXPECT_EQ(Expand("(1000000000000000a)(10a)").Answer(), "+1D+016a2");
  EXPECT_EQ(Expand("(999999999999999a)(a)").Answer(), "+999999999999999a2");
  // Products beyond 2^53 come out as rounded doubles.
  EXPECT_EQ(Expand("(9007199254740993a)(3a)").Answer(), "+2.7021597764223D+016a2");
  // A typed constant has VAL's precision: seven significant digits are a
  // single, eight a double.
  EXPECT_EQ(Expand("(0.1a+b)(a)").Answer(), "+.100000001490116a2+ab");
  EXPECT_EQ(Expand("(0.10000000a+b)(a)").Answer(), "+.1a2+ab");
}

TEST_P(EngineExamples, CancellationAndRevival) {
  Outcome none = Expand("(a-a)(b+c)");
  EXPECT_TRUE(none.product);
  EXPECT_EQ(none.rows.count(), 0u);
  EXPECT_EQ(none.rows.letterCount, 3.0f);
  // The ab class survives in its first row although its running sum passed 0.
  EXPECT_EQ(Expand("(a-a+b)(a+b)").Answer(), "+ab+b2");
  EXPECT_EQ(Expand("(a-a+a)(b)").Answer(), "+ab");
}

TEST_P(EngineExamples, NoProductAndMarks) {
  Outcome single = Expand("(a+b)");
  EXPECT_EQ(single.parse, expander::ParseOutcome::Accepted);
  EXPECT_FALSE(single.product);
  EXPECT_TRUE(single.progress.empty());
  // 250 rows: marks at rows 100 and 200 in each phase.
  Outcome o = Expand("(a+b+c+d+e)(a+b+c+d+e)(a+b)(a+b+c+d+e)");
  EXPECT_EQ(o.progress, (std::vector<std::pair<char, double>>{{'+', 2}, {'C', 0}, {'+', 2}}));
  Outcome few = Expand("(a+b)(a-b)");
  EXPECT_EQ(few.progress, (std::vector<std::pair<char, double>>{{'C', 0}}));
  // A mark at every hundredth row, from exactly 100 rows on (and 200).
  Outcome hundred = Expand("(a+b+c+d+e)(a+b)(a+b+c+d+e)(a+b)");
  EXPECT_EQ(hundred.progress, (std::vector<std::pair<char, double>>{{'+', 1}, {'C', 0}}));
  Outcome twoHundred = Expand("(a+b+c+d+e)(a+b+c+d+e)(a+b)(a+b+c+d)");
  EXPECT_EQ(twoHundred.progress, (std::vector<std::pair<char, double>>{{'+', 2}, {'C', 0}, {'+', 1}}));
  EXPECT_EQ(MarksUpTo(99), 0);
  EXPECT_EQ(MarksUpTo(100), 1);
  EXPECT_EQ(MarksUpTo(199), 1);
  EXPECT_EQ(MarksUpTo(200), 2);
}

TEST_P(EngineExamples, OverflowEndsWithErrorSix) {
  Outcome o = Expand("(1D200a+b)(1D200a+b)");
  EXPECT_EQ(o.errorNumber, 6);
  EXPECT_EQ(o.errorLine, 4034);  // the magnitude product of ExpandProducts
}

// Factors as polymul reads them: rows of sign, magnitude and exponents.
Factors Files(double count, float letters, std::vector<std::vector<std::vector<double>>> terms) {
  Factors f;
  f.factorCount = count;
  f.letterCount = letters;
  f.terms = std::move(terms);
  return f;
}

TEST_P(EngineExamples, AFileWithoutTermsGivesAnEmptyAnswer) {
  // Huge coefficients elsewhere send the fast engine to the reference, which
  // must not read a term of the empty factor.
  const std::vector<std::vector<double>> huge = {{1, 1e151, 1, 0}, {1, 1, 0, 0}};
  Outcome o = RunFactors(host, Files(3, 2, {{}, huge, huge}), GetParam());
  EXPECT_TRUE(o.product);
  EXPECT_EQ(o.errorNumber, 0);
  EXPECT_EQ(o.rows.count(), 0u);
  EXPECT_EQ(o.progress, (std::vector<std::pair<char, double>>{{'C', 0}}));
  Outcome last = RunFactors(host, Files(2, 2, {huge, {}}), GetParam());
  EXPECT_EQ(last.rows.count(), 0u);
}

// The exact regime ends where the product of the factors' magnitude sums
// reaches 2^53. Just above it, (3a+b)(3002399751580331b+a) has the class ab
// = 3 x 3002399751580331 (2^53 + 1, which rounds to 2^53) + 1, which rounds
// to 2^53 again; exact integers would give 2^53 + 2.
TEST_P(EngineExamples, JustAboveTheExactLimitValuesRoundAsDoubles) {
  Outcome o = Expand("(3a+b)(3002399751580331b+a)");
  ASSERT_EQ(o.rows.count(), 3u);
  EXPECT_EQ(o.rows.RowValues(1)[1], 9007199254740992.0);  // ab
  EXPECT_EQ(o.rows.RowValues(1)[2], 1);
  EXPECT_EQ(o.rows.RowValues(1)[3], 1);
  // Just below, every value is exact.
  Outcome below = Expand("(3a)(3002399751580330a)");
  EXPECT_EQ(below.rows.RowValues(0)[1], 9007199254740990.0);
}

// A term of coefficient 0 gives rows of magnitude 0: never an answer of
// their own, but a later one still normalises the sign of its class (a file
// may hold the sign 2, which is written "-").
TEST_P(EngineExamples, ZeroCoefficientTerms) {
  EXPECT_EQ(Expand("(0a+b)(a-b)").Answer(), "+ab-b2");
  EXPECT_EQ(Expand("(0a)(a+b)").Answer(), "");
  const std::vector<std::vector<double>> two = {{2, 3, 1}};
  EXPECT_EQ(RunFactors(host, Files(2, 1, {two, {{1, 1, 0}}}), GetParam()).Answer(), "-3a");
  EXPECT_EQ(RunFactors(host, Files(2, 1, {two, {{1, 1, 0}, {1, 0, 0}}}), GetParam()).Answer(), "+6a");
}

// A header's letter count of 2.5: the loops visit two letters, the count of
// equal columns (2) never equals 2.5 so nothing merges, and the ordering
// passes run on CINT(4.5) = 5 (zeros only) and CINT(3.5) = 4, letter b.
TEST_P(EngineExamples, AFractionalLetterCountMergesNothing) {
  const std::vector<std::vector<double>> ab = {{1, 1, 1, 0}, {1, 1, 0, 1}};
  Outcome o = RunFactors(host, Files(2, 2.5f, {ab, ab}), GetParam());
  EXPECT_EQ(o.rows.letterCount, 2.5f);
  EXPECT_EQ(o.Answer(), "+b2+ab+ab+a2");
  // A whole count of 2 merges the two ab rows and sorts on both letters.
  EXPECT_EQ(RunFactors(host, Files(2, 2, {ab, ab}), GetParam()).Answer(), "+a2+2ab+b2");
}

// The product table of the reference is dimensioned by Prepare, before the
// line that announces the expansion; the fast engine dimensions it only where
// it hands over to the reference.
TEST_P(EngineExamples, ATableTooLargeFailsBeforeTheExpansion) {
  Outcome o = Expand("(1D200a+b+c+d+e+f)10");
  EXPECT_EQ(o.errorNumber, 9);
  EXPECT_EQ(o.errorLine, 4010);
  EXPECT_TRUE(o.errorInPrepare);
  EXPECT_TRUE(o.progress.empty());
}

INSTANTIATE_TEST_SUITE_P(BothEngines, EngineExamples, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Fast" : "Reference"; });

// Beyond the original's limits: (a+...+i)10 has 9^10 rows, but the marks
// count rows as a single does, which stops at 16,777,216.
TEST_F(RuntimeTest, MarksStopWhereASingleCounterStops) {
  EXPECT_EQ(MarksUpTo(99), 0);
  EXPECT_EQ(MarksUpTo(250), 2);
  EXPECT_EQ(MarksUpTo(16777215), 167772);
  EXPECT_EQ(MarksUpTo(1e12), 167772);
  Outcome o = RunExpression(host, "(a+b+c+d+e+f+g+h+i)10", true);
  EXPECT_EQ(o.rows.count(), 43758u);
  EXPECT_EQ(o.progress, (std::vector<std::pair<char, double>>{{'+', 167772}, {'C', 0}, {'+', 167772}}));
}

// A phase that runs longer than a tenth of a second shows its marks as it
// goes, then exactly the rest at its end. (On a clock of the test's own: the
// machine's speed has no say.)
MarkPacer::Clock::time_point testTime;
MarkPacer::Clock::time_point TestNow() { return testTime; }

TEST(MarkPacer, WritesEarnedMarksAtMostEveryTenthOfASecond) {
  using std::chrono::milliseconds;
  RecordingOutput out;
  MarkPacer pacer(out, 100, TestNow);
  testTime += milliseconds(99);
  pacer.Progress(0.3);  // too early: nothing yet
  EXPECT_TRUE(out.events.empty());
  testTime += milliseconds(1);
  pacer.Progress(0.5);
  EXPECT_EQ(out.events, (std::vector<std::pair<char, double>>{{'+', 50}}));
  testTime += milliseconds(99);
  pacer.Progress(0.9);  // within the next tenth of a second: nothing more
  EXPECT_EQ(out.events.back().second, 50);
  testTime += milliseconds(1);
  pacer.Progress(0.7);
  EXPECT_EQ(out.events.back().second, 70);
  pacer.Finish();
  EXPECT_EQ(out.events.back().second, 100);
}

TEST(OrderingColumns, CintOfEachPassDownToThree) {
  EXPECT_EQ(OrderingColumns(3), (std::vector<int>{4, 3, 2}));
  EXPECT_EQ(OrderingColumns(2.5f), (std::vector<int>{3}));  // 4.5 -> 5 is beyond the rows
  EXPECT_EQ(OrderingColumns(2.4f), (std::vector<int>{3, 2}));
  EXPECT_TRUE(OrderingColumns(0).empty());
  EXPECT_TRUE(OrderingColumns(-1).empty());
  EXPECT_EQ(LetterColumns(2.5f), 2);
  EXPECT_EQ(LetterColumns(-0.5f), 0);
}

TEST(TermText, Forms) {
  auto text = [](std::vector<double> row) {
    return TermText(row.data(), static_cast<int>(row.size()) - 2, PlainLetter);
  };
  EXPECT_EQ(text({1, 26, 2, 1}), "+26a2b");
  EXPECT_EQ(text({-1, 3, 0, 0}), "-3");
  EXPECT_EQ(text({1, 1, 1, 0}), "+a");
  EXPECT_EQ(text({1, 1, 0, 0}), "+1");
  EXPECT_EQ(text({2, 1, 0, 3}), "-b3");  // any sign other than 1 is written "-"
  EXPECT_EQ(text({1, 0.5, 1.5, 0}), "+.5a1.5");
  EXPECT_EQ(text({1, 1e16, 1, 0}), "+1D+016a");
  EXPECT_EQ(NumberText(123456789012345), "123456789012345");
  // Whole numbers on either side of the 15 digits written as they are read
  // the same as STR$ without its sign position.
  for (double v : {0.0, -0.0, 1.0, 9.0, 10.0, -7.0, 999999999999999.0, 1e15, 1e15 + 2, 9007199254740992.0, 2.5}) {
    std::string str;
    rt::AppendNumber(str, std::fabs(v), rt::Precision::Double, rt::kSignNegative);
    EXPECT_EQ(NumberText(v), str) << v;
  }
  EXPECT_EQ(NumberText(1e15), "1D+015");
}

}  // namespace
}  // namespace poly::test
