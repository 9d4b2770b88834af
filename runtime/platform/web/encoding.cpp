// CP932 <-> UTF-8 from tables made at build time out of the iconv of the
// machine that builds (the WebAssembly C library has no CP932 converter), so
// that every byte converts as it does on Linux: a character that cannot be
// converted becomes one "?", an incomplete one at the end waits for the next
// call.
#include <algorithm>
#include <cstring>

#include "runtime/platform/encoding.h"
#include "runtime/platform/web/cp932_table.h"

namespace platform {

namespace {

enum Direction : uintptr_t { kToUtf8 = 1, kToCp932 = 2, kUnknown = 3 };

void AppendUtf8(unsigned code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The bytes a UTF-8 character starting with b should have (1 for a byte that
// starts none).
size_t Utf8Want(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 1;
}

// The code point of a complete UTF-8 sequence of n bytes, or -1 where it is
// not one a strict decoder accepts (overlong, surrogate, beyond U+10FFFF).
long DecodeUtf8(const unsigned char* p, size_t n) {
  switch (n) {
    case 2: return ((p[0] & 0x1FL) << 6) | (p[1] & 0x3F);
    case 3: {
      long c = ((p[0] & 0x0FL) << 12) | ((p[1] & 0x3FL) << 6) | (p[2] & 0x3F);
      return c < 0x800 || (c >= 0xD800 && c <= 0xDFFF) ? -1 : c;
    }
    case 4: {
      long c = ((p[0] & 0x07L) << 18) | ((p[1] & 0x3FL) << 12) | ((p[2] & 0x3FL) << 6) | (p[3] & 0x3F);
      return c < 0x10000 || c > 0x10FFFF ? -1 : c;
    }
  }
  return -1;
}

// The CP932 bytes of a code point above 0x7F, or 0.
unsigned EncodeCp932(long code) {
  if (code < 0x80 || code > 0xFFFF) return 0;
  const cp932::Pair* end = cp932::kEncode + cp932::kEncodeCount;
  const cp932::Pair* at = std::lower_bound(cp932::kEncode, end, code,
                                           [](const cp932::Pair& p, long c) { return p.code < c; });
  return at != end && at->code == code ? at->bytes : 0;
}

}  // namespace

Converter::Converter(const char* to, const char* from) : fromUtf8_(std::strcmp(from, "UTF-8") == 0) {
  Direction d = kUnknown;
  if (std::strcmp(to, "UTF-8") == 0 && std::strcmp(from, "CP932") == 0) d = kToUtf8;
  if (fromUtf8_ && std::strcmp(to, "CP932") == 0) d = kToCp932;
  handle_ = reinterpret_cast<void*>(static_cast<uintptr_t>(d));
}

Converter::~Converter() = default;

std::string Converter::Convert(std::string_view in) {
  std::string input = held_;
  input.append(in);
  held_.clear();
  const auto direction = static_cast<Direction>(reinterpret_cast<uintptr_t>(handle_));
  if (direction == kUnknown) return input;
  std::string out;
  out.reserve(input.size() * 3 / 2);
  const auto* p = reinterpret_cast<const unsigned char*>(input.data());
  size_t left = input.size();
  while (left > 0) {
    if (*p < 0x80) {  // ASCII is the same in both
      out += static_cast<char>(*p++);
      --left;
      continue;
    }
    size_t n = 1;
    if (direction == kToUtf8) {
      if (IsLeadByte(*p)) {
        if (left < 2) {  // its trail byte comes with the next call
          held_.assign(reinterpret_cast<const char*>(p), left);
          break;
        }
        const uint16_t code = cp932::kDouble[cp932::LeadIndex(p[0]) * 256 + p[1]];
        if (code != cp932::kNone) {
          AppendUtf8(code, out);
          n = 2;
        } else {
          out += '?';  // the lead byte alone; the next byte starts afresh
        }
      } else {
        const uint16_t code = cp932::kSingle[*p];
        if (code != cp932::kNone) AppendUtf8(code, out);
        else out += '?';
      }
    } else {
      const size_t want = Utf8Want(*p);
      while (n < want && n < left && (p[n] & 0xC0) == 0x80) ++n;
      if (n < want && n == left) {  // the rest of the character comes next
        held_.assign(reinterpret_cast<const char*>(p), left);
        break;
      }
      const unsigned bytes = n == want ? EncodeCp932(DecodeUtf8(p, n)) : 0;
      if (bytes > 0xFF) out += static_cast<char>(bytes >> 8);
      if (bytes) out += static_cast<char>(bytes & 0xFF);
      else out += '?';  // no CP932 form, or a broken sequence: one "?" for it
    }
    p += n;
    left -= n;
  }
  return out;
}

}  // namespace platform
