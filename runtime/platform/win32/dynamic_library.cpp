#include "runtime/platform/dynamic_library.h"

#include <windows.h>

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

// Only from an absolute folder ("C:\..." or "\\server\..."), and only that
// file: LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | SYSTEM32 keeps the library's own
// imports from being looked up in the current folder or on the PATH.
void* LoadTrustedLibrary(const std::string& folder, const std::string& file) {
  const bool absolute = (folder.size() >= 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/')) ||
                        (folder.size() >= 2 && (folder[0] == '\\' || folder[0] == '/') && folder[1] == folder[0]);
  if (!absolute || file.empty() || file.find_first_of("\\/:") != std::string::npos) return nullptr;
  std::wstring path = ToWide(folder, CP_UTF8);
  if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += ToWide(file, CP_UTF8);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return nullptr;
  HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const std::string& name) {
  return library ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name.c_str())) : nullptr;
}

void UnloadLibrary(void* library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
