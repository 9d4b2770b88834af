// The one-shot conversions, on the system's converter of each platform.
#include "runtime/platform/encoding.h"

namespace platform {

std::string Cp932ToUtf8(std::string_view cp932) {
  Converter c("UTF-8", "CP932");
  std::string out = c.Convert(cp932);
  if (c.Pending()) out += '?';
  return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
  Converter c("CP932", "UTF-8");
  std::string out = c.Convert(utf8);
  if (c.Pending()) out += '?';
  return out;
}

}  // namespace platform
