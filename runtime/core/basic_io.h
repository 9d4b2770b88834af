// The I/O statements of the facade: PRINT, PRINT #, INPUT, INPUT #, OPEN,
// CLOSE, CLS, COLOR and the directory search.
//
//   Print()("Answer =", Semi);                 // PRINT "Answer =";
//   Print()(" Column Number          =", Semi)(factorCount, EndLine);
//   PrintFile(1)(answerCount, Semi)(",", Semi)(letterCount, End);
//   Input("式は ", ExpressionText);             // INPUT "式は ", E$
#pragma once

#include "runtime/core/basic.h"
#include "runtime/core/dir_search.h"
#include "runtime/core/files.h"

namespace basic {

inline constexpr int EndLine = rt::kPrintEnd;
inline constexpr int Comma = rt::kPrintComma;
inline constexpr int Semi = rt::kPrintSemicolon;

// One PRINT statement; each call prints one item with its separator.
class PrintStatement {
 public:
  PrintStatement& operator()(StrExpr item, int separator = EndLine) {
    (void)item;
    rt::PrintString(separator);
    return *this;
  }
  PrintStatement& operator()(const Single& v, int separator = EndLine) {
    rt::PrintSingle(v.get(), separator);
    return *this;
  }
  PrintStatement& operator()(const Double& v, int separator = EndLine) {
    rt::PrintDouble(v.get(), separator);
    return *this;
  }
};

// PRINT to the screen, PRINT # to a file.
inline PrintStatement Print() {
  rt::SelectWindowOutput(0);
  return {};
}
inline PrintStatement PrintFile(Value fileNumber) {
  rt::SelectFileOutput(Cint(fileNumber));
  return {};
}
// PRINT alone: ends the line.
inline void PrintLine() { Print()("", EndLine); }

// INPUT "prompt"; var (the prompt is followed by "? ").
template <class V>
void Input(StrExpr prompt, V& var) {
  (void)prompt;
  rt::SetInputPrompt(0, 2);
  rt::VarRef list[] = {Ref(var)};
  rt::InputVars(list, 1);
}
// INPUT #n, var
template <class V>
void InputFile(Value fileNumber, V& var) {
  rt::SelectFileInput(Cint(fileNumber));
  rt::VarRef list[] = {Ref(var)};
  rt::InputVars(list, 1);
}

// OPEN name FOR INPUT/OUTPUT AS #n
inline void OpenInput(StrExpr name, Value fileNumber) {
  (void)name;
  rt::OpenFile(rt::kModeInput, 0, Cint(fileNumber));
}
inline void OpenOutput(StrExpr name, Value fileNumber) {
  (void)name;
  rt::OpenFile(rt::kModeOutput, 0, Cint(fileNumber));
}
inline void Close(Value fileNumber) {
  int32_t list[] = {Cint(fileNumber)};
  rt::CloseFiles(list, 1);
}
// CLOSE without the final 0x1A, for a file that is being abandoned.
inline void Discard(Value fileNumber) { rt::DiscardFile(Cint(fileNumber)); }

// CLS and COLOR on the main window's text screen.
inline void Cls() {
  rt::Host* host = rt::TheFrame().host;
  int error = host ? host->ClearScreen(0) : 1000;
  if (error) rt::RaiseError(error, 0x5001);
}
inline void Color(Value color) {
  rt::Host* host = rt::TheFrame().host;
  int error = host ? host->SetColors(Cint(color), 0, 0, 0, 1) : 1000;
  if (error) rt::RaiseError(error, 0x5101);
}

// The directory search statements.
inline void DirOpen(Str& pattern, Value slot) { rt::DirOpen(pattern.value(), Cint(slot)); }
inline void DirNext(Value slot) { rt::DirNext(Cint(slot)); }
inline bool DirEnd(Value slot) { return rt::DirEnd(Cint(slot)) != 0; }
inline void DirClose(Value slot) { rt::DirClose(Cint(slot)); }

}  // namespace basic
