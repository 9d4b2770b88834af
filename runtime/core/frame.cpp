#include "frame.h"

#include <cfenv>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "arrays.h"
#include "dir_search.h"
#include "files.h"
#include "strings.h"

namespace rt {

int Host::MapLastError(uint32_t code) { return MapPlatformError(code); }

Frame& TheFrame() {
  static Frame frame;
  return frame;
}

void InitRuntime(Host* host, int pollInterval) {
  Frame& f = TheFrame();
  ShutdownRuntime();
  f.state = RunState{};
  for (EventEntry& e : f.events) e = EventEntry{};
  f.queue = EventQueue{};
  f.gosubCount = 0;
  f.host = host;
  f.state.pollInterval = pollInterval;
  f.events[kInterruptEvent].flags |= kEventEnabled;
  std::feclearexcept(FE_ALL_EXCEPT);
}

void ShutdownRuntime() {
  FinishFiles();
  CloseAllDirectories();
  FreeAllArrays();
  FreeStringHeap();
}

namespace {

// The program's own work (a table of a large answer, a long text) could not
// have the memory it asked for. Everything taken on the way here has been
// given back, so the error is reported as a block that cannot be had is:
// error 7 on the line that was running. Should the report itself find no
// memory, the run still ends as failed.
void OutOfMemory() {
  RunState& s = State();
  s.failed = true;
  s.exitCode = kExitRuntimeError;
  try {
    RaiseError(7, 0xC701);
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace

int RunMain(const std::function<void()>& mainCode) {
  try {
    try {
      mainCode();
    } catch (const std::bad_alloc&) {
      OutOfMemory();
    } catch (const std::length_error&) {  // a size no allocation can meet
      OutOfMemory();
    }
  } catch (const ProgramEnd&) {
  }
  Frame& f = TheFrame();
  try {
    if (f.host) f.host->ProgramExit();
  } catch (const std::bad_alloc&) {
    f.state.failed = true;
    f.state.exitCode = kExitRuntimeError;
  }
  BeginShutdown();
  // Whatever the host did not finish: files still open are completed after a
  // normal end and dropped after a failure, and no temporary of a save is
  // left either way.
  FinishFiles();
  return f.state.exitCode;
}

void EnterModule(const ModuleRecord* module) {
  RunState& s = State();
  // The first call sets the main module, the second the current one.
  if (!s.mainModule) s.mainModule = module;
  s.currentModule = module;
}

void SetDataArea(const uint8_t* dataArea) { State().dataPointer = dataArea; }

void LeaveProgram() { throw ProgramEnd{}; }

void BeginShutdown() { State().raising = true; }

void SetTerminatingFlag() { State().ended = true; }

void EndProgram(int16_t exitCode) {
  RunState& s = State();
  s.ended = true;
  s.exitCode = exitCode;
  LeaveProgram();
}

void BeginStatement() {
  Frame& f = TheFrame();
  RunState& s = f.state;
  if (s.pollCountdown == 0) {
    s.pollCountdown = s.pollInterval;
    if (f.host && !f.host->PollHost()) LeaveProgram();
  } else {
    --s.pollCountdown;
  }
  const Handler* handler = NextEvent();
  if (!handler) return;
  int16_t line = s.currentLine;
  (*handler)();
  s.currentLine = line;
}

void Gosub(const Handler& target) {
  Frame& f = TheFrame();
  if (f.gosubCount >= kGosubDepth) {
    RaiseError(32, 0xB101);
    return;
  }
  f.gosub[f.gosubCount++] = GosubEntry{-1, f.state.levelFrame};
  int16_t line = f.state.currentLine;
  target();
  f.state.currentLine = line;
}

void Return() {
  Frame& f = TheFrame();
  if (f.gosubCount == 0) return RaiseError(3, 0xB201);
  const GosubEntry& top = f.gosub[f.gosubCount - 1];
  if (top.levelFrame != f.state.levelFrame) return RaiseError(3, 0xB202);
  --f.gosubCount;
  if (top.tag != -1) {
    f.events[top.tag].flags &= ~kEventRunning;
    --f.state.handlerDepth;
    f.state.dispatchedLast = false;
    f.state.inCallback = false;
  }
}

// The interrupt request: the key wait with its text, then the end.
[[noreturn]] static void InterruptSequence() {
  Frame& f = TheFrame();
  RunState& s = f.state;
  s.failed = true;
  const uint16_t flags = f.events[kInterruptEvent].flags;
  if ((flags & kEventEnabled) && !(flags & kEventRunning) && f.host) {
    f.host->EndWait(true, InterruptText(s.currentModule, s.currentLine));
  }
  s.ended = true;
  LeaveProgram();
}

void RaiseError(int number, uint32_t site) {
  Frame& f = TheFrame();
  RunState& s = f.state;
  s.errorSite = site;
  std::feclearexcept(FE_ALL_EXCEPT);
  if (s.raising || number == 0) return;
  s.errorNumber = static_cast<int16_t>(number);
  s.errorLine = s.currentLine;
  s.errorModule = s.currentModule;
  s.raising = true;
  ResetStringStack();
  if (f.host) f.host->EndBusy();
  // An active trap takes every error but the interrupt. The raising flag
  // stays set while the stack unwinds to it, so that nothing raised on the
  // way is reported; the trap clears it.
  if (s.errorTraps > 0 && number != 98) throw TrappedError{number, site};
  // From here the run ends in failure, however the report goes.
  s.failed = true;
  if (number == 98) InterruptSequence();
  // A program that ends in an error reports failure to whoever started it.
  s.exitCode = kExitRuntimeError;
  if (f.host) f.host->ReportRuntimeError(s.errorModule, number, s.errorLine, site);
  SetTerminatingFlag();
  LeaveProgram();
}

int TrapErrors(const std::function<void()>& body) {
  Frame& f = TheFrame();
  // Restores the trap count however body is left (a trapped error, or the
  // end of the program passing through).
  struct Scope {
    RunState& s;
    explicit Scope(RunState& state) : s(state) { ++s.errorTraps; }
    ~Scope() { --s.errorTraps; }
  };
  const int gosubCount = f.gosubCount;
  try {
    Scope scope(f.state);
    body();
  } catch (const TrappedError& e) {
    f.gosubCount = gosubCount;
    f.state.raising = false;
    return e.number;
  }
  return 0;
}

void ServeInterruptRequest() {
  Frame& f = TheFrame();
  EventEntry& interrupt = f.events[kInterruptEvent];
  if (!(interrupt.flags & kEventEnabled) || !(interrupt.flags & kEventPending)) return;
  interrupt.flags &= ~kEventPending;
  for (int i = 0; i < f.queue.count; ++i) f.events[f.queue.events[i]].flags &= ~kEventPending;
  f.queue.count = 0;
  if (!(interrupt.flags & kEventRunning)) InterruptSequence();
}

void PostEvent(uint16_t event) {
  Frame& f = TheFrame();
  if (event >= kEventCount) return;
  EventEntry& e = f.events[event];
  if (event == kInterruptEvent) {
    if ((e.flags & kEventEnabled) && !(e.flags & kEventPending)) e.flags |= kEventPending;
    return;
  }
  if (e.handler && (e.flags & kEventEnabled) && !(e.flags & kEventPending) &&
      f.queue.count < kEventCount) {
    e.flags |= kEventPending;
    f.queue.events[f.queue.count++] = event;
  }
}

const Handler* NextEvent() {
  Frame& f = TheFrame();
  RunState& s = f.state;
  EventEntry& interrupt = f.events[kInterruptEvent];
  if ((interrupt.flags & kEventEnabled) && (interrupt.flags & kEventPending)) {
    ServeInterruptRequest();
    return nullptr;
  }
  if (s.inCallback) return nullptr;
  if (f.host && f.host->FormEventsPending(2)) {
    if (f.host->RunNextFormEvent()) return nullptr;
  }
  if (s.dispatchedLast) {
    s.dispatchedLast = false;
    return nullptr;
  }
  for (int i = 0; i < f.queue.count; ++i) {
    uint16_t n = f.queue.events[i];
    EventEntry& e = f.events[n];
    const uint16_t want = kEventEnabled | kEventPending;
    if ((e.flags & want) != want || (e.flags & kEventRunning)) continue;
    if (f.gosubCount >= kGosubDepth) {
      RaiseError(32, 0xB101);
      return nullptr;
    }
    e.flags = static_cast<uint16_t>((e.flags & ~kEventPending) | kEventRunning);
    ++s.handlerDepth;
    for (int j = i + 1; j < f.queue.count; ++j) f.queue.events[j - 1] = f.queue.events[j];
    --f.queue.count;
    s.dispatchedLast = true;
    f.gosub[f.gosubCount++] = GosubEntry{static_cast<int16_t>(n), s.levelFrame};
    return &e.handler;
  }
  return nullptr;
}

void SetEventHandler(uint16_t event, Handler handler, bool enabled) {
  if (event >= kEventCount) return;
  EventEntry& e = TheFrame().events[event];
  e.handler = std::move(handler);
  if (enabled) e.flags |= kEventEnabled;
  else e.flags &= ~kEventEnabled;
}

}  // namespace rt
