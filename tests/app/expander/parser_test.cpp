#include <string>
#include <vector>

#include "app/expander/parser.h"
#include "app/polynomial/term_text.h"
#include "runtime/core/test_host.h"

namespace expander {
namespace {

using rt::test::RuntimeTest;

class ParserTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    parser = std::make_unique<Parser>();
    parser->LetterTable.Dim(26);
    for (int k = 1; k <= 26; ++k) parser->LetterTable(k) = poly::PlainLetter(k).c_str();
  }
  void TearDown() override {
    parser.reset();
    RuntimeTest::TearDown();
  }
  ParseOutcome Parse(const std::string& text) {
    basic::Str t;
    t = text.c_str();
    return parser->ParseExpression(t, [&] { accepted = true; });
  }
  std::vector<double> Row(int f, int m) {
    std::vector<double> row;
    for (int c = 1; c <= parser->letterCount.get() + 2; ++c) row.push_back(parser->TermTable(f, m, c).get());
    return row;
  }
  std::unique_ptr<Parser> parser;
  bool accepted = false;
};

TEST_F(ParserTest, OutcomesAndReportValues) {
  struct Case {
    const char* text;
    ParseOutcome outcome;
    double factors;
    double maxTerms;
    double letters;
    double rows;
  } cases[] = {
      {"(a+b)", ParseOutcome::Accepted, 1, 2, 2, 2},
      {"(a+b)3", ParseOutcome::Accepted, 3, 2, 2, 8},
      {"(a+b)0", ParseOutcome::RecognitionFailed, 0, 0, 2, 1},
      {"(a+b)0(a-b)", ParseOutcome::Accepted, 2, 2, 2, 4},
      {"(a+b)1(a-b)", ParseOutcome::Accepted, 2, 2, 2, 4},
      {"(3)(4)", ParseOutcome::RecognitionFailed, 2, 1, 0, 1},
      {"(-3)(a+b)3", ParseOutcome::Accepted, 4, 2, 2, 16},
      {"(a+c)(a-c)", ParseOutcome::Accepted, 2, 2, 3, 4},
      {"(a+b)10", ParseOutcome::Accepted, 10, 2, 2, 1024},
      {"(a+b)11", ParseOutcome::TooManyFactors, 11, 0, 2, 0},
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", ParseOutcome::TooManyFactors, 11, 0, 11, 0},
      // Ten factors typed are as many as fit; a power that makes one more
      // does not.
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", ParseOutcome::Accepted, 10, 1, 10, 1},
      {"(a)2(b)(c)(d)(e)(f)(g)(h)(i)(j)", ParseOutcome::TooManyFactors, 11, 0, 10, 0},
      {"(-256a+b)2(a+b-c)3(a-c)2", ParseOutcome::Accepted, 7, 3, 3, 972},
      {"(1000a+1)(a-1)", ParseOutcome::Accepted, 2, 2, 1, 4},
      {"(a+b)(a", ParseOutcome::Accepted, 1, 2, 2, 2},  // the lone "(" is dropped
      {"((a+b)", ParseOutcome::Accepted, 1, 1, 2, 1},
      {"(a+b)2.5(c)", ParseOutcome::Accepted, 3, 2, 3, 4},
      {"x3", ParseOutcome::RecognitionFailed, 0, 0, 24, 1},
      // A huge power decides the outcome without building the text.
      {"(a+b)99999999", ParseOutcome::TooManyFactors, 11, 0, 2, 0},
  };
  for (const Case& c : cases) {
    accepted = false;
    ParseOutcome outcome = Parse(c.text);
    EXPECT_EQ(outcome, c.outcome) << c.text;
    EXPECT_EQ(accepted, c.outcome == ParseOutcome::Accepted) << c.text;
    EXPECT_EQ(parser->factorCount.get(), c.factors) << c.text;
    EXPECT_EQ(parser->letterCount.get(), c.letters) << c.text;
    if (outcome != ParseOutcome::TooManyFactors) {
      EXPECT_EQ(parser->maxTermCount.get(), c.maxTerms) << c.text;
      EXPECT_EQ(parser->productRowCount.get(), c.rows) << c.text;
    }
    parser->Release();
  }
}

TEST_F(ParserTest, TermRows) {
  ASSERT_EQ(Parse("(26a2b+c)(3a-2b2)(2ab-1)"), ParseOutcome::Accepted);
  EXPECT_EQ(Row(1, 1), (std::vector<double>{1, 26, 2, 1, 0}));
  EXPECT_EQ(Row(1, 2), (std::vector<double>{1, 1, 0, 0, 1}));
  EXPECT_EQ(Row(2, 2), (std::vector<double>{-1, 2, 0, 2, 0}));
  EXPECT_EQ(Row(3, 1), (std::vector<double>{1, 2, 1, 1, 0}));
  EXPECT_EQ(Row(3, 2), (std::vector<double>{-1, 1, 0, 0, 0}));
  parser->Release();

  ASSERT_EQ(Parse("(ab+A)(-3)(b)"), ParseOutcome::Accepted);
  EXPECT_EQ(Row(1, 1), (std::vector<double>{1, 1, 1, 1}));
  EXPECT_EQ(Row(1, 2), (std::vector<double>{1, 0, 0, 0}));  // A is not a letter: constant 0
  EXPECT_EQ(Row(2, 1), (std::vector<double>{1, 0, 0, 0}));  // the empty term before -3
  EXPECT_EQ(Row(2, 2), (std::vector<double>{-1, 3, 0, 0}));
  EXPECT_EQ(parser->TermTexts(2, 1).view(), "+");
  parser->Release();

  // A letter written twice takes its later exponent; 0a1 has coefficient 0;
  // a stray asterisk is marked like a letter; VAL stops at what is no digit.
  ASSERT_EQ(Parse("(a2ba3+0a+2*b+3X)(c)"), ParseOutcome::Accepted);
  EXPECT_EQ(Row(1, 1), (std::vector<double>{1, 1, 3, 1, 0}));
  EXPECT_EQ(Row(1, 2), (std::vector<double>{1, 0, 1, 0, 0}));
  EXPECT_EQ(Row(1, 3), (std::vector<double>{1, 2, 0, 1, 0}));
  EXPECT_EQ(Row(1, 4), (std::vector<double>{1, 3, 0, 0, 0}));
}

TEST_F(ParserTest, TablesAreDimensionedAfterAcceptance) {
  bool termTableAtCallback = true;
  basic::Str t;
  t = "(a+b)(a-b)";
  parser->ParseExpression(t, [&] { termTableAtCallback = parser->TermTable.dimensioned(); });
  EXPECT_FALSE(termTableAtCallback);
  EXPECT_TRUE(parser->TermTable.dimensioned());
}

TEST_F(ParserTest, LimitsFailAsSubscriptErrors) {
  // Nine sign characters in one factor overflow the sign-position list.
  ExpectError([&] { Parse("(a+b+c+d+e+f+g+h+i+j)(a)"); }, 9, 0xBF02);
  EXPECT_EQ(host.reports.back().line, 2083);
  EXPECT_EQ(host.reports.back().module, "");  // the test runs no module
  parser->Release();
  EXPECT_EQ(Parse("(a+b+c+d+e+f+g+h+i)(a)"), ParseOutcome::Accepted);  // eight are fine
  parser->Release();
  // More letter characters in a term than letterCount.
  ExpectError([&] { Parse("(aaa+b)(a)"); }, 9, 0xBF02);
  EXPECT_EQ(host.reports.back().line, 2122);
  parser->Release();
  EXPECT_EQ(Parse("(aa+b)(a)"), ParseOutcome::Accepted);
}

// A very long term (an expression file may hold one) is parsed in work
// proportional to its length: its implicit exponents are marked in one
// pass, not by growing a string a character at a time, which churned the
// string heap quadratically (thousands of compactions here, not hundreds).
TEST_F(ParserTest, ALongTermIsParsedInLinearWork) {
  const std::string text = "(a" + std::string(100000, '0') + "2b" + std::string(50000, '0') + "3+c)(a+b)";
  const size_t before = rt::GetHeapInfo().compactions;
  EXPECT_EQ(Parse(text), ParseOutcome::Accepted);
  EXPECT_EQ(Row(1, 1), (std::vector<double>{1, 1, 2, 3, 0}));
  EXPECT_LT(rt::GetHeapInfo().compactions - before, 1500u);
}

}  // namespace
}  // namespace expander
