// The fast engine against the reference on seeded random expressions and on
// hand-picked hard cases: the same surviving rows in the same order, the same
// bits, the same progress marks and the same run-time errors.
#include <cstring>
#include <random>

#include "engine_harness.h"
#include "runtime/core/test_host.h"

namespace poly::test {
namespace {

using rt::test::RuntimeTest;

class ExpressionGenerator {
 public:
  explicit ExpressionGenerator(uint32_t seed) : rng_(seed) {}

  std::string Next() {
    for (;;) {
      std::string text = Try();
      if (!text.empty()) return text;
    }
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % n); }

  std::string Coefficient() {
    static const char* kBig[] = {"99999999", "123456789", "4294967311", "9007199254740993",
                                 "1D15", "65536", "3037000499"};
    int r = Pick(100);
    if (r < 40) return "";
    if (r < 45) return "0";
    if (r < 50) return "1";
    if (r < 78) return std::to_string(2 + Pick(11));
    if (r < 93) return kBig[Pick(7)];
    if (r < 97) return Pick(2) ? "0.5" : "0.1";
    return "1.5";
  }

  std::string Term() {
    std::string t = Coefficient();
    int letters = Pick(4);
    std::string used;
    for (int i = 0; i < letters; ++i) {
      char c = pool_[Pick(static_cast<int>(pool_.size()))];
      if (used.find(c) != std::string::npos) continue;
      used += c;
      t += c;
      int e = Pick(10);
      if (e >= 7) t += std::to_string(e - 5);
      else if (e == 6 && Pick(20) == 0) t += "1D15";
    }
    if (t.empty()) t = std::to_string(1 + Pick(9));
    return t;
  }

  std::string Try() {
    static const char* kPools[] = {"ab", "abc", "abcde", "amz", "bdfhz", "xyz", "abcdefghijklmnopqrstuvwxyz"};
    pool_ = kPools[Pick(7)];
    int target = 2 + Pick(9);
    std::string text;
    double rows = 1;
    int factors = 0;
    std::vector<std::string> previous;
    while (factors < target) {
      std::string f = "(";
      int terms = 1 + Pick(4);
      bool leadingSign = Pick(10) < 3;
      int count = leadingSign ? 1 : 0;
      for (int i = 0; i < terms; ++i) {
        std::string term = Term();
        if (i > 0 || leadingSign) f += Pick(2) ? "+" : "-";
        f += term;
        ++count;
        // Cancellations: the same term again with the other sign.
        if (Pick(6) == 0 && count < 8) {
          f += (Pick(2) ? "-" : "+") + term;
          ++count;
        }
      }
      f += ")";
      int power = 1;
      if (Pick(6) == 0) power = 2 + Pick(2);
      if (factors + power > target) power = 1;
      if (!previous.empty() && Pick(8) == 0) f = previous[Pick(static_cast<int>(previous.size()))];
      previous.push_back(f);
      text += f;
      if (power > 1) text += std::to_string(power);
      for (int p = 0; p < power; ++p) rows *= count == 0 ? 1 : count;
      factors += power;
    }
    if (rows > 150) return "";
    return text;
  }

  std::mt19937 rng_;
  std::string pool_;
};

void ExpectSame(const Outcome& ref, const Outcome& fast, const std::string& text) {
  ASSERT_EQ(ref.parse, fast.parse) << text;
  ASSERT_EQ(ref.product, fast.product) << text;
  ASSERT_EQ(ref.errorNumber, fast.errorNumber) << text;
  ASSERT_EQ(ref.errorLine, fast.errorLine) << text;
  ASSERT_EQ(ref.errorInPrepare, fast.errorInPrepare) << text;
  ASSERT_EQ(ref.progress, fast.progress) << text;
  ASSERT_EQ(ref.rows.letterCount, fast.rows.letterCount) << text;
  const std::vector<double> refCells = ref.rows.Cells(), fastCells = fast.rows.Cells();
  ASSERT_EQ(refCells.size(), fastCells.size()) << text << "\n" << ref.Answer() << "\n" << fast.Answer();
  ASSERT_TRUE(refCells.empty() || std::memcmp(refCells.data(), fastCells.data(), refCells.size() * sizeof(double)) == 0)
      << text << "\n" << ref.Answer() << "\n" << fast.Answer();
  ASSERT_EQ(ref.Answer(), fast.Answer()) << text;
}

class EngineDifferential : public RuntimeTest {};

// Four shards of 2,500 expressions each, so that the test run can spread them
// over the cores. The sanitizer build runs fewer.
#ifdef TESSEL_SANITIZE
constexpr int kPerShard = 250;
#else
constexpr int kPerShard = 2500;
#endif

class RandomExpressions : public RuntimeTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RandomExpressions, AgreeWithTheReference) {
  ExpressionGenerator gen(GetParam());
  int products = 0;
  for (int i = 0; i < kPerShard; ++i) {
    std::string text = gen.Next();
    Outcome ref = RunExpression(host, text, false);
    Outcome fast = RunExpression(host, text, true);
    ExpectSame(ref, fast, text);
    if (HasFailure()) return;
    products += ref.product && ref.errorNumber == 0;
  }
  EXPECT_GT(products, kPerShard * 9 / 10);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomExpressions, ::testing::Values(20261208u, 1u, 77u, 4099u));

// Factors as polymul reads them from saved files: two to four files over 1
// to 26 letters, with exponents up to 200,000, below 5, or fractions. The
// terms take their monomials from a small pool, so that products meet in
// classes, merge and cancel; a few have the coefficient 0.
class RandomFiles : public RuntimeTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RandomFiles, AgreeWithTheReference) {
  std::mt19937 rng(GetParam());
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  const int kLetters[] = {1, 2, 3, 9, 26};
  for (int i = 0; i < kPerShard / 4; ++i) {
    Factors f;
    const int files = 2 + pick(3), letters = kLetters[pick(5)];
    // Large exponents, small ones, or halves and other fractions among
    // small whole ones (as a hand-made file may hold them).
    const int kind = pick(3);
    auto exponent = [&]() -> double {
      if (pick(3)) return 0;
      if (kind == 0) return pick(200001);
      if (kind == 1 || pick(2)) return pick(5);
      const double fractions[] = {0.5, 1.5, 2.5, 0.25, 0.1, 1.0 / 3};
      return fractions[pick(6)];
    };
    f.factorCount = files;
    f.letterCount = static_cast<float>(letters);
    f.tableColumns = letters + 2;
    std::vector<std::vector<double>> pool(2 + pick(6));
    for (auto& monomial : pool)
      for (int k = 0; k < letters; ++k) monomial.push_back(exponent());
    double rows = 1;
    for (int file = 0; file < files; ++file) {
      const int terms = 1 + pick(rows > 40 ? 3 : 12);
      rows *= terms;
      f.terms.emplace_back();
      for (int t = 0; t < terms; ++t) {
        std::vector<double> term = {pick(2) ? 1.0 : -1.0, pick(25) ? 1.0 + pick(999) : 0.0};
        const auto& monomial = pool[static_cast<size_t>(pick(static_cast<int>(pool.size())))];
        term.insert(term.end(), monomial.begin(), monomial.end());
        f.terms.back().push_back(term);
      }
    }
    const std::string what = "seed " + std::to_string(GetParam()) + " case " + std::to_string(i);
    ExpectSame(RunFactors(host, f, false), RunFactors(host, f, true), what);
    if (HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomFiles, ::testing::Values(3u, 25u));

TEST_F(EngineDifferential, HardCases) {
  const char* cases[] = {
      "(a-a+b)(a+b)",
      "(a+b-a)(a-b+a)(b-a)",
      "(-a+a)(-b+b)",
      "(0a+b)(a+0b)",
      "(0)(a+b)",
      "(9007199254740993a+1)(9007199254740993a-1)",
      "(99999999a+99999999b+99999999c)4",
      "(0.1a+0.2b)(0.3a-0.1b)(a+b)",
      "(0.1a-0.1a+0.1a)(b+0.1a)",
      "(1D300a+b)(1D10a+b)",
      "(1D300a+b)(1D300a+b)",
      "(a1D308+b)(a1D308+b)",
      "(a1D15+b)(a1D15-b)",
      "(z+a)(z-a)(m)",
      "(a+b+c+d+e+f+g+h+i)(a-b-c-d-e-f-g-h-i)",
      "(3037000499a+3037000499b)(3037000499a-3037000499b)",
      "(-3)(a+b)3",
      "(a+b)(a",
      "(a2b3+a3b2)(a3b2-a2b3)(ab)",
      // Packed exponent keys of exactly 128 bits, and of 129.
      "(a562949953421312b562949953421312c16777216d0+a)(a562949953421312b562949953421312c16777216d0-b)",
      "(a562949953421312b562949953421312c16777216d1+a)(a562949953421312b562949953421312c16777216d1-b)",
      // Coefficients and their products on either side of 2^53.
      "(9007199254740991a+1)(a+1)",
      "(9007199254740992a+1)(a-1)",
      "(94906265a+1)(94906265a-1)",
      "(94906266a+1)(94906266a-1)",
      // An exponent one below 10^15, where the text of a term changes form.
      "(a999999999999999+b)(a999999999999999-b)",
      // Exponent sums beyond 2^53, where different sums round to one double:
      // the classes merge, and the ordering sees equal keys.
      "(a999999999999999)(a999999999999999)(a999999999999999)(a999999999999999)(a999999999999999)"
      "(a999999999999999)(a999999999999999)(a999999999999999)(a999999999999999)(a100000000000000+a100000000000001)",
      "(a999999999999999)(a999999999999999)(a999999999999999)(a999999999999999)(a999999999999999)"
      "(a999999999999999)(a999999999999999)(a999999999999999)(a999999999999999)"
      "(a100000000000001b+a100000000000000b2)",
  };
  for (const char* text : cases) {
    ExpectSame(RunExpression(host, text, false), RunExpression(host, text, true), text);
  }
}

}  // namespace
}  // namespace poly::test
