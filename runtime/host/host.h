// The host: process start-up, the main window and its window procedure, the
// message pump the statement prologue calls, key reads, the key wait of a
// stopped program and the one shutdown sequence.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/core/run_state.h"
#include "runtime/host/form_player.h"
#include "runtime/host/key_ring.h"
#include "runtime/host/text_screen.h"
#include "runtime/platform/display.h"
#include "runtime/platform/message_queue.h"

namespace host {

// What the compiled program gives the host.
struct ProgramImage {
  const rt::ModuleRecord* mainModule = nullptr;
  const uint8_t* runOptions = nullptr;  // the option record the compiler wrote
  size_t runOptionsSize = 0;
  std::function<void()> mainCode;
  // The program's resources; "MainForm" describes its main window.
  std::vector<Resource> resources;
};

// The option record's size and the offsets the host reads.
inline constexpr size_t kRunOptionsSize = 320;
inline constexpr size_t kPollIntervalOffset = 0x8D;

class Window {
 public:
  platform::WindowHandle handle = 0;
  std::string title;  // CP932
  FormWindow form;    // what the form resource set
  TextScreen screen;
  KeyRing keys;
  bool waitFlag = false;  // a key wait is on
  // The clipboard format of the copy command: 1 text, 2 a bitmap, 14 an
  // enhanced metafile (the grid as an image, in a display that has one).
  int copyFormat = 1;
};

class Host : public rt::Host, public FormHost {
 public:
  // Start-up, the program's run and shutdown; returns the exit code.
  int WinMain(const ProgramImage& image, int argc, char** argv,
              std::unique_ptr<platform::Display> display = nullptr);

  // rt::Host
  bool PollHost() override;
  void ReportRuntimeError(const rt::ModuleRecord* module, int number, int line,
                          uint32_t site) override;
  void EndWait(bool breakFlag, const std::string& text) override;
  void ProgramExit() override;
  bool ScreenWrite(const char* bytes, size_t length) override;
  bool ReadLine(std::string& line, size_t capacity, int& failure) override;
  int CursorColumn() override;
  int PrintWidth() override;
  int ClearScreen(int mode) override;
  int SetColors(int color, int back, int fore, int attribute, int which) override;
  int MapLastError(uint32_t code) override;
  std::string LibraryErrorText(int number) override;

  // $PbMainWndProc
  int64_t WindowProc(const platform::Message& m);
  bool PreTranslate(const platform::Message& m);
  bool QueryClose(int mode);
  // GetKey: the next code of the main window's ring, waiting for it; 0 when
  // the window has gone or the program is quitting.
  int GetKey();
  void Beep();
  // A built-in host message in a message box (table 1, or table 2).
  void ShowHostMessage(int number, bool table2 = false);

  Window* mainWindow() { return mainWindow_.get(); }
  platform::MessageQueue& queue() { return queue_; }
  platform::Display* display() { return display_.get(); }
  const std::string& exeBaseName() const { return exeBaseName_; }
  uint16_t option(int word) const { return optionTable_[word]; }
  int waitNesting() const { return waitNesting_; }

  // Opens the main window on the given display: from the "MainForm"
  // resource when there is one, else the default 80 x 24 text window titled
  // with the program's base name. 0 on success, else the failure code.
  int OpenMainWindow(std::unique_ptr<platform::Display> display, const std::vector<Resource>& resources = {});

  // FormHost
  bool ClassExists(const std::string& name) override;
  bool RegisterClass(const std::string& name, void* procedure, const std::string& icon) override;
  uint32_t CreateWindow(int kind, const std::string& className, uint32_t parent, uint32_t style,
                        uint32_t exStyle) override;
  FormWindow* WindowRecord(uint32_t handle) override;
  void Apply(uint32_t handle) override;
  int64_t SendMessage(uint32_t handle, uint32_t message, uint64_t wParam, int64_t lParam) override;
  void* LookupSymbol(const std::string& name) override;
  void MessageBox(const std::string& caption, const std::string& text) override;
  std::pair<int, int> FullWindowSize(uint32_t handle) override;
  int showCommand() const { return showCommand_; }
  void CopyOptions(const uint8_t* options, size_t size);
  void SetBaseName(const char* programFile);

 private:
  void Dispatch(const platform::Message& m);
  void DestroyMainWindow();
  void PumpPending();

  platform::MessageQueue queue_;
  std::unique_ptr<platform::Display> display_;
  std::unique_ptr<Window> mainWindow_;
  std::string exeBaseName_;
  std::array<uint16_t, 49> optionTable_{};
  int pollInterval_ = 10;
  int waitNesting_ = 0;
  bool quitSeen_ = false;
  int showCommand_ = 1;
  std::vector<std::pair<std::string, void*>> classes_;
  std::vector<FormWindow> controls_;  // child controls, handles 2 and up
};

// The process's host.
Host& TheHost();

// Starts a program compiled with the usual options (poll interval 10, Ctrl+L
// clears the input line) on the process's host; returns the exit code.
int RunProgram(const rt::ModuleRecord& module, std::vector<Resource> resources,
               std::function<void()> mainCode, int argc, char** argv);

}  // namespace host
