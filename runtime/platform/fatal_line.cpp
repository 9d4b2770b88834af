#include "runtime/platform/fatal_line.h"

namespace platform {

size_t FatalReportLine(const char* message, size_t messageSize, const char* module, unsigned line,
                       const char* lineEnd, char* out, size_t capacity) {
  size_t n = 0;
  auto put = [&](const char* p, size_t size) {
    for (size_t i = 0; i < size && n < capacity; ++i) out[n++] = p[i];
  };
  auto putText = [&](const char* p) {
    while (*p && n < capacity) out[n++] = *p++;
  };
  put(message, messageSize);
  putText(module);
  putText(" [");
  char digits[16];
  size_t count = 0;
  line &= 0xFFFF;
  do {
    digits[count++] = static_cast<char>('0' + line % 10);
    line /= 10;
  } while (line);
  while (count > 0 && n < capacity) out[n++] = digits[--count];
  putText(lineEnd);
  putText("\n");
  return n;
}

}  // namespace platform
