// CP932 <-> UTF-8 from tables made at build time out of the iconv of the
// machine that builds (the WebAssembly C library has no CP932 converter), so
// that every byte converts as it does on Linux: a character that cannot be
// converted becomes one "?", an incomplete one at the end waits for the next
// call.
#include <algorithm>
#include <cstring>

#include "runtime/platform/character_walk.h"
#include "runtime/platform/encoding.h"
#include "runtime/platform/web/cp932_table.h"

namespace platform {

namespace {

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

bool Cp932CharToUtf8(const unsigned char* p, size_t n, std::string& out) {
  const uint16_t code = n == 2 ? cp932::kDouble[cp932::LeadIndex(p[0]) * 256 + p[1]] : cp932::kSingle[p[0]];
  if (code == cp932::kNone) return false;
  AppendUtf8(code, out);
  return true;
}

void Utf8CharToCp932(const unsigned char* p, size_t n, std::string& out) {
  const long code = DecodeUtf8(p, n);
  const cp932::Pair* end = cp932::kEncode + cp932::kEncodeCount;
  const cp932::Pair* at = std::lower_bound(cp932::kEncode, end, code,
                                           [](const cp932::Pair& pair, long c) { return pair.code < c; });
  if (code < 0x80 || at == end || at->code != code) {
    out += '?';
    return;
  }
  if (at->bytes > 0xFF) out += static_cast<char>(at->bytes >> 8);
  out += static_cast<char>(at->bytes & 0xFF);
}

constexpr CharacterConverters kTables{Cp932CharToUtf8, Utf8CharToCp932};

}  // namespace

Converter::Converter(const char* to, const char* from)
    : handle_(reinterpret_cast<void*>(static_cast<uintptr_t>(ConversionOf(to, from)))),
      fromUtf8_(std::strcmp(from, "UTF-8") == 0) {}

Converter::~Converter() = default;

std::string Converter::Convert(std::string_view in) {
  return ConvertByCharacter(static_cast<Conversion>(reinterpret_cast<uintptr_t>(handle_)), held_, in, kTables);
}

}  // namespace platform
