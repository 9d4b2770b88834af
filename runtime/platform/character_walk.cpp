#include "runtime/platform/character_walk.h"

#include <cstring>

#include "runtime/platform/encoding.h"

namespace platform {

namespace {

// The bytes a UTF-8 character starting with b should have (1 for a byte that
// starts none).
size_t Utf8Want(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 1;
}

}  // namespace

Conversion ConversionOf(const char* to, const char* from) {
  if (std::strcmp(to, "UTF-8") == 0 && std::strcmp(from, "CP932") == 0) return Conversion::kToUtf8;
  if (std::strcmp(to, "CP932") == 0 && std::strcmp(from, "UTF-8") == 0) return Conversion::kToCp932;
  return Conversion::kNone;
}

std::string ConvertByCharacter(Conversion conversion, std::string& held, std::string_view in,
                               const CharacterConverters& system) {
  std::string input = held;
  input.append(in);
  held.clear();
  if (conversion == Conversion::kNone) return input;
  std::string out;
  out.reserve(input.size() * 3 / 2);
  const auto* p = reinterpret_cast<const unsigned char*>(input.data());
  size_t left = input.size();
  while (left > 0) {
    if (*p < 0x80) {
      out += static_cast<char>(*p++);
      --left;
      continue;
    }
    size_t n = 1;
    if (conversion == Conversion::kToUtf8) {
      if (IsLeadByte(*p)) {
        if (left < 2) {  // its trail byte comes with the next call
          held = std::string(reinterpret_cast<const char*>(p), left);
          break;
        }
        n = 2;
      }
      if (!system.cp932ToUtf8(p, n, out)) {
        out += '?';
        n = 1;
      }
    } else {
      const size_t want = Utf8Want(*p);
      while (n < want && n < left && (p[n] & 0xC0) == 0x80) ++n;
      if (n < want && n == left) {  // the rest of the character comes next
        held = std::string(reinterpret_cast<const char*>(p), left);
        break;
      }
      if (n < want) out += '?';
      else system.utf8ToCp932(p, n, out);
    }
    p += n;
    left -= n;
  }
  return out;
}

}  // namespace platform
