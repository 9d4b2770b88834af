// A display shows the text screen of the main window and delivers the user's
// keys and window events as messages. Three backends: "stream" (standard
// input and output, for tests and scripts), "terminal" (ncursesw) and
// "window" (a desktop window, where it is built).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "runtime/platform/message_queue.h"

namespace platform {

// The text grid as a display reads it (CP932 bytes, colour numbers and
// attributes per cell).
class ScreenSource {
 public:
  virtual ~ScreenSource() = default;
  virtual int Columns() const = 0;
  virtual int Rows() const = 0;
  virtual const uint8_t* RowChars(int row) const = 0;
  virtual const uint8_t* RowColors(int row) const = 0;
  virtual const uint8_t* RowAttributes(int row) const = 0;
  virtual int CursorColumn() const = 0;
  virtual int CursorRow() const = 0;
  virtual bool CaretShown() const = 0;  // caret on and focused
  virtual int ScrollColumn() const = 0;
  virtual int ScrollRow() const = 0;
  virtual int BackColor() const = 0;
  // The scroll ranges of the view (0 to the value), in cells.
  virtual int MaxScrollColumn() const { return 0; }
  virtual int MaxScrollRow() const { return 0; }
  // Increases whenever the grid changes, so that a display redraws only then.
  virtual uint64_t Version() const = 0;
};

// The 16 colours of the screen (red, green, blue), for characters and for
// background and foreground, and the rule that picks them for a cell.
struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};
extern const Rgb kCharPalette[16];
extern const Rgb kFillPalette[16];
struct CellColors {
  Rgb text;
  Rgb back;
  bool opaque;  // reverse attributes and colours above 7 draw their background
};
CellColors ColorsOf(int colorNumber, int attribute, int backColor);

// Where a window display puts its window: the form's window size (the
// default until the form gives one) and position, once the form set it.
struct WindowPlacement {
  int width = 648, height = 466, x = 0, y = 0;
  bool positioned = false;
  void Set(int newX, int newY, int newWidth, int newHeight) {
    if (newWidth > 0 && newHeight > 0) {
      width = newWidth;
      height = newHeight;
    }
    x = newX;
    y = newY;
    positioned = true;
  }
};

class Display {
 public:
  virtual ~Display() = default;
  virtual const char* Name() const = 0;
  // The main window has been created with this screen and handle.
  virtual void Open(const ScreenSource* screen, WindowHandle window) = 0;
  virtual void Close() {}
  // The main window is gone: the screen must not be read any more.
  virtual void WindowDestroyed() {}
  // Delivers pending native events as messages without waiting.
  virtual void PumpEvents(MessageQueue& queue) = 0;
  // Waits until at least one message has been posted.
  virtual void WaitEvents(MessageQueue& queue) = 0;
  // Whether the keys' input has ended (the stream's standard input, the
  // terminal's) and closed the window: the program then ends with status 3,
  // cut short, instead of 0.
  virtual bool InputEnded() const { return false; }
  // Bytes drawn on the text screen (CP932), in the order they are drawn.
  virtual void TextDrawn(const char* /*bytes*/, size_t /*length*/) {}
  // Shows the current state of the screen.
  virtual void Present() {}
  // The same while the program is at work and nobody waits on it: a display
  // may let a moment's output gather first.
  virtual void PresentWhileBusy() { Present(); }
  virtual void SetTitle(const std::string& /*cp932*/) {}
  // The form's position and client size in pixels, and its font (a face
  // name, "FixedSys" for the display's fixed-pitch Japanese font, and the
  // character height in pixels).
  virtual void SetGeometry(int /*x*/, int /*y*/, int /*width*/, int /*height*/) {}
  virtual void SetFont(const std::string& /*face*/, int /*pixelHeight*/) {}
  // How the window shows when it opens (ShowWindow's codes: 1 normal, 3
  // maximised, 7 minimised without the focus, 0 hidden).
  virtual void SetShowCommand(int /*show*/) {}
  // The extent of "." in that font as the display draws it: the cell of the
  // grid. And what the window adds around the grid (frame, caption, menu).
  // The host's full-window size is the grid of cells plus the frame.
  virtual std::pair<int, int> CellSize(const std::string& /*face*/, int /*pixelHeight*/) { return {8, 16}; }
  virtual std::pair<int, int> FrameSize() { return {8, 34}; }
  // The queue the display's messages go to, known before the window opens,
  // so that nothing it sends while opening is lost.
  virtual void Connect(MessageQueue& /*queue*/) {}
  virtual void Beep() {}
  // A message box (CP932 caption and text); returns when it is dismissed.
  virtual void MessageBox(const std::string& caption, const std::string& text) = 0;
  // The kind of a message box, for a display that shows real ones: a host's
  // own message (an error icon), a run-time error (a warning icon and a help
  // button), the key wait of a stopped program (a warning icon).
  enum class BoxKind { HostMessage, RuntimeError, Wait };
  virtual void MessageBox(const std::string& caption, const std::string& text, BoxKind) {
    MessageBox(caption, text);
  }
  // Where the system has window classes of its own (Windows): the host
  // registers "T5Q0CLASS" and the form player a class per form, with the
  // run-time's window procedure, an icon resource's name ("" for the
  // standard one) and a white or black background; the main window is then
  // made of one of them. Elsewhere there is nothing to do beforehand.
  struct WindowClass {
    std::string name;  // CP932
    void* procedure = nullptr;
    std::string icon;
    bool blackBackground = false;
  };
  virtual bool RegisterWindowClass(const WindowClass& /*c*/) { return true; }
  virtual bool CreateMainWindow(const std::string& /*className*/) { return true; }
  // Puts text on the clipboard; false when it cannot be opened.
  virtual bool CopyText(const std::string& /*cp932*/) { return false; }
  // Puts an image of the grid on the clipboard, where the display can.
  virtual bool CopyImage() { return false; }
};

// The display chosen by TESSEL_DISPLAY, or by the default rule: the window
// where it is built and a display is reachable, else the terminal when
// standard input and output are terminals, else the stream.
std::unique_ptr<Display> CreateDisplay();

// A word to the user through the desktop's notifications, for a program
// started from a menu, where standard error goes only to the session's log;
// nothing where there are none.
void NoticeOnDesktop(const std::string& utf8);
std::unique_ptr<Display> CreateStreamDisplay(int in, int out);
// The terminal and window displays come from modules of their own; null
// with the reason when the module is not installed or cannot be loaded.
std::unique_ptr<Display> CreateTerminalDisplay(std::string& problem);
std::unique_ptr<Display> CreateWindowDisplay(std::string& problem);
#if defined(_WIN32)
// The procedure of the main window's class on Windows (the window display's).
intptr_t NativeWindowProcedure(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
#endif
// Whether the desktop the environment names answers; Qt ends the process
// when it cannot open its display, so this is asked before it is loaded.
bool DesktopReachable();

}  // namespace platform
