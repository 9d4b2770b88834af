// A message library for the tests that imports a DLL of its own
// (tessel_helper.dll): loaded only when that DLL is found where the loader
// may look, its folder, and never from the current folder.
#include <cstdio>

extern "C" __declspec(dllimport) const char* TesselHelperText();

extern "C" __declspec(dllexport) int $PbGetErrMsg(void*, int number, char* buffer, int size) {
  if (number != 5) return 0;
  std::snprintf(buffer, static_cast<size_t>(size), "%s", TesselHelperText());
  return 1;
}
