// CP932 (Shift-JIS) <-> UTF-8 at the edge of the system: drawing and
// printing text, typed text, file names, the clipboard, the registry store.
#pragma once

#include <cstdint>
#include <cstring>

#include <string>
#include <string_view>

namespace platform {

// A converter that keeps state across calls, so that a double-byte
// character split between two writes converts as one character.
class Converter {
 public:
  Converter(const char* to, const char* from);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts what can be converted; an incomplete sequence at the end waits
  // for the next call. A character that cannot be converted becomes one "?"
  // (from UTF-8: the whole character, however many bytes it has).
  std::string Convert(std::string_view in);
  // True while bytes of an incomplete sequence are held back.
  bool Pending() const { return !held_.empty(); }
  void Reset() { held_.clear(); }

 private:
  void* handle_;  // the system converter (iconv on POSIX), opaque here
  bool fromUtf8_;
  std::string held_;
};

// One-shot conversions of complete texts.
std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);

// True for a Shift-JIS lead byte (0x81 to 0x9F, 0xE0 to 0xFC).
inline bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The number of bytes before the first one of 0x80 or more (length when
// there is none): text is mostly ASCII, which is passed over eight bytes at
// a time.
inline size_t AsciiPrefix(const char* p, size_t length) {
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if (word & 0x8080808080808080ull) break;
  }
  while (i < length && static_cast<unsigned char>(p[i]) < 0x80) ++i;
  return i;
}

}  // namespace platform
