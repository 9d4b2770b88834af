// WebAssembly loads no code at run time: the routines the program exports are
// found by name in a table, and the message library is linked in.
#include <cstdint>
#include <cstring>

#include "runtime/platform/dynamic_library.h"

// The form player's window procedure and terminating flag (the host's); weak
// so that a program without them links and finds none.
extern "C" __attribute__((weak)) int64_t $PbMainWndProc(uint32_t, uint32_t, uint64_t, int64_t);
extern "C" __attribute__((weak)) void $PbSetTerminatingFlag();
// The message library's entry, linked into the programs.
extern "C" __attribute__((weak)) int $PbGetErrMsg(void*, int, char*, int);

namespace platform {

void* ProgramSymbol(const std::string& name) {
  if (name == "$PbMainWndProc") return reinterpret_cast<void*>(&$PbMainWndProc);
  if (name == "$PbSetTerminatingFlag") return reinterpret_cast<void*>(&$PbSetTerminatingFlag);
  return nullptr;
}

// The page's programs carry the message library's entry within them.
std::string ProgramFolder() { return "/"; }

void* LoadTrustedLibrary(const std::string&, const std::string& file) {
  static char messageLibrary;
  return file == "T5Q0RE63.DLL" && &$PbGetErrMsg ? &messageLibrary : nullptr;
}

void* LibrarySymbol(void* library, const std::string& name) {
  return library && name == "$PbGetErrMsg" ? reinterpret_cast<void*>(&$PbGetErrMsg) : nullptr;
}

void UnloadLibrary(void*) {}

}  // namespace platform
