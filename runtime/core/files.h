// Statement-level I/O: PRINT and PRINT # (text to the screen or to a file),
// INPUT and INPUT # (items from the keyboard or from a file), OPEN and CLOSE
// of sequential files by number. Text is bytes; lines end with CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/data_read.h"

namespace rt {

enum PrintSeparator { kPrintEnd = 0, kPrintComma = 1, kPrintSemicolon = 2 };

enum OpenMode {
  kModeInput = 1,
  kModeAppend = 3,
  kModeOutput = 11,
};

// PRINT: the screen (object 0) or a file number becomes the target.
void SelectWindowOutput(int32_t objectId);
void SelectFileOutput(int32_t fileNumber);
// One item: a string popped from the string stack, or a number.
void PrintString(int separator);
void PrintSingle(float value, int separator);
void PrintDouble(double value, int separator);
void EndPrint();

// INPUT: the prompt (kind 0: "? " only; 1: the text; 2: the text and "? ";
// the text is popped from the string stack when the kind is not 0).
void SetInputPrompt(int32_t objectId, int kind);
void SelectFileInput(int32_t fileNumber);
void InputVars(const VarRef* vars, size_t count);

// OPEN: the name is popped from the string stack.
void OpenFile(int mode, int access, int32_t fileNumber, bool recordLengthGiven = false,
              int32_t recordLength = 0);
// WIDTH #n, width: the line width of an open file (0: no wrapping, as files
// start); PRINT # then breaks lines at it.
void SetFileWidth(int32_t fileNumber, int32_t width);
// CLOSE: count 0 closes every open file.
void CloseFiles(const int32_t* numbers, size_t count);
void CloseAllFiles();
// The end of a run: every open file is closed as CLOSE closes it after a
// normal end, and dropped as DiscardFile drops it after a failure (an error
// reported, the interrupt request, memory that could not be had), so that a
// file cut short never replaces an older one. No temporary is left.
void FinishFiles();
// Closes a file number without writing the final 0x1A byte, for a file that
// is to be abandoned: a file opened for output goes, and a file it was to
// replace stays as it was. Nothing when the number is not open.
void DiscardFile(int32_t fileNumber);

// The run-time error number for a platform (Windows) error code.
int MapPlatformError(uint32_t code);

// One item of an INPUT line or file: its text, and for a numeric variable the
// number already in the variable's type.
struct InputItem {
  std::string text;
  double number = 0;
};

// The item splitting of typed lines: true when the line holds exactly one
// good item per variable; the items come back in `items`.
bool ScanInputLine(std::string_view line, const VarRef* vars, size_t count, InputItem* items);

}  // namespace rt
