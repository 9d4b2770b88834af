// The stream display: keys from standard input, screen text to standard
// output. Tests and scripts depend on its contract:
// - standard input is read lazily, only when the program waits for a key
//   with nothing queued, and a key at a time is taken from what was read
//   (a file read ahead is set back at the end to the first byte not taken);
//   LF (and CR LF) is Enter; UTF-8 text arrives as CP932 characters; the
//   usual escape sequences are the arrow, Home, End, Insert and Delete keys;
//   the end of input closes the window;
// - every byte drawn on the screen goes to standard output in UTF-8, CR LF
//   written as LF and a lone CR dropped; output is flushed before every
//   blocking wait.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/platform/display.h"
#include "runtime/platform/encoding.h"
#include "runtime/platform/standard_io.h"

namespace platform {
namespace {

class StreamDisplay : public Display {
 public:
  StreamDisplay(int in, int out) : in_(in), out_(out), toUtf8_("UTF-8", "CP932") {}
  ~StreamDisplay() override { Flush(); }

  const char* Name() const override { return "stream"; }
  void Open(const ScreenSource*, WindowHandle window) override { window_ = window; }
  // What was read ahead and not taken goes back to a file given as input,
  // so that a command after the program reads on from where it stopped.
  void Close() override {
    Flush();
    ReturnUnread(in_, inEnd_ - inNext_ + (pushedBack_ >= 0 ? 1 : 0));
    inNext_ = inEnd_;
    pushedBack_ = -1;
  }
  // Never reads ahead of a key wait: piped lines are not lost to the
  // discarding of type-ahead, and the end of input is seen at a key wait.
  void PumpEvents(MessageQueue&) override {}

  void WaitEvents(MessageQueue& queue) override {
    Flush();
    if (ended_) {
      queue.PostQuit(0);
      return;
    }
    size_t before = posted_;
    while (posted_ == before) {
      int b = ReadByte();
      if (b < 0) {
        ended_ = true;
        Post(queue, WM_CLOSE, 0);
        return;
      }
      Translate(queue, static_cast<unsigned char>(b));
    }
  }

  // Bytes below 0x80 are the same in UTF-8 and are copied as they are; the
  // others, with the trail byte of each lead byte (and the trail of a lead
  // byte the converter holds from the last write), go through the converter.
  void TextDrawn(const char* bytes, size_t length) override {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < length) {
      size_t j = i;
      if (toUtf8_.Pending() || b[i] >= 0x80) {
        if (toUtf8_.Pending()) ++j;
        while (j < length && b[j] >= 0x80) j += IsLeadByte(b[j]) ? 2 : 1;
        j = std::min(j, length);
        const std::string utf8 = toUtf8_.Convert(std::string_view(bytes + i, j - i));
        Emit(utf8.data(), utf8.size());
      } else {
        j += AsciiPrefix(bytes + j, length - j);
        Emit(bytes + i, j - i);
      }
      i = j;
    }
    if (buffer_.size() > 65536) Flush();
  }

  void Present() override { Flush(); }
  // At work, what was drawn goes out every 50 ms (and whenever 64 KiB have
  // gathered): one write for many statements, still soon enough for anyone
  // watching the stream.
  void PresentWhileBusy() override {
    if (buffer_.empty()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastFlush_ < std::chrono::milliseconds(50)) return;
    Flush();
  }
  bool InputEnded() const override { return ended_; }

  void MessageBox(const std::string& caption, const std::string& text) override {
    Flush();
    std::string line = Cp932ToUtf8(caption) + ": " + Cp932ToUtf8(text) + "\n";
    WriteStandard(2, line.data(), line.size());
  }

 private:
  // Standard input is read a block at a time; what a key wait does not take
  // stays here for the next one.
  int ReadByte() {
    if (pushedBack_ >= 0) {
      int b = pushedBack_;
      pushedBack_ = -1;
      return b;
    }
    if (inNext_ == inEnd_) {
      if (inputEnded_) return -1;
      inNext_ = 0;
      inEnd_ = ReadStandard(in_, input_, sizeof input_);
      if (inEnd_ == 0) {
        inputEnded_ = true;
        return -1;
      }
    }
    return static_cast<unsigned char>(input_[inNext_++]);
  }

  // Appends UTF-8 text with CR LF as LF and a lone CR dropped.
  void Emit(const char* p, size_t n) {
    for (;;) {
      if (pendingCr_ && n > 0) {
        pendingCr_ = false;
        if (*p == '\n') {
          buffer_ += '\n';
          ++p;
          --n;
        }
      }
      const void* cr = std::memchr(p, '\r', n);
      const size_t run = cr ? static_cast<size_t>(static_cast<const char*>(cr) - p) : n;
      buffer_.append(p, run);
      if (!cr) return;
      pendingCr_ = true;
      p += run + 1;
      n -= run + 1;
    }
  }

  void Post(MessageQueue& q, uint32_t message, uint64_t w) {
    q.Post({window_, message, w, 0});
    ++posted_;
  }
  void Key(MessageQueue& q, uint32_t vk) {
    Post(q, WM_KEYDOWN, vk);
    Post(q, WM_KEYUP, vk);
  }

  void Translate(MessageQueue& q, unsigned char b) {
    if (b == '\n') {
      if (!skipLf_) Post(q, WM_CHAR, 13);
      skipLf_ = false;
      return;
    }
    skipLf_ = false;
    if (b == '\r') {
      Post(q, WM_CHAR, 13);
      skipLf_ = true;
      return;
    }
    if (b == 0x1B) return Escape(q);
    if (b == 0x7F) return Post(q, WM_CHAR, 8);
    if (b < 0x80) return Post(q, WM_CHAR, b);
    // A UTF-8 character: its continuation bytes follow. A byte that does
    // not continue it (a line end after a cut sequence) is its own key.
    std::string utf8(1, static_cast<char>(b));
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    for (int i = 0; i < more; ++i) {
      int c = ReadByte();
      if (c < 0) break;
      if ((c & 0xC0) != 0x80) {
        pushedBack_ = c;
        break;
      }
      utf8 += static_cast<char>(c);
    }
    for (char c : Utf8ToCp932(utf8)) Post(q, WM_CHAR, static_cast<unsigned char>(c));
  }

  void Escape(MessageQueue& q) {
    int c = ReadByte();
    if (c != '[' && c != 'O') {
      if (c >= 0) Translate(q, static_cast<unsigned char>(c));
      return;
    }
    std::string params;
    int final = ReadByte();
    while (final >= 0 && ((final >= '0' && final <= '9') || final == ';')) {
      params += static_cast<char>(final);
      final = ReadByte();
    }
    switch (final) {
      case 'A': return Key(q, VK_UP);
      case 'B': return Key(q, VK_DOWN);
      case 'C': return Key(q, VK_RIGHT);
      case 'D': return Key(q, VK_LEFT);
      case 'H': return Key(q, VK_HOME);
      case 'F': return Key(q, VK_END);
      case '~':
        if (params == "1" || params == "7") return Key(q, VK_HOME);
        if (params == "4" || params == "8") return Key(q, VK_END);
        if (params == "2") return Key(q, VK_INSERT);
        if (params == "3") return Key(q, VK_DELETE);
        if (params == "5") return Key(q, VK_PRIOR);
        if (params == "6") return Key(q, VK_NEXT);
        return;
      default:
        return;
    }
  }

  void Flush() {
    if (buffer_.empty()) return;
    WriteStandard(out_, buffer_.data(), buffer_.size());
    buffer_.clear();
    lastFlush_ = std::chrono::steady_clock::now();
  }

  int in_, out_;
  WindowHandle window_ = 0;
  Converter toUtf8_;
  std::string buffer_;
  std::chrono::steady_clock::time_point lastFlush_{};
  int pushedBack_ = -1;  // a byte read ahead and not yet taken
  char input_[65536];
  size_t inNext_ = 0, inEnd_ = 0;
  bool inputEnded_ = false;
  bool pendingCr_ = false;
  bool skipLf_ = false;
  bool ended_ = false;
  size_t posted_ = 0;
};

}  // namespace

std::unique_ptr<Display> CreateStreamDisplay(int in, int out) {
  return std::make_unique<StreamDisplay>(in, out);
}

}  // namespace platform
