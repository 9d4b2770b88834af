// The CP932 <-> Unicode tables of the web platform, generated at build time
// from the iconv of the machine that builds (tools/cp932_table.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::cp932 {

constexpr uint16_t kNone = 0xFFFF;
// The code point of each single byte (kNone for lead bytes and bytes that are
// no character).
extern const uint16_t kSingle[256];
// The code point of each lead byte (0x81-0x9F, 0xE0-0xFC, in that order)
// and trail byte; kNone where the pair is no character.
extern const uint16_t kDouble[60 * 256];
// Code points above 0x7F with their CP932 bytes (one byte, or lead << 8 |
// trail), ordered by code point.
struct Pair {
  uint16_t code, bytes;
};
extern const Pair kEncode[];
extern const size_t kEncodeCount;

inline int LeadIndex(unsigned char b) { return b <= 0x9F ? b - 0x81 : b - 0xE0 + 31; }

}  // namespace platform::cp932
