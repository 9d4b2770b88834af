#include "runtime/host/text_screen.h"

#include <algorithm>
#include <cstring>

#include "runtime/platform/encoding.h"

namespace host {

TextScreen::TextScreen() : buffer_(static_cast<size_t>(kMaxRows) * kRowBytes) {
  ClearRows(0, state_.rows);
}

const uint8_t* TextScreen::Plane(int row, int plane) const {
  int physical = (top_ + row) % state_.rows;
  return buffer_.data() + static_cast<size_t>(physical) * kRowBytes + plane * kMaxColumns;
}

uint8_t* TextScreen::MutablePlane(int row, int plane) { return const_cast<uint8_t*>(Plane(row, plane)); }

void TextScreen::ClearRow(int row) {
  std::memset(MutablePlane(row, 0), ' ', kMaxColumns);
  std::memset(MutablePlane(row, 1), state_.textColor, kMaxColumns);
  std::memset(MutablePlane(row, 2), state_.attribute, kMaxColumns);
  std::memset(MutablePlane(row, 3), 0, kMaxColumns);
}

void TextScreen::ClearRows(int first, int count) {
  for (int r = first; r < first + count && r < state_.rows; ++r) ClearRow(r);
  Changed();
}

void TextScreen::CopyRow(int to, int from) { std::memcpy(MutablePlane(to, 0), Plane(from, 0), kRowBytes); }

// Stores bytes at the cursor without moving it; `draw` tells whether they
// are drawn (a lead byte waiting for its trail byte is stored only).
void TextScreen::Store(const char* bytes, int length) {
  int n = std::min(length, state_.columns - state_.cursorCol);
  if (n <= 0) return;
  std::memcpy(MutablePlane(state_.cursorRow, 0) + state_.cursorCol, bytes, n);
  std::memset(MutablePlane(state_.cursorRow, 1) + state_.cursorCol, state_.textColor, n);
  std::memset(MutablePlane(state_.cursorRow, 2) + state_.cursorCol, state_.attribute, n);
  Changed();
}

namespace {
int Zone(const TextScreenState& s, int row) {
  if (row < s.regionTop) return 0;
  if (s.regionLines > 0 && row < s.regionTop + s.regionLines) return 1;
  return 2;
}
}  // namespace

// One row down, with the three zones: above the scroll region, the region,
// below it.
void TextScreen::NextRow() {
  TextScreenState& s = state_;
  const int old = s.cursorRow;
  const int next = old + 1;
  if (next < s.rows && Zone(s, next) == Zone(s, old)) {
    s.cursorRow = next;
    return;
  }
  switch (Zone(s, old)) {
    case 0:
      ClearRows(0, s.regionTop);
      s.cursorRow = 0;
      break;
    case 2:
      ClearRows(s.regionTop + s.regionLines, s.rows - (s.regionTop + s.regionLines));
      s.cursorRow = std::min(s.regionTop + s.regionLines, s.rows - 1);
      break;
    default: {
      const int last = s.regionTop + s.regionLines - 1;
      if (s.regionTop == 0 && s.regionLines == s.rows) {
        top_ = (top_ + 1) % s.rows;  // the whole grid: turn the ring
      } else {
        for (int r = s.regionTop; r < last; ++r) CopyRow(r, r + 1);
      }
      ClearRow(last);
      s.cursorRow = last;
      s.hasScrolled = true;
      Changed();
    }
  }
}

void TextScreen::Advance(int columns) {
  state_.cursorCol += columns;
  if (state_.cursorCol >= state_.columns) {
    state_.cursorCol = 0;
    NextRow();
  }
}

namespace {
// True when byte `last` of the text starting at a character boundary is a
// lead byte, judged by walking the characters from the start.
bool EndsInLead(const char* p, size_t last) {
  size_t i = platform::AsciiPrefix(p, last);
  while (i < last) i += platform::IsLeadByte(static_cast<unsigned char>(p[i])) ? 2 : 1;
  return i == last && platform::IsLeadByte(static_cast<unsigned char>(p[last]));
}
}  // namespace

namespace {
// True when no byte of the run is a Shift-JIS lead byte: every byte is one
// cell, so where each lands follows from its place in the run.
bool SingleWidth(const char* p, size_t length) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  for (size_t i = platform::AsciiPrefix(p, length); i < length; ++i)
    if (platform::IsLeadByte(b[i])) return false;
  return true;
}
}  // namespace

// A long run of single-width bytes in the scroll region that scrolls the
// whole region away at least once: only its last lines stay, so they are
// written straight into the region's rows, and the scrolling that took the
// rest away is one step. The result is the same as writing it line by line:
// every row of the region was scrolled in (cleared in the current colours)
// and then filled from the run.
bool TextScreen::WriteLongRun(const char* p, size_t length) {
  TextScreenState& s = state_;
  if (!fastRuns_ || s.regionLines <= 0 || s.cursorRow < s.regionTop ||
      s.cursorRow >= s.regionTop + s.regionLines)
    return false;
  const size_t width = static_cast<size_t>(s.columns), lines = static_cast<size_t>(s.regionLines);
  const size_t start = static_cast<size_t>(s.cursorRow - s.regionTop) * width + static_cast<size_t>(s.cursorCol);
  const size_t end = start + length;
  const size_t lastLine = end / width;
  if (lastLine < 2 * lines || !SingleWidth(p, length)) return false;
  const size_t scrolled = lastLine - (lines - 1);
  for (size_t k = 0; k < lines; ++k) {
    const int row = s.regionTop + static_cast<int>(k);
    ClearRow(row);
    const size_t line = scrolled + k;
    const size_t from = line * width - start;  // the run's byte at column 0 of this line
    const size_t count = line == lastLine ? end % width : width;
    std::memcpy(MutablePlane(row, 0), p + from, count);
    std::memset(MutablePlane(row, 1), s.textColor, count);
    std::memset(MutablePlane(row, 2), s.attribute, count);
  }
  if (observer_) observer_(p, length);
  s.cursorRow = s.regionTop + s.regionLines - 1;
  s.cursorCol = static_cast<int>(end % width);
  s.hasScrolled = true;
  Changed();
  return true;
}

void TextScreen::WriteRun(const char* p, size_t length) {
  TextScreenState& s = state_;
  if (s.pendingLead) {
    s.pendingLead = false;
    if (s.cursorRow == s.pendingRow && s.cursorCol == s.pendingCol + 1 && length > 0) {
      s.cursorCol -= 1;
      char pair[2] = {static_cast<char>(s.pendingByte), p[0]};
      Store(pair, 2);
      if (observer_) observer_(pair, 2);
      Advance(2);
      ++p;
      --length;
    }
  }
  if (WriteLongRun(p, length)) return;
  while (length > 0) {
    const size_t space = static_cast<size_t>(s.columns - s.cursorCol);
    const size_t take = std::min(length, space);
    const bool lead = EndsInLead(p, take - 1);
    if (lead && s.columns < 2) {
      // A grid one column wide can never hold a double-byte character: it
      // takes its line as a blank instead of moving on to the next forever.
      Store(" ", 1);
      Advance(1);
      const size_t width = std::min<size_t>(length, 2);
      p += width;
      length -= width;
      continue;
    }
    if (length > space || (lead && take == space)) {
      // A full line; a double-byte character never straddles its end.
      size_t stored = lead ? take - 1 : take;
      Store(p, static_cast<int>(stored));
      if (observer_ && stored) observer_(p, stored);
      if (lead) {
        s.cursorCol += static_cast<int>(stored);
        Store(" ", 1);
        Advance(1);
      } else {
        Advance(static_cast<int>(stored));
      }
      p += stored;
      length -= stored;
      continue;
    }
    // The rest of the run fits on the line.
    if (lead) {
      Store(p, static_cast<int>(take));  // the lead byte is stored, not drawn
      if (observer_ && take > 1) observer_(p, take - 1);
      s.pendingLead = true;
      s.pendingByte = static_cast<uint8_t>(p[take - 1]);
      s.pendingCol = s.cursorCol + static_cast<int>(take) - 1;
      s.pendingRow = s.cursorRow;
    } else {
      Store(p, static_cast<int>(take));
      if (observer_) observer_(p, take);
    }
    Advance(static_cast<int>(take));
    break;
  }
}

bool TextScreen::Write(const char* bytes, size_t length) {
  if (length == 0) return true;
  // The next line feed and carriage return at or after a place, found by
  // the library's search and kept until passed.
  auto next = [&](char c, size_t from) {
    const void* at = std::memchr(bytes + from, c, length - from);
    return at ? static_cast<size_t>(static_cast<const char*>(at) - bytes) : length;
  };
  size_t start = 0, lf = next('\n', 0), cr = next('\r', 0);
  for (size_t i = 0; i < length; ++i) {
    if (lf < i) lf = next('\n', i);
    if (cr < i) cr = next('\r', i);
    i = std::min(lf, cr);
    if (i == length) break;
    char c = bytes[i];
    if (i > start) WriteRun(bytes + start, i - start);
    start = i + 1;
    if (observer_) observer_(&bytes[i], 1);
    if (c == '\n') NextRow();
    else state_.cursorCol = 0;
    Changed();
  }
  if (start < length) WriteRun(bytes + start, length - start);
  return true;
}

bool TextScreen::SetCursorPos(int column, int row) {
  if (column < 0 || column >= state_.columns || row < 0 || row >= state_.rows) return false;
  state_.cursorCol = column;
  state_.cursorRow = row;
  Changed();
  return true;
}

bool TextScreen::SetCaretVisible(bool on) {
  if (!state_.hasFocus) return false;
  state_.caretOn = on;
  Changed();
  return true;
}

bool TextScreen::EraseCells(int count) {
  int col = state_.cursorCol, row = state_.cursorRow;
  while (count > 0 && row < state_.rows) {
    int n = std::min(count, state_.columns - col);
    std::memset(MutablePlane(row, 0) + col, ' ', n);
    std::memset(MutablePlane(row, 1) + col, state_.textColor, n);
    std::memset(MutablePlane(row, 2) + col, state_.attribute, n);
    count -= n;
    col = 0;
    ++row;
  }
  Changed();
  return true;
}

bool TextScreen::PutChar(uint8_t byte) {
  char c = static_cast<char>(byte);
  Store(&c, 1);
  if (observer_) observer_(&c, 1);
  Advance(1);
  return true;
}

int TextScreen::ClearScreen(int mode) {
  TextScreenState& s = state_;
  if (mode < 0 || mode > 5) return 5;
  if (s.mapMode != 0 && mode != 0) return 1006;
  s.pendingLead = false;
  switch (mode) {
    case 0:
    case 4:
      ClearRows(0, s.rows);
      s.cursorCol = 0;
      s.cursorRow = s.regionTop;
      break;
    case 1:
      if (s.regionLines > 0) {
        ClearRows(s.regionTop, s.regionLines);
        s.cursorCol = 0;
        s.cursorRow = s.regionTop;
      }
      break;
    case 2:
      if (s.regionTop != 0) {
        ClearRows(0, s.regionTop);
        s.cursorCol = 0;
        s.cursorRow = 0;
      }
      break;
    case 3:
      if (s.regionTop + s.regionLines < s.rows) {
        ClearRows(s.regionTop + s.regionLines, s.rows - s.regionTop - s.regionLines);
        s.cursorCol = 0;
        s.cursorRow = s.regionTop + s.regionLines;
      }
      break;
    default:  // 5: only the background layer, which this screen draws with every cell
      break;
  }
  Changed();
  return 0;
}

int TextScreen::SetColors(int charColor, int backColor, int foreColor, int attribute, int which) {
  TextScreenState& s = state_;
  if ((which & 1) && (charColor < 0 || charColor > 15)) return 5;
  if ((which & 2) && (backColor < 0 || backColor > 15)) return 5;
  if ((which & 4) && (foreColor < 0 || foreColor > 15)) return 5;
  if ((which & 8) && attribute != 0 && attribute != 1 && attribute != 4 && attribute != 5) return 5;
  if (which & 1) {
    // A plain colour after a reversed one (8 to 15) clears the reverse attribute.
    if (charColor <= 7 && s.textColor > 7) {
      if (s.attribute == 1) s.attribute = 0;
      else if (s.attribute == 5) s.attribute = 4;
    }
    s.textColor = charColor;
  }
  if (which & 2) s.backColor = backColor;
  if (which & 4) s.foreColor = foreColor;
  if (which & 8) s.attribute = attribute;
  Changed();
  return 0;
}

std::string TextScreen::CopyText() const {
  std::string text;
  for (int r = 0; r < state_.rows; ++r) {
    const uint8_t* chars = RowChars(r);
    int end = state_.columns;
    while (end > 0 && chars[end - 1] == ' ') --end;
    if (end == 0) continue;
    text.append(reinterpret_cast<const char*>(chars), end);
    text += "\r\n";
  }
  return text;
}

void TextScreen::SetGrid(int columns, int rows) {
  TextScreenState& s = state_;
  s.columns = std::clamp(columns, 1, kMaxColumns);
  s.rows = std::clamp(rows, 1, kMaxRows);
  s.printWidth = s.columns;
  s.regionTop = 0;
  s.regionLines = s.rows;
  s.cursorCol = s.cursorRow = 0;
  s.pendingLead = false;
  top_ = 0;
  ClearRows(0, s.rows);
  SetVisibleCells(s.visibleCols, s.visibleRows);
}

void TextScreen::SetFocus(bool focused) {
  state_.hasFocus = focused;
  Changed();
}

void TextScreen::SetVisibleCells(int columns, int rows) {
  TextScreenState& s = state_;
  s.visibleCols = std::max(1, columns);
  s.visibleRows = std::max(1, rows);
  // The range is one less than the hidden rows, and nothing when at most one
  // row is hidden.
  s.maxScrollRow = s.rows - s.visibleRows > 1 ? s.rows - s.visibleRows - 1 : 0;
  s.maxScrollCol = s.columns - s.visibleCols > 1 ? s.columns - s.visibleCols - 1 : 0;
  if (s.scrollRow >= s.rows - s.visibleRows) s.scrollRow = std::max(0, s.rows - s.visibleRows - 1);
  if (s.scrollCol >= s.columns - s.visibleCols) s.scrollCol = std::max(0, s.columns - s.visibleCols - 1);
  Changed();
}

bool TextScreen::Scroll(bool vertical, int request, int position) {
  TextScreenState& s = state_;
  int visible = vertical ? s.visibleRows : s.visibleCols;
  int cells = vertical ? s.rows : s.columns;
  if (visible >= cells) return false;
  int& pos = vertical ? s.scrollRow : s.scrollCol;
  int max = vertical ? s.maxScrollRow : s.maxScrollCol;
  int next = pos;
  switch (request) {
    case platform::SB_LINEUP: next = pos - 1; break;
    case platform::SB_LINEDOWN: next = pos + 1; break;
    case platform::SB_PAGEUP: next = pos - visible; break;
    case platform::SB_PAGEDOWN: next = pos + visible; break;
    case platform::SB_THUMBPOSITION: next = position; break;
    default: return false;
  }
  next = std::clamp(next, 0, max);
  if (next == pos) return false;
  pos = next;
  Changed();
  return true;
}

}  // namespace host
