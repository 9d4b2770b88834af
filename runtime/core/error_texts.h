// A short Japanese text (CP932 bytes) for each run-time error number the
// run-time raises. The message library hands them to the error report, and
// the run-time itself uses them where it words an error of its own.
#pragma once

namespace rt {

// The text of an error number, or null for a number the run-time never
// raises.
const char* RuntimeErrorText(int number);

}  // namespace rt
