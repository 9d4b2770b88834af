// The grid as the page draws it: three words a cell (the character, the
// colour of its text, the colour behind it), computed from the screen with
// the colour rule of every display.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/platform/display.h"

namespace platform {

// Word 0: the code point of the character that starts in the cell (0 for
// the second cell of a double-width character), with kWide set when it takes
// two cells. Word 1: the text colour 0xRRGGBB. Word 2: the background colour
// 0xRRGGBB, with kOpaque set when the cell draws it.
constexpr uint32_t kWide = 1u << 31;
constexpr uint32_t kOpaque = 1u << 24;

void FillCells(const ScreenSource& screen, std::vector<uint32_t>& cells);

}  // namespace platform
