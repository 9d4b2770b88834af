// The polynomial engines: the reference against the fast engine where the
// reference finishes, the fast engine alone on the large cases, and the
// ordering of a large answer. Progress marks are counted, not printed.
#include <benchmark/benchmark.h>

#include "null_host.h"

#include <random>
#include <string>

#include "app/expander/parser.h"
#include "app/polynomial/exchange_order.h"
#include "app/polynomial/polynomial.h"
#include "app/polynomial/term_text.h"

#ifdef TESSEL_HAVE_FLINT
#include <flint/fmpz_mpoly.h>
#endif

namespace {


class CountingOutput : public poly::ProgressOutput {
 public:
  void Marks(double n) override { marks += n; }
  void BeginCollection() override {}
  double marks = 0;
};

bench::NullHost host;

poly::Factors Parse(const std::string& text) {
  rt::InitRuntime(&host, 10);
  expander::Parser parser;
  parser.LetterTable.Dim(26);
  for (int k = 1; k <= 26; ++k) parser.LetterTable(k) = poly::PlainLetter(k).c_str();
  basic::Str t;
  t = text.c_str();
  parser.ParseExpression(t, nullptr);
  return parser.Factors();
}

void RunEngine(benchmark::State& state, const std::string& text, bool fast) {
  poly::Factors factors = Parse(text);
  size_t terms = 0;
  double marks = 0;
  for (auto _ : state) {
    auto engine = fast ? poly::MakeFastEngine() : poly::MakeReferenceEngine();
    CountingOutput out;
    engine->Expand(factors, out);
    engine->Collect(out);
    terms = engine->Ordered().count();
    marks = out.marks;
  }
  state.counters["terms"] = static_cast<double>(terms);
  state.counters["marks"] = marks;
}

void Reference_ABCDE_4(benchmark::State& s) { RunEngine(s, "(a+b+c+d+e)4", false); }
void Fast_ABCDE_4(benchmark::State& s) { RunEngine(s, "(a+b+c+d+e)4", true); }
void Reference_Intro(benchmark::State& s) { RunEngine(s, "(-256a+b)2(a+b-c)3(a-c)2", false); }
void Fast_Intro(benchmark::State& s) { RunEngine(s, "(-256a+b)2(a+b-c)3(a-c)2", true); }
void Fast_ABCDE_10(benchmark::State& s) { RunEngine(s, "(a+b+c+d+e)10", true); }
void Fast_ABCDEFGHI_10(benchmark::State& s) { RunEngine(s, "(a+b+c+d+e+f+g+h+i)10", true); }
void Fast_Big_Coefficients(benchmark::State& s) {
  RunEngine(s, "(99999999a+99999999b+99999999c)10", true);
}
void Reference_Big_Coefficients_5(benchmark::State& s) {
  RunEngine(s, "(99999999a+99999999b+99999999c)5", false);
}
void Fast_Big_Coefficients_5(benchmark::State& s) {
  RunEngine(s, "(99999999a+99999999b+99999999c)5", true);
}

BENCHMARK(Reference_ABCDE_4)->Unit(benchmark::kMillisecond);
BENCHMARK(Fast_ABCDE_4)->Unit(benchmark::kMillisecond);
BENCHMARK(Reference_Intro)->Unit(benchmark::kMillisecond);
BENCHMARK(Fast_Intro)->Unit(benchmark::kMillisecond);
BENCHMARK(Reference_Big_Coefficients_5)->Unit(benchmark::kMillisecond);
BENCHMARK(Fast_Big_Coefficients_5)->Unit(benchmark::kMillisecond);
BENCHMARK(Fast_ABCDE_10)->Unit(benchmark::kMillisecond);
BENCHMARK(Fast_ABCDEFGHI_10)->Unit(benchmark::kMillisecond);
BENCHMARK(Fast_Big_Coefficients)->Unit(benchmark::kMillisecond);

// The ordering passes of a 100,000-term answer over five letters.
void Ordering_100000_Terms(benchmark::State& state) {
  std::mt19937 rng(3);
  poly::AnswerRows rows;
  rows.letterCount = 5;
  for (int i = 0; i < 100000; ++i) {
    rows.cells.insert(rows.cells.end(), {1, static_cast<double>(i)});
    for (int k = 0; k < 5; ++k) rows.cells.push_back(static_cast<double>(rng() % 20));
  }
  for (auto _ : state) {
    poly::AnswerRows copy = rows;
    poly::ExchangeSortPasses(copy);
    benchmark::DoNotOptimize(copy.cells.data());
  }
}
BENCHMARK(Ordering_100000_Terms)->Unit(benchmark::kMillisecond);

// The ordering passes of the 1,073,948-term answer of seven nine-letter
// factors over the alphabet, in the compact form the fast engine gives.
void Ordering_Seven_Factors(benchmark::State& state) {
  std::string text;
  for (int k = 0; k < 7; ++k) {
    text += "(";
    for (int j = 0; j < 9; ++j) text += std::string(j ? "+" : "") + static_cast<char>('a' + (7 * k + j) % 26);
    text += ")";
  }
  poly::Factors factors = Parse(text);
  auto engine = poly::MakeFastEngine();
  CountingOutput out;
  engine->Expand(factors, out);
  engine->Collect(out);
  // The engine's answer is ordered already; its rows are ordered again.
  const poly::AnswerRows rows = engine->Ordered();
  for (auto _ : state) {
    poly::AnswerRows copy = rows;
    poly::ExchangeSortPasses(copy);
    benchmark::DoNotOptimize(copy.keys.data());
  }
  state.counters["terms"] = static_cast<double>(rows.count());
}
BENCHMARK(Ordering_Seven_Factors)->Unit(benchmark::kMillisecond);

#ifdef TESSEL_HAVE_FLINT
// The same products with FLINT's multiplication alone, beside the fast
// engine's expansion, collection and ordering: each factor is read once,
// outside the timing; the timing covers the powers and the products.
void FlintProduct(benchmark::State& state, const std::vector<std::pair<std::string, unsigned long>>& factors,
                  int letters) {
  static const char* kNames[26] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
                                   "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z"};
  fmpz_mpoly_ctx_t ctx;
  fmpz_mpoly_ctx_init(ctx, letters, ORD_DEGLEX);
  std::vector<fmpz_mpoly_struct> read(factors.size());
  for (size_t i = 0; i < factors.size(); ++i) {
    fmpz_mpoly_init(&read[i], ctx);
    fmpz_mpoly_set_str_pretty(&read[i], factors[i].first.c_str(), kNames, ctx);
  }
  long terms = 0;
  for (auto _ : state) {
    fmpz_mpoly_t product, power;
    fmpz_mpoly_init(product, ctx);
    fmpz_mpoly_init(power, ctx);
    fmpz_mpoly_set_ui(product, 1, ctx);
    for (size_t i = 0; i < factors.size(); ++i) {
      fmpz_mpoly_pow_ui(power, &read[i], factors[i].second, ctx);
      fmpz_mpoly_mul(product, product, power, ctx);
    }
    terms = fmpz_mpoly_length(product, ctx);
    fmpz_mpoly_clear(power, ctx);
    fmpz_mpoly_clear(product, ctx);
  }
  for (auto& p : read) fmpz_mpoly_clear(&p, ctx);
  fmpz_mpoly_ctx_clear(ctx);
  state.counters["terms"] = static_cast<double>(terms);
}

std::vector<std::pair<std::string, unsigned long>> NineLetterFactors(int count) {
  std::vector<std::pair<std::string, unsigned long>> factors;
  for (int k = 0; k < count; ++k) {
    std::string f;
    for (int j = 0; j < 9; ++j) f += std::string(j ? "+" : "") + static_cast<char>('a' + (7 * k + j) % 26);
    factors.push_back({f, 1});
  }
  return factors;
}

void Flint_ABCDE_10(benchmark::State& s) { FlintProduct(s, {{"a+b+c+d+e", 10}}, 5); }
void Flint_ABCDEFGHI_10(benchmark::State& s) { FlintProduct(s, {{"a+b+c+d+e+f+g+h+i", 10}}, 9); }
void Flint_Seven_Factors(benchmark::State& s) { FlintProduct(s, NineLetterFactors(7), 26); }
void Fast_Seven_Factors(benchmark::State& s) {
  std::string text;
  for (const auto& f : NineLetterFactors(7)) text += "(" + f.first + ")";
  RunEngine(s, text, true);
}
BENCHMARK(Flint_ABCDE_10)->Unit(benchmark::kMillisecond);
BENCHMARK(Flint_ABCDEFGHI_10)->Unit(benchmark::kMillisecond);
BENCHMARK(Flint_Seven_Factors)->Unit(benchmark::kMillisecond);
BENCHMARK(Fast_Seven_Factors)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
