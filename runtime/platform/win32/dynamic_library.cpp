#include "runtime/platform/dynamic_library.h"

#include <windows.h>

#include "runtime/platform/win32/trusted_writers.h"
#include "runtime/platform/win32/wide.h"

namespace platform {

void* ProgramSymbol(const std::string& name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name.c_str()));
}

std::string ProgramFolder() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  if (n == 0 || n >= MAX_PATH * 4) return {};
  std::wstring program(path, n);
  return FromWide(program.substr(0, program.find_last_of(L"\\/")), CP_UTF8);
}

// Only from an absolute folder ("C:\..." or "\\server\..."), only that file,
// and only when nobody but the user, Administrators or SYSTEM may change the
// folder or the file (anything else could be someone else's code). The
// library's own imports are looked for in its folder and in System32 only,
// never in the current folder or on the PATH.
void* LoadTrustedLibrary(const std::string& folder, const std::string& file) {
  const bool absolute = (folder.size() >= 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/')) ||
                        (folder.size() >= 2 && (folder[0] == '\\' || folder[0] == '/') && folder[1] == folder[0]);
  if (!absolute || file.empty() || file.find_first_of("\\/:") != std::string::npos) return nullptr;
  std::string full = folder;
  if (full.back() != '\\' && full.back() != '/') full += '\\';
  full += file;
  const std::wstring path = ToWide(full, CP_UTF8);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return nullptr;
  if (!OnlyTrustedMayWrite(folder) || !OnlyTrustedMayWrite(full)) return nullptr;
  HMODULE library =
      LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const std::string& name) {
  return library ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name.c_str())) : nullptr;
}

void UnloadLibrary(void* library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
