// The converters that convert one character at a time, where there is no
// iconv (Windows' code page tables, the web's generated tables): the walk
// over the input that they share, so that both cut characters, hold back an
// incomplete one and write "?" alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class Conversion : uintptr_t { kToUtf8 = 1, kToCp932 = 2, kNone = 3 };

// The conversion asked for by the names a Converter is made with.
Conversion ConversionOf(const char* to, const char* from);

// The conversions of single characters of a system (p: the character's n
// bytes, above ASCII).
struct CharacterConverters {
  // One CP932 character (1 or 2 bytes) appended as UTF-8; false when the
  // bytes are no character.
  bool (*cp932ToUtf8)(const unsigned char* p, size_t n, std::string& out);
  // One whole UTF-8 sequence appended as CP932, or "?" where it has none.
  void (*utf8ToCp932)(const unsigned char* p, size_t n, std::string& out);
};

// Converts held (bytes of an incomplete character the call before left)
// followed by in. ASCII is the same in both. From CP932 a lead byte takes
// its trail byte; bytes that are no character are one "?" for the first
// byte, the next byte starting afresh. From UTF-8 each sequence is converted
// whole, a broken one is one "?" and the byte that broke it starts afresh.
// An incomplete character at the end is left in held for the next call.
std::string ConvertByCharacter(Conversion conversion, std::string& held, std::string_view in,
                               const CharacterConverters& system);

}  // namespace platform
