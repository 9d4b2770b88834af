// Throughput of the run-time core: string churn through the heap and the
// string stack, and the number texts of PRINT/STR$ and VAL.
#include <benchmark/benchmark.h>

#include "null_host.h"

#include <random>
#include <string>
#include <vector>

#include "runtime/core/basic.h"

namespace {


bench::NullHost host;

void StringAssignment(benchmark::State& state) {
  rt::InitRuntime(&host, 10);
  {
    basic::Str a, b;
    b = "a string of some thirty-two bytes";
    for (auto _ : state) {
      a = b;
      benchmark::DoNotOptimize(a.value().data);
    }
  }
  rt::ShutdownRuntime();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(StringAssignment);

void StringConcatChurn(benchmark::State& state) {
  rt::InitRuntime(&host, 10);
  {
    basic::Str s, t;
    t = "term";
    for (auto _ : state) {
      s = basic::Mid(t, 2, 2147483647) + "+" + basic::StrSng(12.5) + t;
      benchmark::DoNotOptimize(s.value().data);
    }
  }
  rt::ShutdownRuntime();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(StringConcatChurn);

std::vector<double> Doubles(bool wholes) {
  std::mt19937_64 rng(7);
  std::vector<double> v(4096);
  for (double& d : v) {
    if (wholes) d = static_cast<double>(rng() % 1000000);
    else d = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 200) - 150);
  }
  return v;
}

void FormatDoubleWhole(benchmark::State& state) {
  auto values = Doubles(true);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(rt::FormatNumber(values[i++ & 4095], rt::Precision::Double, 2));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FormatDoubleWhole);

void FormatDoubleFraction(benchmark::State& state) {
  auto values = Doubles(false);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(rt::FormatNumber(values[i++ & 4095], rt::Precision::Double, 2));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FormatDoubleFraction);

void FormatSingle(benchmark::State& state) {
  auto values = Doubles(false);
  size_t i = 0;
  for (auto _ : state) {
    float f = static_cast<float>(values[i++ & 4095]);
    benchmark::DoNotOptimize(rt::FormatNumber(f, rt::Precision::Single, 2));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FormatSingle);

void ScanNumbers(benchmark::State& state) {
  std::vector<std::string> texts;
  for (double d : Doubles(false)) texts.push_back(rt::FormatNumber(d, rt::Precision::Double, 2));
  for (double d : Doubles(true)) texts.push_back(rt::FormatNumber(d, rt::Precision::Double, 2));
  size_t i = 0;
  for (auto _ : state) {
    const std::string& t = texts[i++ % texts.size()];
    benchmark::DoNotOptimize(rt::ScanNumber(t, 0, rt::WantedType::Auto));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ScanNumbers);

}  // namespace
