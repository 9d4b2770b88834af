// READ over the DATA area of a module.
//
// The DATA area is a sequence of lines, each a NUL byte, the u16 source line
// number of the DATA statement (little-endian) and the item text as written;
// a line number of 0 ends the area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace rt {

struct DataLine {
  int16_t line;
  std::string_view items;  // as written in the source, for example "a","b"
};

// Builds the DATA area from the module's DATA statements in source order.
std::vector<uint8_t> BuildDataArea(std::initializer_list<DataLine> lines);

// One variable of a READ or INPUT statement: its address and type code.
struct VarRef {
  void* address;
  uint8_t type;
};

// READ: reads the next DATA items into the listed variables, in order.
void Read(const VarRef* vars, size_t count);

}  // namespace rt
