// The text screen of a window: a grid of character cells (CP932 bytes with
// a colour number and an attribute each), a cursor, a scroll region, colours,
// a caret, a view onto the grid, and the copy of its text. Displays read it
// through platform::ScreenSource.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/platform/display.h"

namespace host {

inline constexpr int kMaxColumns = 132;
inline constexpr int kMaxRows = 124;

struct TextScreenState {
  int scrollCol = 0, scrollRow = 0;  // first visible column and row
  int textColor = 7, backColor = 0, foreColor = 15;
  int attribute = 4;  // 0 normal, 1 reverse, 4 bright, 5 bright reverse
  int columns = 80, rows = 24;
  int printWidth = 80;
  int cursorCol = 0, cursorRow = 0;
  bool caretOn = false, hasFocus = false;
  int regionTop = 0, regionLines = 24;
  int mapMode = 0;  // 0 = text mode
  bool hasScrolled = false;
  // A lead byte written last and not yet drawn, with its cell.
  bool pendingLead = false;
  uint8_t pendingByte = 0;
  int pendingCol = 0, pendingRow = 0;
  // The view: cells the window shows, and the scroll ranges.
  int visibleCols = 80, visibleRows = 24;
  int maxScrollCol = 0, maxScrollRow = 0;
};

class TextScreen : public platform::ScreenSource {
 public:
  TextScreen();

  // Writes bytes at the cursor: CR and LF move it, every other byte is a
  // character; Shift-JIS characters never straddle the right edge.
  bool Write(const char* bytes, size_t length);
  bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
  bool SetCursorPos(int column, int row);
  // Fails, changing nothing, while the window does not have the focus.
  bool SetCaretVisible(bool on);
  bool GetCaretVisible() const { return state_.caretOn; }
  // Overwrites cells from the cursor with spaces, without moving it.
  bool EraseCells(int count);
  // Draws one single-byte character at the cursor and advances one column.
  bool PutChar(uint8_t byte);
  // CLS: 0 on success, else the run-time error number (5, 1006).
  int ClearScreen(int mode);
  // COLOR: which bit 0 character colour, 1 background, 2 foreground,
  // 3 attribute. 0 on success, else the run-time error number (5).
  int SetColors(int charColor, int backColor, int foreColor, int attribute, int which);
  // The text of the grid: each row up to its last non-space, CR LF; rows of
  // spaces are left out.
  std::string CopyText() const;

  void SetFocus(bool focused);
  // A new grid (at most 132 x 124): cleared, the scroll region all its rows.
  void SetGrid(int columns, int rows);
  void SetMapMode(int mode) { state_.mapMode = mode; }
  // The window's client area, in cells: recomputes the scroll ranges.
  void SetVisibleCells(int columns, int rows);
  // A scroll-bar request; true when the view moved.
  bool Scroll(bool vertical, int request, int position);

  // Long runs that scroll the region away are written in one step (the
  // default); off, every run goes line by line, as the tests compare.
  void SetLongRunsInOneStep(bool on) { fastRuns_ = on; }

  // Receives every byte as it is drawn (the stream display prints them).
  void SetDrawObserver(std::function<void(const char*, size_t)> observer) {
    observer_ = std::move(observer);
  }

  const TextScreenState& state() const { return state_; }

  // ScreenSource
  int Columns() const override { return state_.columns; }
  int Rows() const override { return state_.rows; }
  const uint8_t* RowChars(int row) const override { return Plane(row, 0); }
  const uint8_t* RowColors(int row) const override { return Plane(row, 1); }
  const uint8_t* RowAttributes(int row) const override { return Plane(row, 2); }
  int CursorColumn() const override { return state_.cursorCol; }
  int CursorRow() const override { return state_.cursorRow; }
  bool CaretShown() const override { return state_.caretOn && state_.hasFocus; }
  int ScrollColumn() const override { return state_.scrollCol; }
  int ScrollRow() const override { return state_.scrollRow; }
  int BackColor() const override { return state_.backColor; }
  uint64_t Version() const override { return version_; }
  int MaxScrollColumn() const override { return state_.maxScrollCol; }
  int MaxScrollRow() const override { return state_.maxScrollRow; }

 private:
  // A row is four planes of kMaxColumns bytes: characters, colour numbers,
  // attributes and a zero plane. Rows are kept in a ring so that scrolling
  // the whole screen moves no bytes.
  static constexpr int kRowBytes = 4 * kMaxColumns;
  const uint8_t* Plane(int row, int plane) const;
  uint8_t* MutablePlane(int row, int plane);
  void ClearRow(int row);
  void ClearRows(int first, int count);
  void CopyRow(int to, int from);
  void Store(const char* bytes, int length);
  void Advance(int columns);
  void NextRow();
  void WriteRun(const char* run, size_t length);
  bool WriteLongRun(const char* run, size_t length);
  void Changed() { ++version_; }

  TextScreenState state_;
  std::vector<uint8_t> buffer_;
  int top_ = 0;  // ring position of row 0
  bool fastRuns_ = true;
  uint64_t version_ = 0;
  std::function<void(const char*, size_t)> observer_;
};

}  // namespace host
