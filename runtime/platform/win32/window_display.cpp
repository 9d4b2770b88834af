// The window display on Windows: the main window is a real window of the
// class the form player registered ("T5Q0WC" + form name; "T5Q0CLASS"
// without a form), whose procedure is the program's exported
// $PbMainWndProc, which comes here; the text grid drawn with GDI in the
// system's fixed-pitch Japanese font, the caret and scroll bars Windows' own,
// the copy commands in the system menu. Its window procedure turns what
// Windows sends into the host's messages; the pump is Windows' message loop
// (PeekMessage in the statement poll, GetMessage in key waits).
#include "runtime/platform/display.h"  // before windows.h, whose macros share the message names
#include "runtime/platform/encoding.h"
#include "runtime/platform/fatal_signal.h"
#include "runtime/platform/files.h"

#include <windows.h>
#include <imm.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runtime/platform/win32/keyboard_navigation.h"
#include "runtime/platform/win32/wide.h"

#undef MessageBox  // Display::MessageBox, not the Win32 macro

namespace platform {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL;
constexpr UINT kCopyMenuSeparator = 100;

COLORREF ToColor(const Rgb& c) { return RGB(c.r, c.g, c.b); }

// The face of a font as the system made it (a request for a face it does
// not have is quietly given another, which may lack Latin letters).
std::wstring FaceOf(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return face;
}

HFONT MakeFont(const std::wstring& face, int pixelHeight) {
  LOGFONTW f{};
  f.lfHeight = -pixelHeight;
  f.lfCharSet = SHIFTJIS_CHARSET;
  f.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  f.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(f.lfFaceName, face.c_str(), LF_FACESIZE);
  return CreateFontIndirectW(&f);
}

int CALLBACK CollectFixedJapanese(const LOGFONTW* f, const TEXTMETRICW*, DWORD type, LPARAM found) {
  auto* faces = reinterpret_cast<std::vector<std::wstring>*>(found);
  if ((f->lfPitchAndFamily & 3) == FIXED_PITCH && f->lfFaceName[0] != L'@' && (type & TRUETYPE_FONTTYPE))
    faces->push_back(f->lfFaceName);
  return 1;
}

// The fixed-pitch font that holds CP932: MS Gothic where the system has it,
// else IPAGothic, else any installed fixed-pitch font of the Japanese
// character set.
std::wstring JapaneseFixedFace() {
  static std::wstring chosen;
  if (!chosen.empty()) return chosen;
  for (const wchar_t* face : {L"MS Gothic", L"IPAGothic", L"VL Gothic", L"Noto Sans Mono CJK JP"}) {
    HFONT f = MakeFont(face, 16);
    const bool have = FaceOf(f) == face;
    DeleteObject(f);
    if (have) return chosen = face;
  }
  std::vector<std::wstring> faces;
  LOGFONTW want{};
  want.lfCharSet = SHIFTJIS_CHARSET;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &want, CollectFixedJapanese, reinterpret_cast<LPARAM>(&faces), 0);
  ReleaseDC(nullptr, dc);
  return chosen = faces.empty() ? L"MS Gothic" : faces.front();
}

std::pair<int, int> CellOf(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE s{};
  GetTextExtentPoint32W(dc, L".", 1, &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return {std::max<int>(1, s.cx), std::max<int>(1, s.cy)};
}

// The functions of newer systems, where they are (the program still runs
// where they are not, at the system's one DPI).
template <typename F>
F User32(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// The screen's dots per inch: 96 at 100% scaling, 192 at 200%.
UINT SystemDpi() {
  if (auto get = User32<UINT(WINAPI*)(void)>("GetDpiForSystem")) return get();
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT WindowDpi(HWND h, UINT otherwise) {
  auto get = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  const UINT dpi = get && h ? get(h) : 0;
  return dpi ? dpi : otherwise;
}

// A length in pixels at 96 DPI, at this DPI: the grid is drawn in real
// pixels, so that its cells stay crisp on a scaled display.
int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

// The window's frame around a client area, at this DPI.
void AdjustForDpi(RECT& r, DWORD style, UINT dpi) {
  if (auto adjust = User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi")) {
    adjust(&r, style, FALSE, 0, dpi);
    return;
  }
  AdjustWindowRectEx(&r, style, FALSE, 0);
}

// The font of a face the form names, else the Japanese fixed-pitch font, at
// this DPI. "FixedSys" (and no face) is a raster font of one size whose
// cells are 8 pixels wide whatever height is asked: its stand-in takes the
// largest size up to 16 pixels whose "." is at most 8 pixels wide (both at
// 96 DPI), so that a form made for it shows its whole grid.
HFONT FontFor(const std::string& cp932Face, int pixelHeight, UINT dpi) {
  const bool raster = cp932Face.empty() || cp932Face == "FixedSys";
  const int height = Scaled(pixelHeight > 0 ? pixelHeight : 16, dpi);
  if (!raster) {
    const std::wstring face = Cp932ToWide(cp932Face);
    HFONT f = MakeFont(face, height);
    if (FaceOf(f) == face) return f;
    DeleteObject(f);
  }
  const std::wstring face = JapaneseFixedFace();
  if (!raster) return MakeFont(face, height);
  for (int size = Scaled(16, dpi); size > Scaled(10, dpi); --size) {
    HFONT f = MakeFont(face, size);
    if (CellOf(f).first <= Scaled(8, dpi) || size == Scaled(10, dpi) + 1) return f;
    DeleteObject(f);
  }
  return MakeFont(face, Scaled(16, dpi));
}

class WindowDisplay : public Display {
 public:
  WindowDisplay() {
    dpi_ = SystemDpi();
    MakeFontOf("FixedSys", 18);
  }
  ~WindowDisplay() override {
    Close();
    if (font_ && ownsFont_) DeleteObject(font_);
  }

  const char* Name() const override { return "window"; }

  // A class of the run-time's windows: double clicks, the run-time's
  // procedure, one 32-bit extra word (the host's handle of the window), the
  // named icon resource or the standard one, no class cursor (the window
  // sets its own), a white or black background. Registered once.
  bool RegisterWindowClass(const WindowClass& wanted) override {
    const std::wstring name = Cp932ToWide(wanted.name);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    if (GetClassInfoExW(instance, name.c_str(), &c)) return true;
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = reinterpret_cast<WNDPROC>(wanted.procedure);
    c.cbWndExtra = 4;
    c.hInstance = instance;
    const std::wstring icon = Cp932ToWide(wanted.icon);
    c.hIcon = icon.empty() ? nullptr : LoadIconW(instance, icon.c_str());
    if (!c.hIcon) c.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
    c.hCursor = nullptr;
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(wanted.blackBackground ? BLACK_BRUSH : WHITE_BRUSH));
    c.lpszClassName = name.c_str();
    return wanted.procedure && RegisterClassExW(&c) != 0;
  }

  bool CreateMainWindow(const std::string& className) override {
    if (hwnd_) return false;  // one main window
    hwnd_ = CreateWindowExW(0, Cp932ToWide(className).c_str(), L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            Scaled(648, dpi_), Scaled(466, dpi_), nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd_) return false;
    AddCopyCommands();
    SetFatalReportOwner(hwnd_);
    // The monitor it opened on may have a DPI of its own.
    const UINT dpi = WindowDpi(hwnd_, dpi_);
    if (dpi != dpi_) {
      dpi_ = dpi;
      MakeFontOf(fontFace_, fontHeight_);
    }
    return true;
  }

  // The window's messages, through $PbMainWndProc.
  static LRESULT Procedure(HWND h, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      SetWindowLongPtrW(h, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
      SetWindowLongW(h, 0, 1);  // the host's handle of its main window
    }
    auto* self = reinterpret_cast<WindowDisplay*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!self) return DefWindowProcW(h, message, w, l);
    return self->Handle(h, message, w, l);
  }

  // The window takes the form's size (which the host has fitted to the
  // whole grid) and can grow no larger than the grid. The form counts
  // pixels at 96 DPI: on a scaled display its place and size scale too.
  void Open(const ScreenSource* screen, WindowHandle window) override {
    screen_ = screen;
    window_ = window;
    if (!hwnd_ && !CreateMainWindow("T5Q0CLASS")) return;
    const auto [maxWidth, maxHeight] = FullSize();
    SetWindowPos(hwnd_, nullptr, Scaled(placement_.x, dpi_), Scaled(placement_.y, dpi_),
                 std::min(Scaled(placement_.width, dpi_), maxWidth), std::min(Scaled(placement_.height, dpi_), maxHeight),
                 SWP_NOZORDER | (placement_.positioned ? 0 : SWP_NOMOVE));
    if (show_ == SW_SHOWMAXIMIZED) {
      // Maximised, the whole grid shows: no scroll range to begin with.
      SetScrollRange(hwnd_, SB_VERT, 0, 0, FALSE);
      SetScrollRange(hwnd_, SB_HORZ, 0, 0, FALSE);
    }
    ShowWindow(hwnd_, show_);
    if (show_ == SW_SHOWMAXIMIZED) SendMessageW(hwnd_, WM_SIZE, SIZE_MAXIMIZED, 0);
    // A window shown normally or maximised takes the focus; one started
    // minimised or hidden waits for the user.
    if (show_ != SW_HIDE && show_ != SW_SHOWMINNOACTIVE && show_ != SW_MINIMIZE && show_ != SW_SHOWMINIMIZED &&
        show_ != SW_SHOWNOACTIVATE && show_ != SW_SHOWNA) {
      SetForegroundWindow(hwnd_);
      SetFocus(hwnd_);
    }
    SyncScrollBars();
    UpdateWindow(hwnd_);
    InstallKeyboardNavigation();
  }

  void Connect(MessageQueue& queue) override { queue_ = &queue; }

  void WindowDestroyed() override {
    screen_ = nullptr;
    Close();
  }

  void Close() override {
    if (!hwnd_) return;
    RemoveKeyboardNavigation();
    SetFatalReportOwner(nullptr);
    HWND h = hwnd_;
    hwnd_ = nullptr;
    SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    DestroyWindow(h);
  }

  void PumpEvents(MessageQueue& queue) override {
    queue_ = &queue;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) Dispatch(m);
    EndAfterSave();
    // The statement poll comes thousands of times a second: the grid is
    // drawn at most every 15 ms from here (a key wait draws at once).
    const ULONGLONG now = GetTickCount64();
    if (now - presented_ < 15) return;
    presented_ = now;
    Present();
  }

  void WaitEvents(MessageQueue& queue) override {
    queue_ = &queue;
    EndAfterSave();
    Present();
    MSG m;
    while (queue.Empty()) {
      const BOOL got = GetMessageW(&m, nullptr, 0, 0);
      if (got <= 0) {  // WM_QUIT, or no message loop left: the window is gone
        Post(WM_CLOSE, 1);
        break;
      }
      Dispatch(m);
      Present();
    }
  }

  // Follows the screen: scroll bars, a repaint when the grid changed, the
  // caret (and the input method's window) at the cursor.
  void Present() override {
    if (!hwnd_ || !screen_) return;
    SyncScrollBars();
    if (screen_->Version() != drawn_) {
      drawn_ = screen_->Version();
      InvalidateRect(hwnd_, nullptr, FALSE);
      UpdateWindow(hwnd_);
    }
    PlaceCaret();
  }

  void SetTitle(const std::string& cp932) override {
    if (hwnd_) SetWindowTextW(hwnd_, Cp932ToWide(cp932).c_str());
  }
  void SetGeometry(int x, int y, int width, int height) override { placement_.Set(x, y, width, height); }
  void SetShowCommand(int show) override { show_ = show >= 0 && show <= 11 ? show : SW_SHOWNORMAL; }
  void SetFont(const std::string& face, int pixelHeight) override {
    MakeFontOf(face, pixelHeight);
    if (focused_) MakeCaret();
  }
  std::pair<int, int> CellSize(const std::string& face, int pixelHeight) override {
    HFONT f = FontFor(face, pixelHeight, dpi_);
    auto cell = CellOf(f);
    DeleteObject(f);
    return cell;
  }
  // What the window adds around its client area: frame and caption (the
  // scroll bars appear only when the window is smaller than the grid).
  std::pair<int, int> FrameSize() override {
    RECT r{0, 0, 0, 0};
    AdjustForDpi(r, kStyle & ~(WS_VSCROLL | WS_HSCROLL), dpi_);
    return {r.right - r.left, r.bottom - r.top};
  }
  void Beep() override { MessageBeep(MB_OK); }

  void MessageBox(const std::string& caption, const std::string& text) override {
    Box(caption, text, MB_OK | MB_ICONEXCLAMATION);
  }
  // A host's message with the error icon; a run-time error with the warning
  // icon and a help button (its WM_HELP reaches the owner); the key wait of
  // a stopped program with the warning icon.
  void MessageBox(const std::string& caption, const std::string& text, BoxKind kind) override {
    Box(caption, text,
        kind == BoxKind::HostMessage    ? MB_OK | MB_ICONERROR
        : kind == BoxKind::RuntimeError ? MB_OK | MB_HELP | MB_ICONWARNING
                                        : MB_OK | MB_ICONWARNING);
  }

  // The text in both forms: CF_TEXT as the CP932 bytes it is (with
  // CF_LOCALE Japanese, so that the system converts it from code page 932),
  // and CF_UNICODETEXT.
  bool CopyText(const std::string& cp932) override {
    if (!hwnd_ || !OpenClipboard(hwnd_)) return false;
    EmptyClipboard();
    const std::wstring text = Cp932ToWide(cp932);
    const LCID japanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), SORT_DEFAULT);
    const bool ok = Put(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t)) &&
                    Put(CF_TEXT, cp932.c_str(), cp932.size() + 1) && Put(CF_LOCALE, &japanese, sizeof japanese);
    CloseClipboard();
    return ok;
  }

  // The session's end, refused while a save was under way, once the file
  // is complete.
  void EndAfterSave() {
    if (!endAfterSave_ || ReplacementsOpen()) return;
    endAfterSave_ = false;
    if (auto unblock = User32<BOOL(WINAPI*)(HWND)>("ShutdownBlockReasonDestroy")) unblock(hwnd_);
    Post(WM_CLOSE, 0);
  }

  void Box(const std::string& caption, const std::string& text, UINT style) {
    MessageBoxW(hwnd_ && IsWindowVisible(hwnd_) ? hwnd_ : nullptr, Cp932ToWide(text).c_str(),
                Cp932ToWide(caption).c_str(), style);
  }

  // A copy of the bytes on the open clipboard in one format.
  static bool Put(UINT format, const void* bytes, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return false;
    std::memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    if (SetClipboardData(format, block)) return true;
    GlobalFree(block);
    return false;
  }

  // A bitmap of the whole grid: the background over white, the text over it.
  bool CopyImage() override {
    if (!hwnd_ || !screen_ || !OpenClipboard(hwnd_)) return false;
    EmptyClipboard();
    HDC window = GetDC(hwnd_);
    HDC dc = CreateCompatibleDC(window);
    const int w = screen_->Columns() * cellWidth_, h = screen_->Rows() * cellHeight_;
    HBITMAP bitmap = CreateCompatibleBitmap(window, w, h);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawGrid(dc, 0, 0, w, h);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(hwnd_, window);
    const bool ok = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    if (!ok) DeleteObject(bitmap);
    CloseClipboard();
    return ok;
  }

 private:

  LRESULT Handle(HWND h, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        Paint(dc);
        EndPaint(h, &ps);
        return 0;
      }
      case WM_ERASEBKGND: return 1;  // the paint covers the whole client area
      case WM_CLOSE: Post(WM_CLOSE, 0); return 0;  // the host decides; the window goes when it is destroyed
      case WM_SETFOCUS:
        focused_ = true;
        MakeCaret();
        PlaceCaret();
        Post(WM_SETFOCUS, 0);
        return 0;
      case WM_KILLFOCUS:
        focused_ = false;
        if (caretShown_) HideCaret(h);
        caretShown_ = false;
        DestroyCaret();
        Post(WM_KILLFOCUS, 0);
        return 0;
      case WM_SIZE:
        if (w != SIZE_MINIMIZED) PostShownCells(h);
        return 0;
      case WM_DPICHANGED: {
        // Moved to a monitor of another scale (or the scale changed): the
        // font and the cells at the new DPI, the window where the system
        // suggests.
        dpi_ = LOWORD(w);
        MakeFontOf(fontFace_, fontHeight_);
        if (focused_) MakeCaret();
        const RECT* suggested = reinterpret_cast<RECT*>(l);
        SetWindowPos(h, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(h, nullptr, FALSE);
        return 0;
      }
      case WM_GETMINMAXINFO: {
        if (!screen_) break;
        auto* info = reinterpret_cast<MINMAXINFO*>(l);
        const auto [fullWidth, fullHeight] = FullSize();
        info->ptMaxTrackSize = {fullWidth, fullHeight};
        info->ptMaxSize = {fullWidth, fullHeight};
        return 0;
      }
      case WM_KEYDOWN: return KeyDown(static_cast<UINT>(w)) ? 0 : DefWindowProcW(h, message, w, l);
      case WM_KEYUP:
        if (w == VK_SHIFT || w == VK_CONTROL) Post(WM_KEYUP, w);
        return 0;
      case WM_SYSKEYDOWN:
        // F10 alone comes as a system key: it is the program's F10.
        if (w == VK_F10 && !(l & (1 << 29))) {
          Key(VK_F10);
          return 0;
        }
        // With Alt, only F10 is a key of the program (the host decides);
        // Alt with a letter types nothing.
        if (w >= VK_F1 && w <= VK_F12) Post(WM_SYSKEYDOWN, w);
        else if (w >= 'A' && w <= 'Z') Post(WM_SYSKEYDOWN, w);
        if (w == VK_F10) return 0;
        break;
      case WM_CHAR: Char(static_cast<wchar_t>(w)); return 0;
      case WM_SYSCOMMAND:
        if (w == kCommandCopyText || w == kCommandCopyImage) {
          Post(WM_SYSCOMMAND, w);
          return 0;
        }
        break;
      case WM_COMMAND:  // Wine sends the items of a system-menu popup as commands
        if (l == 0 && (LOWORD(w) == kCommandCopyText || LOWORD(w) == kCommandCopyImage)) {
          Post(WM_SYSCOMMAND, LOWORD(w));
          return 0;
        }
        break;
      case WM_QUERYENDSESSION:
        // The session ends (log off, shut down). A save under way is
        // finished first: the end is refused for now, and the program is
        // asked to end once the file is complete (the next poll). Else it
        // may end.
        if (ReplacementsOpen()) {
          endAfterSave_ = true;
          if (auto block = User32<BOOL(WINAPI*)(HWND, LPCWSTR)>("ShutdownBlockReasonCreate"))
            block(h, L"答えを保存しています");
          return FALSE;
        }
        return TRUE;
      case WM_ENDSESSION:
        // It ends: through the program's own end, as when its window closes.
        if (w) Post(WM_CLOSE, 0);
        return 0;
      case WM_COPY: Post(WM_COPY, 0); return 0;
      case WM_COMPACTING: Post(WM_COMPACTING, 0); return 0;     // asked from outside: the screen's text
      case WM_HELP: Post(WM_HELP, 0); return TRUE;  // the error box's help button
      case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
      case WM_SETFONT:
        // Another font for the grid (the caller's: it stays the caller's).
        if (w) {
          if (ownsFont_) DeleteObject(font_);
          font_ = reinterpret_cast<HFONT>(w);
          ownsFont_ = false;
          std::tie(cellWidth_, cellHeight_) = CellOf(font_);
          if (focused_) MakeCaret();
          PostShownCells(h);
          if (l) InvalidateRect(h, nullptr, FALSE);
        }
        return 0;
      case WM_SETCURSOR:
        // No class cursor: the window's own, the arrow, over its grid.
        if (LOWORD(l) != HTCLIENT) break;
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
        return TRUE;
      case WM_USER:
      case WM_USER + 1:
        // The copy command's format, asked and set by another program: the
        // host answers at once.
        return queue_ ? queue_->Send({window_, message, w, l}) : 0;
      case WM_VSCROLL:
      case WM_HSCROLL:
        if (LOWORD(w) == SB_THUMBTRACK || LOWORD(w) > SB_THUMBTRACK) return 0;
        Post(message, LOWORD(w) | (static_cast<uint64_t>(HIWORD(w)) << 16));
        return 0;
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
        SetFocus(h);
        [[fallthrough]];
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONDBLCLK:
      case WM_MBUTTONDBLCLK: Post(message, 0); return 0;
      case WM_MOUSEWHEEL: Post(WM_MOUSEWHEEL, static_cast<uint64_t>(HIWORD(w)) << 16); return 0;
      default: break;
    }
    return DefWindowProcW(h, message, w, l);
  }

  // The cells the screen is told it shows: the client area's, but all of
  // them when the window is short of the one that shows the whole grid by
  // no more than one cell. (Decided from the client area alone, the scroll
  // bars would keep it too small to lose them when the window is enlarged
  // again.)
  void PostShownCells(HWND h) {
    RECT client, window;
    GetClientRect(h, &client);
    GetWindowRect(h, &window);
    const auto [fullWidth, fullHeight] = FullSize();
    const int columns = screen_ ? screen_->Columns() : 80, rows = screen_ ? screen_->Rows() : 24;
    const int shownColumns = window.right - window.left >= fullWidth - cellWidth_ ? columns : client.right / cellWidth_;
    const int shownRows = window.bottom - window.top >= fullHeight - cellHeight_ ? rows : client.bottom / cellHeight_;
    Post(WM_SIZE, 0, (shownColumns & 0xFFFF) | ((shownRows & 0xFFFF) << 16));
  }

  void Post(uint32_t message, uint64_t w, int64_t l = 0) {
    if (queue_) queue_->Post({window_ ? window_ : 1, message, w, l});
  }
  void Key(uint32_t vk) {
    Post(WM_KEYDOWN, vk);
    Post(WM_KEYUP, vk);
  }

  // The editing and function keys as keys; everything that types comes as
  // WM_CHAR (TranslateMessage makes it).
  bool KeyDown(UINT vk) {
    switch (vk) {
      case VK_SHIFT:
      case VK_CONTROL: Post(WM_KEYDOWN, vk); return true;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
      case VK_HOME:
      case VK_END:
      case VK_INSERT:
      case VK_DELETE:
      case VK_PRIOR:
      case VK_NEXT:
      case VK_CLEAR: Key(vk); return true;
      default: break;
    }
    if (vk >= VK_F1 && vk <= VK_F12) {
      Key(vk);
      return true;
    }
    return false;
  }

  // A typed character (an input method's result too) as its CP932 bytes;
  // one without a CP932 form is "?". Control characters below 32 other than
  // the editing ones are dropped, as the other displays drop them.
  void Char(wchar_t c) {
    if (c >= 0xD800 && c <= 0xDBFF) {  // the first half of a pair: the second completes it
      highSurrogate_ = c;
      return;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
      highSurrogate_ = 0;
      return Post(WM_CHAR, '?');
    }
    if (c < 32) {
      if (c == 8 || c == 9 || c == 13 || c == 27 || (c >= 1 && c <= 26)) Post(WM_CHAR, c);
      return;
    }
    char bytes[4];
    BOOL defaulted = FALSE;
    const int n = WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, &c, 1, bytes, sizeof bytes, nullptr,
                                      &defaulted);
    if (n <= 0 || defaulted) return Post(WM_CHAR, '?');
    for (int i = 0; i < n; ++i) Post(WM_CHAR, static_cast<unsigned char>(bytes[i]));
  }

  void AddCopyCommands() {
    HMENU system = GetSystemMenu(hwnd_, FALSE);
    if (!system) return;
    HMENU copy = CreatePopupMenu();
    AppendMenuW(copy, MF_STRING, kCommandCopyText, L"テキスト(&T)");
    AppendMenuW(copy, MF_STRING, kCommandCopyImage, L"テキスト/グラフィック(&M)");
    AppendMenuW(system, MF_SEPARATOR, kCopyMenuSeparator, nullptr);
    AppendMenuW(system, MF_POPUP, reinterpret_cast<UINT_PTR>(copy), L"コピー(&Y)");
  }

  // The whole grid with the window's frame: the largest the window gets.
  std::pair<int, int> FullSize() const {
    RECT r{0, 0, (screen_ ? screen_->Columns() : 80) * cellWidth_, (screen_ ? screen_->Rows() : 24) * cellHeight_};
    AdjustForDpi(r, kStyle & ~(WS_VSCROLL | WS_HSCROLL), dpi_);
    return {r.right - r.left, r.bottom - r.top};
  }

  // The font of the form (remembered, to be made again at another DPI).
  void MakeFontOf(const std::string& face, int pixelHeight) {
    fontFace_ = face;
    fontHeight_ = pixelHeight;
    if (font_ && ownsFont_) DeleteObject(font_);
    font_ = FontFor(face, pixelHeight, dpi_);
    ownsFont_ = true;
    std::tie(cellWidth_, cellHeight_) = CellOf(font_);
  }

  // The caret: two pixels wide at 96 DPI, one cell high.
  void MakeCaret() {
    DestroyCaret();
    CreateCaret(hwnd_, nullptr, Scaled(2, dpi_), cellHeight_);
    caretShown_ = false;
    caretPlaced_ = false;
  }

  // The statement poll presents the screen thousands of times a second: the
  // scroll bars and the caret are touched only when they change.
  void SyncScrollBars() {
    if (!hwnd_ || !screen_) return;
    const std::array<int, 4> bars{screen_->MaxScrollRow(), screen_->ScrollRow(), screen_->MaxScrollColumn(),
                                  screen_->ScrollColumn()};
    if (bars == bars_) return;
    bars_ = bars;
    SetBar(SB_VERT, bars[0], bars[1]);
    SetBar(SB_HORZ, bars[2], bars[3]);
  }
  void SetBar(int bar, int max, int position) {
    SCROLLINFO s{};
    s.cbSize = sizeof s;
    s.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    s.nMin = 0;
    s.nMax = max;
    s.nPage = max > 0 ? 1 : 0;
    s.nPos = position;
    SetScrollInfo(hwnd_, bar, &s, TRUE);
    ShowScrollBar(hwnd_, bar, max > 0);
  }

  void PlaceCaret() {
    if (!focused_ || !screen_) return;
    const int x = (screen_->CursorColumn() - screen_->ScrollColumn()) * cellWidth_;
    const int y = (screen_->CursorRow() - screen_->ScrollRow()) * cellHeight_;
    const bool want = screen_->CaretShown();
    if (caretPlaced_ && x == caretX_ && y == caretY_ && want == caretShown_) return;
    caretPlaced_ = true;
    caretX_ = x;
    caretY_ = y;
    SetCaretPos(x, y);
    if (HIMC ime = ImmGetContext(hwnd_)) {
      COMPOSITIONFORM form{};
      form.dwStyle = CFS_POINT;
      form.ptCurrentPos = {x, y};
      ImmSetCompositionWindow(ime, &form);
      ImmReleaseContext(hwnd_, ime);
    }
    if (want && !caretShown_) ShowCaret(hwnd_);
    if (!want && caretShown_) HideCaret(hwnd_);
    caretShown_ = want;
  }

  // Painted off screen first, so that a long run of output does not flicker.
  void Paint(HDC target) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = std::max<int>(1, client.right), h = std::max<int>(1, client.bottom);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, w, h);
    HGDIOBJ old = SelectObject(dc, bitmap);
    if (screen_) DrawGrid(dc, screen_->ScrollColumn(), screen_->ScrollRow(), w, h);
    else FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }

  // The background, then each row in runs of equal colour and attribute,
  // every character at its own cell (a double-byte one over two).
  void DrawGrid(HDC dc, int left, int top, int width, int height) {
    HBRUSH back = CreateSolidBrush(ToColor(kFillPalette[screen_->BackColor() & 15]));
    RECT all{0, 0, width, height};
    FillRect(dc, &all, back);
    DeleteObject(back);
    HGDIOBJ oldFont = SelectObject(dc, font_);
    const int columns = screen_->Columns(), rows = screen_->Rows();
    std::wstring text;
    std::vector<INT> advances;
    for (int r = top; r < rows; ++r) {
      const uint8_t* chars = screen_->RowChars(r);
      const uint8_t* colors = screen_->RowColors(r);
      const uint8_t* attrs = screen_->RowAttributes(r);
      const int y = (r - top) * cellHeight_;
      if (y >= height) break;
      int c = 0;
      while (c < columns) {
        int end = c;
        while (end < columns && colors[end] == colors[c] && attrs[end] == attrs[c])
          end += IsLeadByte(chars[end]) && end + 1 < columns ? 2 : 1;
        end = std::min(end, columns);
        const CellColors cc = ColorsOf(colors[c], attrs[c], screen_->BackColor());
        const int x = (c - left) * cellWidth_;
        text.clear();
        advances.clear();
        for (int k = c; k < end;) {
          const int n = IsLeadByte(chars[k]) && k + 1 < columns ? 2 : 1;
          std::wstring glyph = Cp932ToWide(std::string(reinterpret_cast<const char*>(chars + k), n));
          if (glyph.empty()) glyph = L"?";
          for (size_t g = 0; g < glyph.size(); ++g) {
            text += glyph[g];
            advances.push_back(g + 1 == glyph.size() ? n * cellWidth_ : 0);
          }
          k += n;
        }
        RECT cell{x, y, x + (end - c) * cellWidth_, y + cellHeight_};
        SetTextColor(dc, ToColor(cc.text));
        SetBkColor(dc, ToColor(cc.back));
        SetBkMode(dc, cc.opaque ? OPAQUE : TRANSPARENT);
        ExtTextOutW(dc, x, y, cc.opaque ? ETO_OPAQUE : 0, &cell, text.c_str(), static_cast<UINT>(text.size()),
                    advances.data());
        c = end;
      }
    }
    SelectObject(dc, oldFont);
  }

  void Dispatch(const MSG& m) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  bool ownsFont_ = true;  // false: a font given by WM_SETFONT
  int show_ = SW_SHOWNORMAL;
  UINT dpi_ = 96;
  std::string fontFace_ = "FixedSys";
  int fontHeight_ = 18;
  int cellWidth_ = 8, cellHeight_ = 16;
  const ScreenSource* screen_ = nullptr;
  MessageQueue* queue_ = nullptr;
  WindowHandle window_ = 1;
  WindowPlacement placement_;
  bool focused_ = false, caretShown_ = false;
  bool caretPlaced_ = false;  // false: the caret was (re)made and is placed afresh
  int caretX_ = 0, caretY_ = 0;
  std::array<int, 4> bars_{-1, -1, -1, -1};
  uint64_t drawn_ = ~uint64_t{0};
  ULONGLONG presented_ = 0;
  wchar_t highSurrogate_ = 0;
  bool endAfterSave_ = false;  // the session ends once the save under way is complete
};

}  // namespace

// The main window is made later, of the class the form player registers;
// whether windows can be made here at all (wine without an X display cannot)
// is asked now with a hidden one, so that the program can take the stream
// instead.
std::unique_ptr<Display> CreateWindowDisplay(std::string& problem) {
  HWND trial = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (!trial) {
    problem = "the window cannot be created";
    return nullptr;
  }
  DestroyWindow(trial);
  return std::make_unique<WindowDisplay>();
}

intptr_t NativeWindowProcedure(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return WindowDisplay::Procedure(static_cast<HWND>(window), message, wParam, lParam);
}

}  // namespace platform
