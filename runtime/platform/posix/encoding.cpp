#include "runtime/platform/encoding.h"

#include <iconv.h>

#include <cerrno>

namespace platform {

namespace {

// The length of the UTF-8 character starting at p (left bytes available):
// its lead byte's length when the continuation bytes follow, else the bytes
// up to the first that does not continue it (at least 1).
size_t Utf8CharLength(const unsigned char* p, size_t left) {
  const unsigned char b = p[0];
  size_t want = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b <= 0xDF ? 2 : 1;
  if (b > 0xF4) want = 1;
  size_t n = 1;
  while (n < want && n < left && (p[n] & 0xC0) == 0x80) ++n;
  return n;
}

}  // namespace

Converter::Converter(const char* to, const char* from)
    : handle_(iconv_open(to, from)), fromUtf8_(std::string_view(from) == "UTF-8") {}

Converter::~Converter() {
  if (handle_ != reinterpret_cast<iconv_t>(-1)) iconv_close(static_cast<iconv_t>(handle_));
}

std::string Converter::Convert(std::string_view in) {
  std::string input = held_;
  input.append(in);
  held_.clear();
  std::string out;
  if (handle_ == reinterpret_cast<iconv_t>(-1)) return input;
  iconv_t cd = static_cast<iconv_t>(handle_);
  char* src = input.data();
  size_t left = input.size();
  char buffer[1024];
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, dst - buffer);
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (errno == EINVAL) {  // incomplete sequence: keep it for the next call
      held_.assign(src, left);
      break;
    }
    // A character that cannot be converted is shown as one "?": a whole
    // UTF-8 character (one with no Shift-JIS form, or a broken sequence),
    // or one byte of any other encoding.
    size_t skip = fromUtf8_ ? Utf8CharLength(reinterpret_cast<unsigned char*>(src), left) : 1;
    out += '?';
    src += skip;
    left -= skip;
  }
  return out;
}

}  // namespace platform
