#include "runtime/platform/web/page_cells.h"

#include "runtime/platform/encoding.h"
#include "runtime/platform/web/cp932_table.h"

namespace platform {
namespace {

uint32_t Packed(Rgb c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }

}  // namespace

void FillCells(const ScreenSource& screen, std::vector<uint32_t>& cells) {
  const int columns = screen.Columns(), rows = screen.Rows();
  cells.assign(static_cast<size_t>(columns) * rows * 3, 0);
  for (int r = 0; r < rows; ++r) {
    const uint8_t* chars = screen.RowChars(r);
    const uint8_t* colors = screen.RowColors(r);
    const uint8_t* attrs = screen.RowAttributes(r);
    uint32_t* row = cells.data() + static_cast<size_t>(r) * columns * 3;
    for (int c = 0; c < columns;) {
      // A double-byte character takes its cell and the next, in the colours
      // of its first; one cut by the edge of the grid is shown as "?".
      int n = 1;
      uint32_t code = chars[c];
      if (IsLeadByte(chars[c])) {
        if (c + 1 < columns) {
          n = 2;
          code = cp932::kDouble[cp932::LeadIndex(chars[c]) * 256 + chars[c + 1]];
        } else {
          code = cp932::kNone;
        }
      } else if (code >= 0x80) {
        code = cp932::kSingle[code];
      }
      if (code == cp932::kNone) code = '?';
      const CellColors cc = ColorsOf(colors[c], attrs[c], screen.BackColor());
      for (int k = 0; k < n; ++k) {
        uint32_t* cell = row + (c + k) * 3;
        cell[0] = k == 0 ? (code | (n == 2 ? kWide : 0)) : 0;
        cell[1] = Packed(cc.text);
        cell[2] = Packed(cc.back) | (cc.opaque ? kOpaque : 0);
      }
      c += n;
    }
  }
}

}  // namespace platform
