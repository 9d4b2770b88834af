// The text screen: a single write of ten million progress marks, alone and
// drawn through the stream display (to /dev/null); the cost must follow the
// length, and only what stays on the screen is kept.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "runtime/host/text_screen.h"
#include "runtime/platform/display.h"

namespace {

const std::string kMarks(10000000, '+');

void WriteTenMillionMarks(benchmark::State& state) {
  for (auto _ : state) {
    host::TextScreen screen;
    screen.Write(kMarks);
    benchmark::DoNotOptimize(screen.Version());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kMarks.size()));
}
BENCHMARK(WriteTenMillionMarks)->Unit(benchmark::kMillisecond);

void WriteTenMillionMarksToStream(benchmark::State& state) {
  int null = open("/dev/null", O_WRONLY);
  for (auto _ : state) {
    auto display = platform::CreateStreamDisplay(0, null);
    host::TextScreen screen;
    screen.SetDrawObserver([&](const char* b, size_t n) { display->TextDrawn(b, n); });
    screen.Write(kMarks);
    display->Present();
  }
  close(null);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kMarks.size()));
}
BENCHMARK(WriteTenMillionMarksToStream)->Unit(benchmark::kMillisecond);

}  // namespace
