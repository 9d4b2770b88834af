// The statement frame: module start, the statement prologue with its message
// polling and event dispatch, GOSUB/RETURN, END, the one path by which every
// run-time error is raised, and the one termination path.
#pragma once

#include <cstdint>
#include <string>

#include "run_state.h"

namespace rt {

// Thrown by the termination path; caught only by RunMain at the program's
// entry. Program code never catches it.
struct ProgramEnd {};

// Prepares a fresh frame for a program: RunState zero, the given host, the
// poll interval from the program's options, the interrupt request enabled.
void InitRuntime(Host* host, int pollInterval);
// Releases every array, string and other resource the run-time holds.
void ShutdownRuntime();

// Runs the program's main code and, however it ends, the host's shutdown
// sequence; returns the process exit code.
int RunMain(const std::function<void()>& mainCode);

void EnterModule(const ModuleRecord* module);
void SetDataArea(const uint8_t* dataArea);

void BeginStatement();
inline void SetLine(int16_t line) { State().currentLine = line; }
inline int16_t GetLine() { return State().currentLine; }

void Gosub(const Handler& target);
void Return();

[[noreturn]] void EndProgram(int16_t exitCode);
// Leaves through the termination path.
[[noreturn]] void LeaveProgram();
// Sets the raising flag: from here on no error is reported.
void BeginShutdown();
// $PbSetTerminatingFlag: sets the ended flag.
void SetTerminatingFlag();

// Raises a run-time error. Returns only when the error is ignored (another
// error is being processed, or the number is 0); callers then give up their
// operation safely.
void RaiseError(int number, uint32_t site);

// Thrown by RaiseError to the innermost TrapErrors; program code never
// catches it itself.
struct TrappedError {
  int number;
  uint32_t site;
};

// ON ERROR for the duration of body: an error raised inside it is not
// reported and does not end the program; body is abandoned at that point and
// the error's number returned (the error context keeps its line and site).
// 0 when body completes. The interrupt (error 98) is never trapped.
int TrapErrors(const std::function<void()>& body);

// The text of a run-time error for the user: the message library's, else
// the run-time's own for the errors of files and devices, else empty.
std::string ErrorMessage(int number);

void PostEvent(uint16_t event);
// The interrupt request, when it is pending: clears it and, when event 1 is
// enabled and not running, shows the interrupt text, waits and ends the
// program. Returns only when nothing ended.
void ServeInterruptRequest();
// The next event handler to dispatch, or null.
const Handler* NextEvent();
// Binds a handler to an event and sets its enabled bit (ON ... GOSUB with ON).
void SetEventHandler(uint16_t event, Handler handler, bool enabled);

// The interrupt request's text, CP932 bytes: "\r\n中断しました MAIN.BAS[12行] ...".
std::string InterruptText(const ModuleRecord* module, int line);

}  // namespace rt
