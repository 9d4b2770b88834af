#include <windows.h>

#include "runtime/platform/files.h"
#include "runtime/platform/win32/wide.h"

namespace platform {

namespace {

struct Search {
  HANDLE handle;
  WIN32_FIND_DATAW data;
  bool pending;  // data holds an entry not yet given
};

}  // namespace

DirectorySearch::~DirectorySearch() {
  if (auto* s = static_cast<Search*>(dir_)) {
    FindClose(s->handle);
    delete s;
  }
}

bool DirectorySearch::First(const std::string& cp932Pattern, std::string& found, uint32_t& error) {
  auto* s = new Search{};
  s->handle = FindFirstFileW(Cp932ToWide(cp932Pattern).c_str(), &s->data);
  if (s->handle == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    delete s;
    return false;
  }
  s->pending = true;
  dir_ = s;
  return Next(found, error);
}

bool DirectorySearch::Next(std::string& found, uint32_t& error) {
  auto* s = static_cast<Search*>(dir_);
  if (!s) {
    error = ERROR_NO_MORE_FILES;
    return false;
  }
  if (!s->pending && !FindNextFileW(s->handle, &s->data)) {
    error = GetLastError();
    return false;
  }
  s->pending = false;
  found = WideToCp932(s->data.cFileName);
  return true;
}

}  // namespace platform
