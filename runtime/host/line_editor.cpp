#include "runtime/host/line_editor.h"

#include <algorithm>

#include "runtime/core/frame.h"
#include "runtime/platform/encoding.h"

namespace host {
namespace {

struct Pos {
  int col, row;
};

class LineEditor {
 public:
  LineEditor(TextScreen& screen, KeyRing& ring, const LineInputHost& host, size_t capacity)
      : screen_(screen), ring_(ring), host_(host) {
    const TextScreenState& s = screen.state();
    start_ = {s.cursorCol, s.cursorRow};
    width_ = s.columns;
    size_t cells;
    if (s.cursorRow < s.regionTop) {
      cells = static_cast<size_t>((s.regionTop - s.cursorRow) * width_ - s.cursorCol - 1);
    } else if (s.regionLines > 0 && s.cursorRow < s.regionTop + s.regionLines) {
      cells = static_cast<size_t>(s.regionLines * width_ - s.cursorCol);
    } else {
      cells = static_cast<size_t>((s.rows - s.cursorRow) * width_ - s.cursorCol - 1);
    }
    usable_ = std::min(cells, capacity);
  }

  bool Run(std::string& line) {
    const bool caretWas = screen_.GetCaretVisible();
    screen_.SetCaretVisible(true);
    for (;;) {
      int code = host_.getKey();
      if (code == 0) {
        line.clear();
        return false;
      }
      if (code == 13) break;
      if (code == 24) {
        const uint16_t flags = rt::TheFrame().events[rt::kInterruptEvent].flags;
        if ((flags & rt::kEventEnabled) && !(flags & rt::kEventRunning)) {
          MoveTo(PosOf(text_.size(), true));
          screen_.Write("\r\n", 2);
          rt::RaiseError(98, 0);
        }
        break;
      }
      Edit(static_cast<uint8_t>(code));
    }
    screen_.SetCaretVisible(caretWas);
    MoveTo(PosOf(text_.size(), true));
    screen_.Write("\r\n", 2);
    ring_.Clear();  // type-ahead after Enter is discarded
    line = text_;
    return true;
  }

 private:
  size_t CharLen(size_t i) const {
    return platform::IsLeadByte(static_cast<unsigned char>(text_[i])) && i + 1 < text_.size() ? 2 : 1;
  }
  size_t PrevStart(size_t i) const {
    size_t p = 0, prev = 0;
    while (p < i) {
      prev = p;
      p += CharLen(p);
    }
    return prev;
  }
  // Where byte `index` is laid out: from the start position, wrapping at the
  // line width, a double-byte character never across a line end. `shown`
  // gives the cell a character is drawn in; otherwise the cell where writing
  // it starts (the blank left at the end of a line included).
  Pos PosOf(size_t index, bool shown) const {
    int col = start_.col, row = start_.row;
    for (size_t i = 0; i < index && i < text_.size();) {
      size_t n = CharLen(i);
      if (n == 2 && width_ < 2) {
        // A grid one column wide shows it as a blank line of its own.
        ++row;
        i += n;
        continue;
      }
      if (n == 2 && col == width_ - 1) {
        col = 0;
        ++row;
      }
      col += static_cast<int>(n);
      if (col >= width_) {
        col = 0;
        ++row;
      }
      i += n;
    }
    if (shown && width_ >= 2 && index < text_.size() && CharLen(index) == 2 && col == width_ - 1) return {0, row + 1};
    return {col, row};
  }
  int Distance(Pos a, Pos b) const { return (b.row - a.row) * width_ + (b.col - a.col); }
  void MoveTo(Pos p) {
    int rows = screen_.state().rows;
    screen_.SetCursorPos(std::clamp(p.col, 0, width_ - 1), std::clamp(p.row, 0, rows - 1));
  }

  // Rewrites the input from byte `from` to its end, blanks `erase` cells
  // after it, and puts the cursor back. Output past the last row scrolls
  // the screen, which moves the start of the input up.
  void Redraw(size_t from, int erase) {
    MoveTo(PosOf(from, false));
    screen_.Write(text_.data() + from, text_.size() - from);
    Pos expected = PosOf(text_.size(), false);
    int scrolled = expected.row - screen_.state().cursorRow;
    if (scrolled > 0) start_.row -= scrolled;
    if (erase > 0) screen_.EraseCells(erase);
    MoveTo(PosOf(cursor_, true));
  }

  void Remove(size_t at, size_t n) {
    Pos oldEnd = PosOf(text_.size(), false);
    text_.erase(at, n);
    Pos newEnd = PosOf(text_.size(), false);
    Redraw(at, Distance(newEnd, oldEnd));
  }

  void Insert(const char* bytes, size_t n) {
    if (insert_ || cursor_ >= text_.size()) {
      if (text_.size() + n > usable_) {
        if (host_.beep) host_.beep();
        return;
      }
      text_.insert(cursor_, bytes, n);
    } else {
      // Overwrite: the bytes replace those at the cursor; a double-byte
      // character cut in half leaves a space for its other byte.
      size_t end = cursor_ + n;
      if (end > text_.size() && end > usable_) {
        if (host_.beep) host_.beep();
        return;
      }
      size_t boundary = cursor_;
      while (boundary < end && boundary < text_.size()) boundary += CharLen(boundary);
      if (end > text_.size()) text_.resize(end, ' ');
      text_.replace(cursor_, n, bytes, n);
      if (boundary > end && end < text_.size()) text_[end] = ' ';
    }
    Redraw(cursor_, 0);
    cursor_ += n;
    MoveTo(PosOf(cursor_, true));
  }

  void Edit(uint8_t code) {
    if (lead_ >= 0) {
      char pair[2] = {static_cast<char>(lead_), static_cast<char>(code)};
      lead_ = -1;
      if (code >= 32) Insert(pair, 2);
      return;
    }
    switch (code) {
      case 4:  // Delete
        if (cursor_ < text_.size()) Remove(cursor_, CharLen(cursor_));
        return;
      case 8:  // Backspace
        if (cursor_ > 0) {
          cursor_ = PrevStart(cursor_);
          Remove(cursor_, CharLen(cursor_));
        }
        return;
      case 5: {  // Ctrl+E: cut the input at the cursor
        Pos oldEnd = PosOf(text_.size(), false);
        Pos at = PosOf(cursor_, false);
        MoveTo(at);
        screen_.EraseCells(Distance(at, oldEnd));
        text_.resize(cursor_);
        MoveTo(PosOf(cursor_, true));
        return;
      }
      case 11:  // Home
        cursor_ = 0;
        MoveTo(PosOf(cursor_, true));
        return;
      case 12:  // Shift+Home, Clear, Ctrl+L
        if (host_.clearKeyErases) {
          Pos oldEnd = PosOf(text_.size(), false);
          MoveTo(start_);
          screen_.EraseCells(Distance(start_, oldEnd));
          text_.clear();
          cursor_ = 0;
          MoveTo(start_);
        }
        return;
      case 18:  // Insert
        insert_ = !insert_;
        return;
      case 21:  // End
        cursor_ = text_.size();
        MoveTo(PosOf(cursor_, true));
        return;
      case 28:  // Right
        if (cursor_ < text_.size()) cursor_ += CharLen(cursor_);
        MoveTo(PosOf(cursor_, true));
        return;
      case 29:  // Left
        if (cursor_ > 0) cursor_ = PrevStart(cursor_);
        MoveTo(PosOf(cursor_, true));
        return;
      default:
        break;
    }
    if (code < 32) return;
    if (platform::IsLeadByte(code)) {
      lead_ = code;
      return;
    }
    char c = static_cast<char>(code);
    Insert(&c, 1);
  }

  TextScreen& screen_;
  KeyRing& ring_;
  const LineInputHost& host_;
  Pos start_;
  int width_;
  size_t usable_;
  std::string text_;
  size_t cursor_ = 0;
  bool insert_ = true;
  int lead_ = -1;
};

}  // namespace

bool ReadLine(TextScreen& screen, KeyRing& ring, const LineInputHost& host, size_t capacity,
              std::string& line) {
  LineEditor editor(screen, ring, host, capacity);
  return editor.Run(line);
}

}  // namespace host
