// The number grammar on any text, and the text form of numbers read back:
// what the run-time prints of a double or a single reads back as the same
// text (the largest double included), and an infinity or a NaN prints.
#include <cmath>
#include <cstring>
#include <string>

#include "runtime/core/frame.h"
#include "runtime/core/number_format.h"
#include "runtime/core/number_scan.h"
#include "support/recording_host.h"

namespace {

void RoundTrip(double v, rt::Precision precision) {
  const std::string text = rt::FormatNumber(v, precision, rt::kSignBlank);
  if (!std::isfinite(v)) return;
  const rt::WantedType wanted = precision == rt::Precision::Single ? rt::WantedType::Single : rt::WantedType::Double;
  rt::ScanResult r = rt::ScanNumber(text, 0, wanted);
  if (r.status != rt::ScanStatus::Ok || r.end != text.size()) __builtin_trap();
  if (rt::FormatNumber(r.value, precision, rt::kSignBlank) != text) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 200) return 0;
  rt::test::TestHost host;
  rt::InitRuntime(&host, 10);
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (rt::WantedType w : {rt::WantedType::Auto, rt::WantedType::Integer, rt::WantedType::Long,
                           rt::WantedType::Single, rt::WantedType::Double, rt::WantedType::Byte}) {
    rt::ScanNumber(text, 0, w);
    rt::ScanRadix(text, 0, w);
  }
  try {
    rt::ValOf(text);
  } catch (const rt::ProgramEnd&) {
  }
  if (size >= sizeof(double)) {
    double d;
    std::memcpy(&d, data, sizeof d);
    RoundTrip(d, rt::Precision::Double);
    float f;
    std::memcpy(&f, data, sizeof f);
    RoundTrip(f, rt::Precision::Single);
  }
  rt::ShutdownRuntime();
  return 0;
}
