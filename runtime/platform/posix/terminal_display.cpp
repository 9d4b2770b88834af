// The terminal display: the 80 x 24 text screen drawn in the user's terminal
// with ncursesw, keys read in raw mode. A module of its own
// (tessel-terminal.so), so that the other displays start without ncurses.
//
// Keys: the arrows, Home, End, Insert, Delete, Page Up/Down and F1 to F12 are
// those keys; Backspace, Enter and the Ctrl keys are their codes (Ctrl+C is
// the interrupt request). Alt+Y (or Esc then Y) copies the screen's text to
// the clipboard through the terminal (OSC 52); other Alt keys type nothing.
// A terminal smaller than the grid shows the part of it that holds the
// cursor, with whole characters only. The end of the input (a file, a
// closed pipe, a terminal that hung up) closes the window. A terminal that
// is not known or cannot move its cursor is not used: the display is not
// made, and the program goes on in the next display.
#include <curses.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/platform/display.h"
#include "runtime/platform/encoding.h"
#include "runtime/platform/fatal_signal.h"
#include "runtime/platform/posix/terminal_type.h"

namespace platform {
namespace {

// The terminal as it was before the display took it, and the bytes that
// leave the full-screen mode, made ready for a signal's last word.
struct termios savedTerminal;
int savedTerminalFd = -1;
char leaveScreen[128];
size_t leaveScreenSize = 0;

void RestoreTerminal() {
  if (savedTerminalFd >= 0) tcsetattr(savedTerminalFd, TCSANOW, &savedTerminal);
  if (leaveScreenSize) (void)!write(1, leaveScreen, leaveScreenSize);
}

// The user's locale when its characters are UTF-8, and C.UTF-8 (which every
// C library of this kind has) when the locale is missing or cannot hold
// Japanese (LANG=C, no LANG, a locale that is not generated): the screen is
// Japanese. What was done instead of the user's locale, for a word at the
// end; empty when nothing was.
std::string ChooseLocale() {
  const char* chosen = setlocale(LC_ALL, "");
  if (chosen && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return {};
  std::string asked = "no locale is set (LANG)";
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) {
      asked = std::string(name) + "=" + value + (chosen ? " cannot show Japanese" : " is not installed");
      break;
    }
  }
  for (const char* fallback : {"C.UTF-8", "C.utf8"})
    if (setlocale(LC_ALL, fallback)) return asked + "; the terminal display used C.UTF-8";
  setlocale(LC_ALL, "");
  return asked + ", and C.UTF-8 is not there either: Japanese may not show (install a UTF-8 locale)";
}

double Seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// Readable, yet no key came: is that the end of the input? A pipe whose
// writers are gone and a terminal that hung up say so; a file or /dev/null
// has nothing left to read. A terminal or a pipe with nothing to read may be
// in the middle of a key's sequence (a character cut between two writes),
// which is not an end.
bool NothingMoreToRead(short revents) {
  if (revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
  struct stat st;
  if (isatty(0) || (fstat(0, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))) return false;
  int pending = 0;
  return ioctl(0, FIONREAD, &pending) != 0 || pending == 0;
}

// The terminal's own sequence for a capability, appended to leaveScreen.
void AddLeaveSequence(const char* capability) {
  const char* s = tigetstr(const_cast<char*>(capability));
  if (!s || s == reinterpret_cast<const char*>(-1)) return;
  const size_t n = std::strlen(s);
  if (leaveScreenSize + n >= sizeof leaveScreen) return;
  std::memcpy(leaveScreen + leaveScreenSize, s, n);
  leaveScreenSize += n;
}

// The nearest of the terminal's colours for the screen's 16.
int CursesColor(const Rgb& c) {
  static const Rgb kVga[16] = {
      {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
      {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
      {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
      {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
  };
  for (int i = 0; i < 16; ++i)
    if (kVga[i] == c) return i;
  return 7;
}

std::string Base64(const std::string& in) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                 static_cast<unsigned char>(in[i + 2]);
    out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], k[v & 63]};
  }
  if (i + 1 == in.size()) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    out += {k[v >> 18], k[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == in.size()) {
    unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8);
    out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], '='};
  }
  return out;
}

class TerminalDisplay : public Display {
 public:
  ~TerminalDisplay() override { Close(); }
  const char* Name() const override { return "terminal"; }

  // Takes the terminal; false with the reason when it cannot be driven.
  bool Start(std::string& problem) {
    localeNote_ = ChooseLocale();
    problem = TerminalProblem();
    if (!problem.empty()) return false;
    savedTerminalFd = isatty(1) ? 1 : 0;
    if (tcgetattr(savedTerminalFd, &savedTerminal) != 0) savedTerminalFd = -1;
    // newterm, unlike initscr, gives a failure back instead of ending the
    // process.
    screenOfCurses_ = newterm(nullptr, stdout, stdin);
    if (!screenOfCurses_) {
      problem = "the terminal cannot be set up";
      savedTerminalFd = -1;
      return false;
    }
    leaveScreenSize = 0;
    for (const char* capability : {"sgr0", "cnorm", "rmcup"}) AddLeaveSequence(capability);
    SetTerminalRestore(RestoreTerminal);
    raw();
    noecho();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(50);
    if (has_colors()) {
      start_color();
      colors_ = COLORS >= 16 ? 16 : 8;
    }
    started_ = true;
    lastCols_ = lastRows_ = -1;
    return true;
  }

  void Open(const ScreenSource* screen, WindowHandle window) override {
    screen_ = screen;
    window_ = window;
  }

  void WindowDestroyed() override { screen_ = nullptr; }

  void Close() override {
    if (!started_) return;
    SetTerminalRestore(nullptr);
    endwin();
    if (!localeNote_.empty()) std::fprintf(stderr, "tessel: %s\n", localeNote_.c_str());
    delscreen(screenOfCurses_);
    screenOfCurses_ = nullptr;
    started_ = false;
  }

  void PumpEvents(MessageQueue& q) override { Read(q, false); }
  bool InputEnded() const override { return inputEnded_; }

  void WaitEvents(MessageQueue& q) override {
    Present();
    size_t before = posted_;
    while (posted_ == before) Read(q, true);
  }

  void Present() override {
    if (!started_ || !screen_) return;
    int termRows, termCols;
    getmaxyx(stdscr, termRows, termCols);
    if (termCols != lastCols_ || termRows != lastRows_) {
      lastCols_ = termCols;
      lastRows_ = termRows;
      drawn_ = ~uint64_t{0};
    }
    // The view follows the cursor when the terminal is smaller than the grid.
    int rows = screen_->Rows(), cols = screen_->Columns();
    int viewRows = std::min(rows, termRows), viewCols = std::min(cols, termCols);
    int top = viewTop_, left = viewLeft_;
    int cr = screen_->CursorRow(), cc = screen_->CursorColumn();
    if (cr < top) top = cr;
    if (cr >= top + viewRows) top = cr - viewRows + 1;
    if (cc < left) left = cc;
    if (cc >= left + viewCols) left = cc - viewCols + 1;
    top = std::max(0, std::min(top, rows - viewRows));
    left = std::max(0, std::min(left, cols - viewCols));
    if (screen_->Version() != drawn_ || top != viewTop_ || left != viewLeft_) {
      viewTop_ = top;
      viewLeft_ = left;
      Draw(viewRows, viewCols);
      drawn_ = screen_->Version();
    }
    if (screen_->CaretShown()) {
      curs_set(1);
      move(cr - viewTop_, cc - viewLeft_);
    } else {
      curs_set(0);
    }
    refresh();
  }

  void SetTitle(const std::string& cp932) override {
    std::string t = "\033]0;" + Cp932ToUtf8(cp932) + "\007";
    std::fwrite(t.data(), 1, t.size(), stdout);
    std::fflush(stdout);
  }

  void Beep() override { beep(); }

  void MessageBox(const std::string& caption, const std::string& text) override {
    if (started_) def_prog_mode(), endwin();
    std::fprintf(stderr, "%s: %s\n", Cp932ToUtf8(caption).c_str(), Cp932ToUtf8(text).c_str());
    if (started_) reset_prog_mode(), refresh();
  }

  bool CopyText(const std::string& cp932) override {
    std::string osc = "\033]52;c;" + Base64(Cp932ToUtf8(cp932)) + "\007";
    std::fwrite(osc.data(), 1, osc.size(), stdout);
    std::fflush(stdout);
    return true;
  }

 private:
  short Pair(int fg, int bg) {
    int key = fg * 16 + bg;
    if (!pairs_[key]) {
      if (nextPair_ >= COLOR_PAIRS) return 0;
      init_pair(static_cast<short>(nextPair_), static_cast<short>(fg % colors_), static_cast<short>(bg % colors_));
      pairs_[key] = static_cast<short>(nextPair_++);
    }
    return pairs_[key];
  }

  void Draw(int viewRows, int viewCols) {
    erase();
    for (int r = 0; r < viewRows; ++r) {
      int row = viewTop_ + r;
      const uint8_t* chars = screen_->RowChars(row);
      const uint8_t* colors = screen_->RowColors(row);
      const uint8_t* attrs = screen_->RowAttributes(row);
      int c = 0;
      while (c < screen_->Columns()) {
        // A run of cells with the same colour and attribute.
        int end = c;
        while (end < screen_->Columns() && colors[end] == colors[c] && attrs[end] == attrs[c]) {
          end += IsLeadByte(chars[end]) && end + 1 < screen_->Columns() ? 2 : 1;
        }
        const int from = std::max(c, viewLeft_), to = std::min(end, viewLeft_ + viewCols);
        if (from < to) {
          CellColors cc = ColorsOf(colors[c], attrs[c], screen_->BackColor());
          attr_t a = 0;
          if (colors_ > 0) {
            int fg = CursesColor(cc.text), bg = CursesColor(cc.back);
            a = COLOR_PAIR(Pair(fg, bg));
            if (colors_ == 8 && fg >= 8) a |= A_BOLD;
          } else if (cc.opaque) {
            a = A_REVERSE;
          }
          attrset(a);
          std::string utf8 = Cp932ToUtf8(VisibleText(chars, c, end, from, to));
          mvaddstr(r, from - viewLeft_, utf8.c_str());
        }
        c = end;
      }
    }
    attrset(0);
  }

  // The characters of cells c..end that lie in the view's columns from..to:
  // whole characters as they are, a double-byte one cut by the view's edge
  // as blanks in its visible cells.
  std::string VisibleText(const uint8_t* chars, int c, int end, int from, int to) const {
    std::string text;
    const int columns = screen_->Columns();
    for (int k = c; k < end;) {
      const int n = IsLeadByte(chars[k]) && k + 1 < columns ? 2 : 1;
      if (k >= from && k + n <= to) text.append(reinterpret_cast<const char*>(chars + k), n);
      else
        for (int cell = k; cell < k + n; ++cell)
          if (cell >= from && cell < to) text += ' ';
      k += n;
    }
    return text;
  }

  void Post(MessageQueue& q, uint32_t message, uint64_t w, int64_t l = 0) {
    q.Post({window_, message, w, l});
    ++posted_;
  }
  void Key(MessageQueue& q, uint32_t vk) {
    Post(q, WM_KEYDOWN, vk);
    Post(q, WM_KEYUP, vk);
  }

  void Read(MessageQueue& q, bool wait) {
    if (!started_ || inputEnded_) {
      Post(q, WM_CLOSE, 0);
      return;
    }
    // Keys curses holds already come first; then, when waiting, the input
    // is watched for a tenth of a second (so that a resize is drawn).
    wint_t ch;
    int r = get_wch(&ch);
    if (r == ERR && wait) {
      pollfd input{0, POLLIN, 0};
      if (poll(&input, 1, 100) > 0) {
        r = get_wch(&ch);
        if (r == ERR && NothingMoreToRead(input.revents)) {
          inputEnded_ = true;
          Post(q, WM_CLOSE, 0);
          return;
        }
      }
    }
    while (r != ERR) {
      Translate(q, r, ch);
      r = get_wch(&ch);
    }
  }

  void Translate(MessageQueue& q, int kind, wint_t ch) {
    // Esc alone, then Y within a second: the copy, as Alt+Y is (a typed
    // Esc comes alone; Alt sends it with its key at once).
    const bool afterEsc = escAt_ >= 0 && Seconds() - escAt_ <= 1.0;
    escAt_ = -1;
    if (afterEsc && kind == OK && (ch == 'y' || ch == 'Y')) return Post(q, WM_SYSCOMMAND, kCommandCopyText);
    if (kind == KEY_CODE_YES) {
      switch (ch) {
        case KEY_LEFT: return Key(q, VK_LEFT);
        case KEY_RIGHT: return Key(q, VK_RIGHT);
        case KEY_UP: return Key(q, VK_UP);
        case KEY_DOWN: return Key(q, VK_DOWN);
        case KEY_HOME: return Key(q, VK_HOME);
        case KEY_END: return Key(q, VK_END);
        case KEY_IC: return Key(q, VK_INSERT);
        case KEY_DC: return Key(q, VK_DELETE);
        case KEY_PPAGE: return Key(q, VK_PRIOR);
        case KEY_NPAGE: return Key(q, VK_NEXT);
        case KEY_BACKSPACE: return Post(q, WM_CHAR, 8);
        case KEY_ENTER: return Post(q, WM_CHAR, 13);
        case KEY_SHOME:
          Post(q, WM_KEYDOWN, VK_SHIFT);
          Key(q, VK_HOME);
          return Post(q, WM_KEYUP, VK_SHIFT);
        case KEY_RESIZE: {
          int rows, cols;
          getmaxyx(stdscr, rows, cols);
          return Post(q, WM_SIZE, 0, (cols & 0xFFFF) | ((rows & 0xFFFF) << 16));
        }
        default:
          if (ch >= KEY_F(1) && ch <= KEY_F(12)) return Key(q, VK_F1 + (ch - KEY_F(1)));
          // Alt+F1 to Alt+F12 (F49 to F60 in xterm's terminfo): system keys.
          if (ch >= KEY_F(49) && ch <= KEY_F(60)) return Post(q, WM_SYSKEYDOWN, VK_F1 + (ch - KEY_F(49)));
          return;
      }
    }
    if (ch == 27) {
      // Esc and the key after it at once: Alt and that key, a system key.
      // Alt+Y copies the screen's text; the others are no keys of the
      // program (the host takes only F10 of them).
      wint_t next;
      nodelay(stdscr, FALSE);
      timeout(50);
      int r = get_wch(&next);
      nodelay(stdscr, TRUE);
      if (r == ERR) {  // Esc alone is no key of the program
        escAt_ = Seconds();
        return;
      }
      if (r == OK && (next == 'y' || next == 'Y')) return Post(q, WM_SYSCOMMAND, kCommandCopyText);
      if (r == KEY_CODE_YES && next >= KEY_F(1) && next <= KEY_F(12))
        return Post(q, WM_SYSKEYDOWN, VK_F1 + (next - KEY_F(1)));
      return Post(q, WM_SYSKEYDOWN, r == OK && next < 0x80 ? std::toupper(static_cast<int>(next)) : 0);
    }
    if (ch == '\n' || ch == '\r') return Post(q, WM_CHAR, 13);
    if (ch == 127) return Post(q, WM_CHAR, 8);
    if (ch < 0x80) return Post(q, WM_CHAR, ch);
    // A character of the terminal's encoding: its CP932 bytes.
    char mb[8];
    mbstate_t st{};
    size_t n = wcrtomb(mb, static_cast<wchar_t>(ch), &st);
    if (n == static_cast<size_t>(-1)) return;
    for (char c : Utf8ToCp932(std::string(mb, n))) Post(q, WM_CHAR, static_cast<unsigned char>(c));
  }

  const ScreenSource* screen_ = nullptr;
  WindowHandle window_ = 0;
  SCREEN* screenOfCurses_ = nullptr;
  std::string localeNote_;  // said once the screen is given back
  bool started_ = false;
  bool inputEnded_ = false;
  double escAt_ = -1;  // when Esc came alone, for Esc then Y
  int colors_ = 0;
  short pairs_[256] = {};
  int nextPair_ = 1;
  uint64_t drawn_ = ~uint64_t{0};
  int viewTop_ = 0, viewLeft_ = 0;
  int lastCols_ = -1, lastRows_ = -1;
  size_t posted_ = 0;
};

}  // namespace

}  // namespace platform

// The module's one entry: the terminal display, made by the program that
// loaded the module.
// Null, with the reason in `problem`, when this terminal cannot be driven.
extern "C" __attribute__((visibility("default"))) platform::Display* TesselNewTerminalDisplay(char* problem,
                                                                                                 size_t size) {
  auto display = std::make_unique<platform::TerminalDisplay>();
  std::string why;
  if (display->Start(why)) return display.release();
  std::snprintf(problem, size, "%s", why.c_str());
  return nullptr;
}
