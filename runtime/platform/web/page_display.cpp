// The display of the web page: the grid drawn by the page's script
// (site/tessel.js) cell by cell, keys and IME text taken from the page, and
// waits that give the browser its turn (Asyncify), so that the page stays
// responsive and the progress marks show while a long expansion runs.
#include <emscripten.h>

#include <cstdint>
#include <vector>

#include "runtime/platform/display.h"
#include "runtime/platform/encoding.h"
#include "runtime/platform/web/page_cells.h"

namespace platform {
namespace {

// The page's side, Module.tesselPage (site/tessel.js).
EM_JS(int, page_open, (int columns, int rows), {
  return Module.tesselPage ? (Module.tesselPage.open(columns, rows) ? 1 : 0) : 0;
});
EM_JS(void, page_draw, (const uint32_t* cells, int columns, int rows, int caretColumn, int caretRow, int caret,
                        int back),
      { Module.tesselPage.draw(HEAPU32.subarray(cells >> 2, (cells >> 2) + columns * rows * 3), columns, rows,
                               caretColumn, caretRow, caret !== 0, back >>> 0); });
EM_JS(void, page_title, (const char* utf8), { Module.tesselPage.title(UTF8ToString(utf8)); });
EM_JS(int, page_take, (int32_t* events, int capacity), {
  return Module.tesselPage.take(HEAP32.subarray(events >> 2, (events >> 2) + capacity * 3), capacity);
});
EM_JS(void, page_alert, (const char* caption, const char* text),
      { Module.tesselPage.alert(UTF8ToString(caption), UTF8ToString(text)); });
EM_JS(int, page_copy_text, (const char* utf8), { return Module.tesselPage.copyText(UTF8ToString(utf8)) ? 1 : 0; });
EM_JS(int, page_copy_image, (), { return Module.tesselPage.copyImage() ? 1 : 0; });
EM_JS(void, page_beep, (), { Module.tesselPage.beep(); });
EM_JS(void, page_closed, (), { Module.tesselPage.closed(); });
EM_JS(void, page_store_files, (), { Module.tesselPage.storeFiles(); });
// Sleeps at most ms milliseconds, giving the browser its turn; the user's
// next event ends it early.
EM_JS(void, page_wait, (int ms), {
  return Asyncify.handleSleep(function(wakeUp) { Module.tesselPage.wait(ms, wakeUp); });
});

// A character the page took as text (a code point), as opposed to a message.
constexpr int32_t kTypedCharacter = -1;

class PageDisplay : public Display {
 public:
  const char* Name() const override { return "window"; }
  void Connect(MessageQueue& queue) override { queue_ = &queue; }
  void Open(const ScreenSource* screen, WindowHandle window) override {
    screen_ = screen;
    window_ = window;
    drawn_ = ~uint64_t{0};
    Draw();
  }
  void WindowDestroyed() override {
    screen_ = nullptr;
    page_closed();
  }
  void Close() override { page_store_files(); }

  // The statement poll: the page gets its turn about every 30 ms, so that
  // it shows what changed and takes the user's keys.
  void PumpEvents(MessageQueue& queue) override {
    if (emscripten_get_now() - lastTurn_ >= kTurn) {
      Draw();
      emscripten_sleep(0);
      lastTurn_ = emscripten_get_now();
    }
    Take(queue);
  }

  void WaitEvents(MessageQueue& queue) override {
    // What the program saved is put into the browser's store before it
    // waits for the user, who may close the page.
    page_store_files();
    for (;;) {
      Draw();
      if (Take(queue)) return;
      page_wait(250);
      lastTurn_ = emscripten_get_now();
    }
  }

  // The host asks for the screen to be shown after every poll; the page is
  // drawn at most every 30 ms while the program runs (a whole grid takes a
  // few milliseconds), and always before the program waits.
  void Present() override {
    if (emscripten_get_now() - lastDraw_ >= kTurn) Draw();
  }

  void SetTitle(const std::string& cp932) override { page_title(Cp932ToUtf8(cp932).c_str()); }
  void Beep() override { page_beep(); }
  void MessageBox(const std::string& caption, const std::string& text) override {
    Draw();
    page_alert(Cp932ToUtf8(caption).c_str(), Cp932ToUtf8(text).c_str());
  }
  bool CopyText(const std::string& cp932) override { return page_copy_text(Cp932ToUtf8(cp932).c_str()) != 0; }
  bool CopyImage() override {
    Draw();
    return page_copy_image() != 0;
  }

 private:
  static constexpr double kTurn = 30;

  void Draw() {
    lastDraw_ = emscripten_get_now();
    if (!screen_) return;
    const uint64_t version = screen_->Version();
    const bool caret = screen_->CaretShown();
    if (version == drawn_ && caret == caretDrawn_ && screen_->CursorColumn() == caretColumn_ &&
        screen_->CursorRow() == caretRow_)
      return;
    drawn_ = version;
    caretDrawn_ = caret;
    caretColumn_ = screen_->CursorColumn();
    caretRow_ = screen_->CursorRow();
    const int columns = screen_->Columns(), rows = screen_->Rows();
    FillCells(*screen_, cells_);
    const CellColors fill = ColorsOf(0, 0, screen_->BackColor());
    page_draw(cells_.data(), columns, rows, caretColumn_, caretRow_, caret,
              (fill.back.r << 16) | (fill.back.g << 8) | fill.back.b);
  }


  // Moves the page's events into the queue; true when any came.
  bool Take(MessageQueue& queue) {
    int32_t events[64 * 3];
    bool any = false;
    for (;;) {
      const int n = page_take(events, 64);
      for (int i = 0; i < n; ++i) {
        const int32_t* e = events + i * 3;
        if (e[0] == kTypedCharacter) {
          Typed(queue, static_cast<uint32_t>(e[1]));
        } else {
          queue.Post({window_, static_cast<uint32_t>(e[0]), static_cast<uint32_t>(e[1]), e[2]});
        }
        any = true;
      }
      if (n < 64) return any;
    }
  }

  // A typed character in CP932, one WM_CHAR a byte ("?" where it has none).
  void Typed(MessageQueue& queue, uint32_t code) {
    std::string utf8;
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (code >> 12));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (code >> 18));
      utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
    for (char c : Utf8ToCp932(utf8)) {
      const auto b = static_cast<unsigned char>(c);
      if (b >= 32 || b == 3) queue.Post({window_, WM_CHAR, b, 0});
    }
  }

  const ScreenSource* screen_ = nullptr;
  WindowHandle window_ = 0;
  MessageQueue* queue_ = nullptr;
  std::vector<uint32_t> cells_;
  uint64_t drawn_ = ~uint64_t{0};
  bool caretDrawn_ = false;
  int caretColumn_ = -1, caretRow_ = -1;
  double lastTurn_ = 0, lastDraw_ = 0;
};

}  // namespace

// The page display where the page has a grid for it (not under node).
std::unique_ptr<Display> CreatePageDisplay() {
  if (!page_open(80, 24)) return nullptr;
  return std::make_unique<PageDisplay>();
}

}  // namespace platform
