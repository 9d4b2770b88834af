// The line a fatal report writes on standard error, built in a caller's
// buffer without allocating (a fatal signal's handler may not allocate):
// "caption: text before the module" MODULE " [" line, the end of the line
// ("行]..."), LF.
#pragma once

#include <cstddef>

namespace platform {

// Its length; the line is cut at the capacity.
size_t FatalReportLine(const char* message, size_t messageSize, const char* module, unsigned line,
                       const char* lineEnd, char* out, size_t capacity);

}  // namespace platform
