#include "runtime/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "runtime/platform/encoding.h"

namespace platform {

uint32_t WindowsError(int e) {
  switch (e) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    case ENOMEM: return 8;
    case EROFS: return 19;
    case EBUSY:
    case ETXTBSY: return 32;
    case EEXIST: return 80;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return 112;
    case EINVAL:
    case ENAMETOOLONG:
    case EILSEQ: return 123;
    case EIO: return 29;
    default: return 31;  // a general failure, which the run-time maps to error 27
  }
}

namespace {
// "File not found" for a missing file, "path not found" when its folder is missing.
uint32_t MissingError(const std::string& utf8) {
  size_t slash = utf8.rfind('/');
  if (slash == std::string::npos || slash == 0) return 2;
  struct stat st;
  return stat(utf8.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 2 : 3;
}
}  // namespace

int OpenFile(const std::string& cp932Name, bool read, bool write, Creation creation, uint32_t& error) {
  std::string name = Cp932ToUtf8(cp932Name);
  int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  switch (creation) {
    case Creation::MustExist: break;
    case Creation::MustNotExist: flags |= O_CREAT | O_EXCL; break;
    case Creation::OpenOrCreate: flags |= O_CREAT; break;
    case Creation::CreateOrTruncate: flags |= O_CREAT | O_TRUNC; break;
  }
  if (name.empty()) {
    error = 123;
    return -1;
  }
  int fd = open(name.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = errno == ENOENT ? MissingError(name) : WindowsError(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    error = 5;
    return -1;
  }
  return fd;
}

long ReadAt(int fd, int64_t offset, char* buffer, size_t n, uint32_t& error) {
  for (;;) {
    ssize_t r = pread(fd, buffer, n, offset);
    if (r >= 0) return static_cast<long>(r);
    if (errno == EINTR) continue;
    error = WindowsError(errno);
    return -1;
  }
}

bool WriteAt(int fd, int64_t offset, const char* bytes, size_t n, uint32_t& error) {
  while (n > 0) {
    ssize_t r = pwrite(fd, bytes, n, offset);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      error = r < 0 ? WindowsError(errno) : 112;
      return false;
    }
    bytes += r;
    n -= static_cast<size_t>(r);
    offset += r;
  }
  return true;
}

int64_t FileSize(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? st.st_size : 0;
}

void CloseFile(int fd) {
  if (fd >= 0) close(fd);
}

bool RemoveFile(const std::string& cp932Name, uint32_t& error) {
  std::string name = Cp932ToUtf8(cp932Name);
  struct stat st;
  if (name.empty() || stat(name.c_str(), &st) != 0) {
    error = name.empty() ? 123 : errno == ENOENT ? MissingError(name) : WindowsError(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = 5;
    return false;
  }
  char resolved[PATH_MAX];
  if (!realpath(name.c_str(), resolved) || unlink(resolved) != 0) {
    error = WindowsError(errno);
    return false;
  }
  return true;
}

std::string FullPath(const std::string& cp932Name) {
  std::string name = Cp932ToUtf8(cp932Name);
  if (!name.empty() && name[0] == '/') return cp932Name;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return cp932Name;
  return Utf8ToCp932(std::string(cwd) + "/" + name);
}

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
      error = errno == ENOENT ? MissingError(pattern) : WindowsError(errno);
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
