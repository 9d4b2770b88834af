// The line a fatal report writes on standard error: "caption: text before
// the module" MODULE " [" line, the end of the line ("行]..."), LF. Its texts
// are copied when the report is installed; the line is then built in a
// caller's buffer without allocating (a fatal signal's handler may not
// allocate).
#pragma once

#include <cstddef>

#include "runtime/platform/fatal_signal.h"

namespace platform {

class FatalLine {
 public:
  void Prepare(const FatalReport& report, FatalWhere where);
  // Asks where the program stands (the module's name, or the text for an
  // unknown one, and the line) and builds the line; its length, cut at the
  // capacity.
  size_t Build(char* out, size_t capacity, const char*& module, unsigned& line) const;

 private:
  FatalWhere where_ = nullptr;
  char message_[1024] = {};
  size_t messageSize_ = 0;
  char unknown_[128] = {};
  char lineEnd_[64] = {};
};

}  // namespace platform
