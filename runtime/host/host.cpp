#include "runtime/host/host.h"

#include <cstdlib>
#include <cstring>

#include "runtime/core/frame.h"
#include "runtime/core/files.h"
#include "runtime/host/error_report.h"
#include "runtime/host/host_texts.h"
#include "runtime/host/line_editor.h"
#include "runtime/platform/dynamic_library.h"
#include "runtime/platform/encoding.h"
#include "runtime/platform/process.h"
#include "runtime/platform/resources.h"

namespace host {

using namespace platform;

Host& TheHost() {
  static Host host;
  return host;
}

namespace {
constexpr WindowHandle kMainHandle = 1;
// The failure code of a window that cannot be opened for want of its class.
constexpr int kFailureNoClass = 1014;

inline int Low(int64_t v) { return static_cast<int>(v & 0xFFFF); }
inline int High(int64_t v) { return static_cast<int>((v >> 16) & 0xFFFF); }
}  // namespace

void Host::SetBaseName(const char* programFile) {
  // What follows the last "\", "/" or ":", stepping over double-byte
  // characters so that a trail byte is never taken for a separator; cut at
  // the last ".". The walk is over Shift-JIS.
  std::string name;
  const std::string file = ProgramFileName(programFile);
  const char* p = file.c_str();
  size_t start = 0, i = 0, n = file.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (IsLeadByte(c) && i + 1 < n) {
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/' || c == ':') start = i + 1;
    ++i;
  }
  name.assign(p + start, n - start);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  exeBaseName_ = name;
}

void Host::CopyOptions(const uint8_t* o, size_t size) {
  std::array<uint8_t, kRunOptionsSize> b{};
  if (o) std::memcpy(b.data(), o, std::min(size, b.size()));
  auto word16 = [&](size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); };
  optionTable_.fill(0);
  for (int w = 0; w <= 7; ++w) optionTable_[w] = b[32 + w];
  optionTable_[8] = b[74];
  optionTable_[9] = b[75];
  for (int w = 10; w <= 15; ++w) optionTable_[w] = b[78 + (w - 10)];
  optionTable_[17] = b[85];
  optionTable_[18] = b[96];
  optionTable_[19] = word16(97);
  for (int w = 20; w <= 23; ++w) optionTable_[w] = b[128 + (w - 20)];
  for (int w = 25; w <= 32; ++w) optionTable_[w] = b[133 + (w - 25)];
  pollInterval_ = b[kPollIntervalOffset];
  optionTable_[33] = b[224];
  optionTable_[34] = b[225];
  optionTable_[35] = 1;
  optionTable_[42] = b[272];
  for (int w = 44; w <= 48; ++w) optionTable_[w] = word16(64 + 2 * (w - 44));
}

int Host::OpenMainWindow(std::unique_ptr<Display> display, const std::vector<Resource>& resources) {
  display_ = display ? std::move(display) : CreateDisplay();
  queue_.Clear();
  queue_.SetDisplay(display_.get());
  classes_.clear();
  controls_.clear();
  mainWindow_.reset();
  showCommand_ = StartShowCommand();
  // The class of a window without a form, registered before any window is
  // made; failing, the window cannot be opened (built-in message 3).
  if (!display_->RegisterWindowClass({"T5Q0CLASS", LookupSymbol("$PbMainWndProc"), "T5q0dflt", true}))
    return kFailureNoClass;
  queue_.SetReceiver([this](const Message& m) { return WindowProc(m); });
  if (FindResource(resources, kResourceRcData, "MainForm")) {
    int failure = 0;
    uint32_t form = LoadForm(*this, resources, "MainForm", showCommand_, failure);
    if (!form || !mainWindow_) {
      mainWindow_.reset();
      return failure ? failure : 1012;
    }
  } else {
    if (option(26) == 1) showCommand_ = 0;  // started hidden
    if (!CreateWindow(0, "T5Q0CLASS", 0, 0, 0)) return kFailureNoClass;
    mainWindow_->form.title = exeBaseName_;
    mainWindow_->form.controlName = "MainForm";
    mainWindow_->form.copyCommands = true;
  }
  Window* w = mainWindow_.get();
  w->title = w->form.title;
  Display* d = display_.get();
  w->screen.SetDrawObserver([d](const char* bytes, size_t n) { d->TextDrawn(bytes, n); });
  w->keys.SetBeep([this] { Beep(); });
  display_->SetGeometry(w->form.x, w->form.y, w->form.width, w->form.height);
  if (w->form.hasFont) display_->SetFont(w->form.font.face, std::abs(w->form.font.height));
  display_->SetShowCommand(showCommand_);
  display_->Open(&w->screen, kMainHandle);
  display_->SetTitle(w->title);
  // Shown and active: the window has the focus.
  WindowProc({kMainHandle, WM_SETFOCUS, 0, 0});
  return 0;
}

bool Host::ClassExists(const std::string& name) {
  for (auto& c : classes_)
    if (c.first == name) return true;
  return false;
}

bool Host::RegisterClass(const std::string& name, void* procedure, const std::string& icon) {
  if (!procedure || !display_ || !display_->RegisterWindowClass({name, procedure, icon, false})) return false;
  classes_.push_back({name, procedure});
  return true;
}

uint32_t Host::CreateWindow(int kind, const std::string& className, uint32_t parent, uint32_t style,
                            uint32_t exStyle) {
  if (kind == 0) {
    if (mainWindow_) return 0;  // one main window
    mainWindow_ = std::make_unique<Window>();
    mainWindow_->handle = kMainHandle;
    FormWindow& f = mainWindow_->form;
    f.kind = 0;
    f.className = className;
    f.style = style;
    f.exStyle = exStyle;
    f.parent = parent;
    // The real window, where the display has window classes.
    if (display_ && !display_->CreateMainWindow(className)) {
      mainWindow_.reset();
      return 0;
    }
    return kMainHandle;
  }
  FormWindow child;
  child.kind = kind;
  child.className = className;
  child.parent = parent;
  child.style = style;
  child.exStyle = exStyle;
  controls_.push_back(child);
  return static_cast<uint32_t>(controls_.size() + 1);
}

FormWindow* Host::WindowRecord(uint32_t handle) {
  if (handle == kMainHandle) return mainWindow_ ? &mainWindow_->form : nullptr;
  if (handle >= 2 && handle - 2 < controls_.size()) return &controls_[handle - 2];
  return nullptr;
}

void Host::Apply(uint32_t handle) {
  if (handle != kMainHandle || !mainWindow_) return;
  FormWindow& f = mainWindow_->form;
  TextScreen& screen = mainWindow_->screen;
  mainWindow_->title = f.title;
  if (f.columns != screen.Columns() || f.rows != screen.Rows()) screen.SetGrid(f.columns, f.rows);
  screen.SetColors(f.textColor, f.backColor, f.foreColor, f.attribute, 15);
  screen.SetMapMode(f.mapMode);
}

int64_t Host::SendMessage(uint32_t handle, uint32_t message, uint64_t wParam, int64_t lParam) {
  return WindowProc({handle, message, wParam, lParam});
}

void* Host::LookupSymbol(const std::string& name) { return platform::ProgramSymbol(name); }

void Host::MessageBox(const std::string& caption, const std::string& text) {
  if (display_) display_->MessageBox(caption, text);
}

// The window that shows the whole grid: the grid in cells of the form's font
// (the extent of "." as the display draws it), plus the window's frame.
std::pair<int, int> Host::FullWindowSize(uint32_t handle) {
  FormWindow* f = WindowRecord(handle);
  std::pair<int, int> cell{8, 16}, frame{8, 34};
  if (display_) {
    const bool font = f && f->hasFont;
    cell = display_->CellSize(font ? f->font.face : "", font ? std::abs(f->font.height) : 0);
    frame = display_->FrameSize();
  }
  int columns = f ? f->columns : 80, rows = f ? f->rows : 24;
  return {columns * cell.first + frame.first, rows * cell.second + frame.second};
}

int Host::WinMain(const ProgramImage& image, int argc, char** argv,
                  std::unique_ptr<Display> display) {
  PrepareProcess();
  SetBaseName(argc > 0 ? argv[0] : "");
  CopyOptions(image.runOptions, image.runOptionsSize);
  rt::InitRuntime(this, pollInterval_);  // also enables the interrupt request
  waitNesting_ = 0;
  quitSeen_ = false;
  if (int failure = OpenMainWindow(std::move(display), image.resources)) {
    // A window that cannot be opened: the failure's built-in message.
    int message = failure == 27 ? 1 : failure == 7 ? 2 : failure == 1010 ? 6 : failure == 1011 ? 8
                  : failure == 1012 ? 7 : failure == 1014 ? 3 : 1;
    ShowHostMessage(message);
    if (display_) display_->Close();
    return 0;
  }
  InstallFatalSignalReport();
  int code = rt::RunMain(image.mainCode);
  // A run that ended because its input did, while it still waited for keys,
  // was cut short: scripts tell it from a finished one.
  if (code == rt::kExitEnded && display_ && display_->InputEnded()) code = rt::kExitInputEnded;
  if (display_) display_->Close();
  rt::ShutdownRuntime();
  // The display goes before the process ends, not among the static objects.
  queue_.SetDisplay(nullptr);
  display_.reset();
  return static_cast<uint16_t>(code);
}

bool Host::PreTranslate(const Message&) { return false; }  // no accelerator tables

void Host::Dispatch(const Message& m) {
  if (m.window == kMainHandle && mainWindow_) WindowProc(m);
}

// Closing is allowed when the program is ending or a key wait is on, and
// otherwise too: no form of these programs binds a _QUERYCLOSE handler.
bool Host::QueryClose(int) { return true; }

void Host::DestroyMainWindow() {
  if (!mainWindow_) return;
  if (display_) {
    display_->Present();
    display_->WindowDestroyed();
  }
  mainWindow_.reset();
  queue_.PostQuit(0);
}

int64_t Host::WindowProc(const Message& m) {
  Window* w = mainWindow_.get();
  if (!w) return 0;
  switch (m.message) {
    case WM_KEYDOWN:
      w->keys.OnKeyDown(static_cast<uint32_t>(m.wParam));
      return 0;
    case WM_SYSKEYDOWN:
      if (m.wParam == VK_F10) w->keys.OnKeyDown(VK_F10);
      return 0;
    case WM_KEYUP:
      w->keys.OnKeyUp(static_cast<uint32_t>(m.wParam));
      return 0;
    case WM_CHAR:
      w->keys.OnChar(static_cast<uint8_t>(m.wParam));
      return 0;
    case WM_CLOSE:
      if (m.wParam == 0 && !QueryClose(0)) return 0;
      DestroyMainWindow();
      return 0;
    case WM_SIZE:
      w->screen.SetVisibleCells(Low(m.lParam), High(m.lParam));
      return 0;
    case WM_SETFOCUS:
      w->screen.SetFocus(true);
      return 0;
    case WM_KILLFOCUS:
      w->screen.SetFocus(false);
      return 0;
    case WM_SYSCOMMAND:
      if (m.wParam == kCommandCopyText) {
        if (!display_->CopyText(w->screen.CopyText())) ShowHostMessage(3, true);
      } else if (m.wParam == kCommandCopyImage) {
        if (!display_->CopyImage()) ShowHostMessage(3, true);
      }
      return 0;
    case WM_COPY: {
      const bool copied = w->copyFormat == 1 ? display_->CopyText(w->screen.CopyText()) : display_->CopyImage();
      if (!copied) ShowHostMessage(3, true);
      return 0;
    }
    case WM_COMPACTING:  // the system runs short of memory
      ShowHostMessage(2);
      return 0;
    case WM_USER:
      return w->copyFormat;
    case WM_USER_SET_COPY_FORMAT:
      if (m.wParam != 1 && m.wParam != 2 && m.wParam != 14) return 0;
      w->copyFormat = static_cast<int>(m.wParam);
      return 1;
    case WM_HELP:  // help on the last run-time error (the error box's help button)
      ShowHelp(true, rt::State().errorNumber);
      return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
      w->screen.Scroll(m.message == WM_VSCROLL, static_cast<int>(m.wParam & 0xFFFF),
                       static_cast<int>(m.wParam >> 16));
      return 0;
    case WM_MOUSEMOVE: rt::PostEvent(14); return 0;
    case WM_LBUTTONDOWN: rt::PostEvent(15); return 0;
    case WM_LBUTTONUP: rt::PostEvent(16); return 0;
    case WM_RBUTTONDOWN: rt::PostEvent(17); return 0;
    case WM_RBUTTONUP: rt::PostEvent(18); return 0;
    case WM_MBUTTONDOWN: rt::PostEvent(19); return 0;
    case WM_MBUTTONUP: rt::PostEvent(20); return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      // During the key wait a double click only ends the wait.
      if (w->waitFlag) {
        w->waitFlag = false;
        return 0;
      }
      rt::PostEvent(m.message == WM_LBUTTONDBLCLK ? 21 : m.message == WM_RBUTTONDBLCLK ? 22 : 23);
      return 0;
    case WM_MOUSEWHEEL: rt::PostEvent(24); return 0;
    default:
      return 0;
  }
}

// Serves every pending message; false when the quit message arrived.
bool Host::PollHost() {
  if (rt::State().callbackDepth > 0) return true;  // no form handlers run program code here
  Message m;
  while (queue_.Peek(m, 0, 0, false)) {
    if (!queue_.Get(m)) return false;
    if (!PreTranslate(m)) Dispatch(m);
  }
  if (display_) display_->PresentWhileBusy();
  return true;
}

void Host::PumpPending() {
  Message m;
  while (queue_.Peek(m, 0, 0, false)) {
    if (!queue_.Get(m)) break;
    if (!PreTranslate(m)) Dispatch(m);
  }
}

int Host::GetKey() {
  for (;;) {
    if (!mainWindow_) return 0;
    if (!mainWindow_->keys.Empty()) break;
    display_->Present();
    Message m;
    if (!queue_.Get(m)) return 0;
    if (!PreTranslate(m)) Dispatch(m);
  }
  int code = mainWindow_->keys.Take();
  if (code == 3) rt::ServeInterruptRequest();
  return code;
}

void Host::Beep() {
  if (display_) display_->Beep();
}

void Host::ShowHostMessage(int number, bool table2) {
  if (display_)
    display_->MessageBox(exeBaseName_ + ".EXE", text::HostMessage(number, table2),
                         platform::Display::BoxKind::HostMessage);
}

bool Host::ScreenWrite(const char* bytes, size_t length) {
  if (!mainWindow_) return false;
  return mainWindow_->screen.Write(bytes, length);
}

bool Host::ReadLine(std::string& line, size_t capacity, int& failure) {
  failure = 0;
  if (!mainWindow_) return false;
  LineInputHost input;
  input.getKey = [this] { return GetKey(); };
  input.beep = [this] { Beep(); };
  input.clearKeyErases = option(21) != 0;
  Window* w = mainWindow_.get();
  return host::ReadLine(w->screen, w->keys, input, capacity, line);
}

int Host::CursorColumn() { return mainWindow_ ? mainWindow_->screen.state().cursorCol : 0; }
int Host::PrintWidth() { return mainWindow_ ? mainWindow_->screen.state().printWidth : 0; }

int Host::ClearScreen(int mode) {
  if (!mainWindow_) return 1000;
  return mainWindow_->screen.ClearScreen(mode);
}

int Host::SetColors(int color, int back, int fore, int attribute, int which) {
  if (!mainWindow_) return 1000;
  return mainWindow_->screen.SetColors(color, back, fore, attribute, which);
}

void Host::ReportRuntimeError(const rt::ModuleRecord* module, int number, int line, uint32_t site) {
  const char* name = module ? module->name : "";
  std::string errorLine = text::ErrorLine(name, line, number);
  WriteErrorRecord(name, line, number, site);
  std::string library;
  bool hasText = LookupErrorText(number, library);
  if (mainWindow_ && mainWindow_->screen.state().mapMode == 0) {
    mainWindow_->screen.Write(errorLine);
    if (hasText) mainWindow_->screen.Write("\r\n" + library);
    EndWait(false, text::PressAnyKey());
  } else if (display_) {
    display_->MessageBox(exeBaseName_ + ".EXE", hasText ? errorLine + "\n" + library : errorLine,
                         platform::Display::BoxKind::RuntimeError);
  }
}

int Host::MapLastError(uint32_t code) { return host::MapLastError(code); }

std::string Host::LibraryErrorText(int number) {
  std::string text;
  return LookupErrorText(number, text) ? text : std::string();
}

void Host::EndWait(bool breakFlag, const std::string& given) {
  (void)breakFlag;  // the interrupt request passes its own text
  const std::string shown = given.empty() ? text::PressAnyKey() : given;
  ++waitNesting_;
  if (mainWindow_ && mainWindow_->screen.state().mapMode == 0) {
    Window* w = mainWindow_.get();
    w->screen.Write(shown);
    w->keys.Clear();
    const bool caret = w->screen.GetCaretVisible();
    w->screen.SetCaretVisible(true);
    w->waitFlag = true;
    while (mainWindow_ && mainWindow_->keys.Empty() && mainWindow_->waitFlag) {
      display_->Present();
      Message m;
      if (!queue_.Get(m)) {
        quitSeen_ = true;
        break;
      }
      if (!PreTranslate(m)) Dispatch(m);
    }
    ShowHelp(false, rt::State().errorNumber);
    if (mainWindow_) {
      mainWindow_->waitFlag = false;
      mainWindow_->screen.SetCaretVisible(caret);
      mainWindow_->keys.Clear();
      mainWindow_->screen.Write("\r\n", 2);
    }
  } else if (display_) {
    display_->MessageBox(exeBaseName_ + ".EXE", shown, platform::Display::BoxKind::Wait);
  }
  --waitNesting_;
}

void Host::ProgramExit() {
  PumpPending();
  if (mainWindow_) {
    WindowProc({kMainHandle, WM_CLOSE, 1, 0});
    PumpPending();
  }
  rt::BeginShutdown();
  rt::FinishFiles();
}

int RunProgram(const rt::ModuleRecord& module, std::vector<Resource> resources,
               std::function<void()> mainCode, int argc, char** argv) {
  static uint8_t options[kRunOptionsSize] = {};
  options[kPollIntervalOffset] = 10;
  options[129] = 1;  // option word 21
  ProgramImage image;
  image.mainModule = &module;
  image.runOptions = options;
  image.runOptionsSize = sizeof options;
  image.mainCode = std::move(mainCode);
  // Resources compiled into the program file take the place of those it
  // carries as data.
  for (Resource& r : resources)
    if (auto bytes = platform::ProgramResource(r.type, r.name)) r.bytes = std::move(*bytes);
  image.resources = std::move(resources);
  return platform::ProgramEnded(TheHost().WinMain(image, argc, argv));
}

}  // namespace host

// The window procedure of the run-time's window classes, found by name as
// the form player finds it. On Windows it is the real windows' procedure
// (the window display answers what the system sends, and passes it on to
// the host); elsewhere the host's own, on the host's messages.
#if defined(_WIN32)
TESSEL_EXPORTED intptr_t __stdcall $PbMainWndProc(void* window, uint32_t message, uintptr_t wParam,
                                                  intptr_t lParam) {
  return platform::NativeWindowProcedure(window, message, wParam, lParam);
}
#else
TESSEL_EXPORTED int64_t $PbMainWndProc(uint32_t window, uint32_t message, uint64_t wParam, int64_t lParam) {
  return host::TheHost().WindowProc({window, message, wParam, lParam});
}
#endif

TESSEL_EXPORTED void $PbSetTerminatingFlag() { rt::SetTerminatingFlag(); }
