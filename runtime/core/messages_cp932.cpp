// Texts of the frame that the user sees. This file is compiled with the
// execution character set CP932, so its literals are Shift-JIS bytes.
#include <cstdio>

#include "frame.h"
#include "runtime/core/error_texts.h"

namespace rt {

std::string InterruptText(const ModuleRecord* module, int line) {
  char buffer[600];
  std::snprintf(buffer, sizeof buffer, "%s %s[%u行] %s", "\r\n中断しました",
                module ? module->name : "", static_cast<unsigned>(static_cast<uint16_t>(line)),
                "\r\n任意のキーを押してください");
  return buffer;
}

std::string RetryText() { return "もう一度入力してください\r\n"; }

std::string ErrorMessage(int number) {
  if (Host* host = TheFrame().host) {
    std::string text = host->LibraryErrorText(number);
    if (!text.empty()) return text;
  }
  // Without the message library, the run-time's own text.
  const char* text = RuntimeErrorText(number);
  return text ? text : std::string();
}

}  // namespace rt
