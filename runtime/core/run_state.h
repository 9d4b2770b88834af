// The run-time's global state for the running program: the module record,
// the statement frame's state, the event table and queue, the GOSUB stack,
// and the interface through which the frame reaches the host.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace rt {

// One per source module, written by the compiled program.
struct ModuleRecord {
  uint32_t reserved0 = 0;
  const void* dataArea = nullptr;
  uint32_t reserved1 = 0;
  uint16_t nameLength = 0;
  const char* name = "";  // NUL-terminated, for example "MAIN.BAS"
};

// The host side that the frame calls. The host of the run-time implements
// it; tests implement it to watch the frame.
class Host {
 public:
  virtual ~Host() = default;
  // Serves pending window messages; false when the quit message arrived.
  virtual bool PollHost() = 0;
  // Deferred form events (mode 2: menu-item records).
  virtual bool FormEventsPending(int /*mode*/) { return false; }
  virtual bool RunNextFormEvent() { return false; }
  // Shows the error line of a fatal run-time error and waits for a key.
  virtual void ReportRuntimeError(const ModuleRecord* module, int number, int line,
                                  uint32_t site) = 0;
  // Shows a text (CP932 bytes) and waits for a key; breakFlag marks the
  // interrupt request's wait.
  virtual void EndWait(bool breakFlag, const std::string& text) = 0;
  // Ends one level of the host's busy state.
  virtual void EndBusy() {}
  // The one shutdown sequence; must call rt::BeginShutdown() before it
  // releases the run-time's resources.
  virtual void ProgramExit() = 0;

  // The text screen of the main window, for PRINT, INPUT, CLS and COLOR.
  // Writes CP932 bytes at the cursor; false when there is no text screen.
  virtual bool ScreenWrite(const char* /*bytes*/, size_t /*length*/) { return false; }
  // Reads a typed line of at most capacity bytes. On failure, failure is 0
  // when the window has gone (the program ends quietly) or a run-time error.
  virtual bool ReadLine(std::string& /*line*/, size_t /*capacity*/, int& failure) {
    failure = 0;
    return false;
  }
  virtual int CursorColumn() { return 0; }
  virtual int PrintWidth() { return 0; }
  // The run-time error number of a platform (Windows) error code; the host
  // also records the code.
  virtual int MapLastError(uint32_t code);
  // The message library's text of a run-time error (CP932), or empty.
  virtual std::string LibraryErrorText(int /*number*/) { return {}; }
  // CLS and COLOR: 0, or the run-time error number to raise.
  virtual int ClearScreen(int /*mode*/) { return 1000; }
  virtual int SetColors(int /*color*/, int /*back*/, int /*fore*/, int /*attribute*/, int /*which*/) {
    return 1000;
  }
};

using Handler = std::function<void()>;

inline constexpr int kEventCount = 49;
inline constexpr int kInterruptEvent = 1;
inline constexpr int kGosubDepth = 128;

enum EventFlag : uint16_t {
  kEventEnabled = 1,
  kEventRunning = 2,
  kEventPending = 4,
};

struct EventEntry {
  Handler handler;
  uint16_t flags = 0;
};

struct EventQueue {
  uint16_t events[kEventCount] = {};
  int count = 0;
};

struct GosubEntry {
  int16_t tag = -1;  // -1: GOSUB; otherwise the number of the event handler
  const void* levelFrame = nullptr;
};

// The process's exit statuses, the same in every display: 0 the program
// ended (also when the user closed its window), 1 a run-time error, 2 a bad
// command-line option, 3 the input ended while the program still waited for
// keys; a signal that ends the process gives 128 + its number.
enum ExitStatus : int16_t { kExitEnded = 0, kExitRuntimeError = 1, kExitBadOption = 2, kExitInputEnded = 3 };

struct RunState {
  const void* levelFrame = nullptr;  // always null: the programs use no procedure levels
  int16_t currentLine = 0;
  const ModuleRecord* currentModule = nullptr;
  const ModuleRecord* mainModule = nullptr;
  const uint8_t* dataPointer = nullptr;
  int16_t dataLine = 0;
  int16_t errorNumber = 0;
  int16_t errorLine = 0;
  const ModuleRecord* errorModule = nullptr;
  uint32_t errorSite = 0;
  bool inHandler = false;
  bool raising = false;
  int16_t exitCode = 0;
  bool ended = false;
  // The run is ending in a failure (a reported error, the interrupt request,
  // memory that could not be had): files still being written are dropped at
  // the end instead of completed, so an older file of their name stays.
  bool failed = false;
  int32_t pollCountdown = 0;
  int32_t pollInterval = 0;
  int32_t callbackDepth = 0;
  // Error traps now active (TrapErrors); 0 in most of the programs' code.
  int32_t errorTraps = 0;
  // Frame bookkeeping of event dispatch.
  bool inCallback = false;
  bool dispatchedLast = false;
  int handlerDepth = 0;
};

struct Frame {
  RunState state;
  EventEntry events[kEventCount];
  EventQueue queue;
  GosubEntry gosub[kGosubDepth];
  int gosubCount = 0;
  Host* host = nullptr;
};

// The single frame of the process.
Frame& TheFrame();
inline RunState& State() { return TheFrame().state; }

}  // namespace rt
