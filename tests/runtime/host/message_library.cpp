// A message library for the tests: the text of error 5.
#include <cstdio>

#if defined(_WIN32)
#define EXPORTED extern "C" __declspec(dllexport)
#else
#define EXPORTED extern "C" __attribute__((visibility("default")))
#endif

EXPORTED int $PbGetErrMsg(void*, int number, char* buffer, int size) {
  if (number != 5) return 0;
  std::snprintf(buffer, static_cast<size_t>(size), "Illegal function call");
  return 1;
}
