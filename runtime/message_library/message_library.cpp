// The run-time's message library (T5Q0RE63.DLL): the Japanese text of a
// run-time error number, for the error report. One entry, $PbGetErrMsg,
// called as the report calls it: (its own handle, the error number, a buffer
// and the buffer's size); non-zero when the buffer holds a NUL-terminated
// text. A module of its own, so that it can be installed, replaced or left
// out apart from the programs.
#include <cstring>

#include "runtime/core/error_texts.h"

#if defined(_WIN32)
#define TESSEL_LIBRARY_ENTRY extern "C" __declspec(dllexport)
#else
#define TESSEL_LIBRARY_ENTRY extern "C" __attribute__((visibility("default")))
#endif

TESSEL_LIBRARY_ENTRY int $PbGetErrMsg(void*, int number, char* buffer, int size) {
  const char* text = rt::RuntimeErrorText(number);
  if (!text || !buffer || size <= 0) return 0;
  const size_t n = std::strlen(text);
  if (n >= static_cast<size_t>(size)) return 0;
  std::memcpy(buffer, text, n + 1);
  return 1;
}
