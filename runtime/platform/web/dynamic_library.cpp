// WebAssembly loads no code at run time: the routines the program exports are
// found by name in a table, and there is no message library.
#include <cstdint>
#include <cstring>

#include "runtime/platform/dynamic_library.h"

// The form player's window procedure and terminating flag (the host's); weak
// so that a program without them links and finds none.
extern "C" __attribute__((weak)) int64_t $PbMainWndProc(uint32_t, uint32_t, uint64_t, int64_t);
extern "C" __attribute__((weak)) void $PbSetTerminatingFlag();

namespace platform {

void* ProgramSymbol(const std::string& name) {
  if (name == "$PbMainWndProc") return reinterpret_cast<void*>(&$PbMainWndProc);
  if (name == "$PbSetTerminatingFlag") return reinterpret_cast<void*>(&$PbSetTerminatingFlag);
  return nullptr;
}

void* LoadTrustedLibrary(const std::string&, const std::string&) { return nullptr; }
void* LibrarySymbol(void*, const std::string&) { return nullptr; }
void UnloadLibrary(void*) {}

}  // namespace platform
