// The converters between CP932 and UTF-8: text given in pieces converts as
// the whole text does, in both directions.
#include <string>
#include <string_view>

#include "runtime/platform/encoding.h"

namespace {

void Piecewise(const char* to, const char* from, std::string_view text, const uint8_t* cuts, size_t cutCount,
               std::string (*whole)(std::string_view)) {
  platform::Converter c(to, from);
  std::string out;
  size_t at = 0;
  for (size_t i = 0; i < cutCount && at < text.size(); ++i) {
    size_t n = cuts[i] % 8;
    if (n > text.size() - at) n = text.size() - at;
    out += c.Convert(text.substr(at, n));
    at += n;
  }
  out += c.Convert(text.substr(at));
  if (c.Pending()) out += '?';
  if (out != whole(text)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const size_t cutCount = data[0] % 32;
  if (size < 1 + cutCount) return 0;
  const uint8_t* cuts = data + 1;
  std::string_view text(reinterpret_cast<const char*>(data) + 1 + cutCount, size - 1 - cutCount);
  Piecewise("UTF-8", "CP932", text, cuts, cutCount, platform::Cp932ToUtf8);
  Piecewise("CP932", "UTF-8", text, cuts, cutCount, platform::Utf8ToCp932);
  return 0;
}
