#include "runtime/platform/encoding.h"

#include <cerrno>

namespace platform {

Converter::Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

Converter::~Converter() {
  if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
}

std::string Converter::Convert(std::string_view in) {
  std::string input = held_;
  input.append(in);
  held_.clear();
  std::string out;
  if (cd_ == reinterpret_cast<iconv_t>(-1)) return input;
  char* src = input.data();
  size_t left = input.size();
  char buffer[1024];
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    size_t r = iconv(cd_, &src, &left, &dst, &room);
    out.append(buffer, dst - buffer);
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (errno == EINVAL) {  // incomplete sequence: keep it for the next call
      held_.assign(src, left);
      break;
    }
    // An invalid byte: shown as "?" and skipped.
    out += '?';
    ++src;
    --left;
  }
  return out;
}

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
