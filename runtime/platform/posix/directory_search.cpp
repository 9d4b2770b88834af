#include "runtime/platform/files.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>

#include "runtime/platform/encoding.h"

namespace platform {

DirectorySearch::~DirectorySearch() {
  if (dir_) closedir(static_cast<DIR*>(dir_));
}

bool DirectorySearch::First(const std::string& cp932Pattern, std::string& found, uint32_t& error) {
  std::string pattern = Cp932ToUtf8(cp932Pattern);
  size_t slash = pattern.rfind('/');
  directory_ = slash == std::string::npos ? "." : (slash == 0 ? "/" : pattern.substr(0, slash));
  pattern_ = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  if (pattern_.empty()) {
    error = 2;
    return false;
  }
  if (pattern_.find_first_of("*?") == std::string::npos) {
    // A plain name: the entry itself, when it exists.
    struct stat st;
    if (stat(pattern.c_str(), &st) != 0) {
      error = errno == ENOENT ? MissingFileError(pattern) : WindowsError(errno);
      return false;
    }
    found = cp932Pattern.substr(cp932Pattern.size() - Utf8ToCp932(pattern_).size());
    return true;
  }
  dir_ = opendir(directory_.c_str());
  if (!dir_) {
    error = errno == ENOENT ? 3 : WindowsError(errno);
    return false;
  }
  return Next(found, error);
}

bool DirectorySearch::Next(std::string& found, uint32_t& error) {
  if (!dir_) {
    error = 18;  // no more files
    return false;
  }
  while (dirent* e = readdir(static_cast<DIR*>(dir_))) {
    if (fnmatch(pattern_.c_str(), e->d_name, FNM_PERIOD) == 0) {
      found = Utf8ToCp932(e->d_name);
      return true;
    }
  }
  error = 18;
  return false;
}

}  // namespace platform
