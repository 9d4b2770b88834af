#include "runtime/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>

#include "runtime/platform/encoding.h"
#include "runtime/platform/file_faults.h"
#include "runtime/platform/posix/durable.h"

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

uint32_t MissingFileError(const std::string& utf8) {
  size_t slash = utf8.rfind('/');
  if (slash == std::string::npos || slash == 0) return 2;
  struct stat st;
  return stat(utf8.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 2 : 3;
}

namespace {

// A file being written in place of another: its temporary name and the name
// it is to take.
struct Replacement {
  std::string temporary, target;
};

std::map<int, Replacement>& Replacements() {
  static std::map<int, Replacement> open;
  return open;
}

uint32_t OpenError(const std::string& name) { return errno == ENOENT ? MissingFileError(name) : WindowsError(errno); }

// Output that replaces the file `name`: a new temporary file in the target's
// folder, with the mode (and, where allowed, the owner) of the file it
// replaces. An existing file that may not be written is refused as opening
// it for writing would be.
int OpenReplacement(const std::string& name, uint32_t& error) {
  const std::string target = LinkTarget(name);
  struct stat old;
  const bool exists = stat(target.c_str(), &old) == 0;
  if (exists && access(target.c_str(), W_OK) != 0) {
    error = WindowsError(errno);
    return -1;
  }
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temporary = folder + "." + base + ".XXXXXX";
  if (FileFault(FileCall::Open)) {
    error = OpenError(target);
    return -1;
  }
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = OpenError(target);
    return -1;
  }
  if (exists) {
    (void)!fchown(fd, old.st_uid, old.st_gid);
    fchmod(fd, old.st_mode & 07777);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  Replacements()[fd] = {temporary, target};
  return fd;
}

}  // namespace

int OpenFile(const std::string& cp932Name, bool read, bool write, Creation creation, uint32_t& error) {
  std::string name = Cp932ToUtf8(cp932Name);
  if (name.empty()) {
    error = 123;
    return -1;
  }
  struct stat st;
  const bool exists = stat(name.c_str(), &st) == 0;
  if (exists && (S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
    error = 5;
    return -1;
  }
  if (creation == Creation::CreateOrTruncate && (!exists || S_ISREG(st.st_mode))) return OpenReplacement(name, error);
  int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  switch (creation) {
    case Creation::MustExist: break;
    case Creation::MustNotExist: flags |= O_CREAT | O_EXCL; break;
    case Creation::OpenOrCreate: flags |= O_CREAT; break;
    case Creation::CreateOrTruncate: break;  // a device: written as it is
  }
  if (FileFault(FileCall::Open)) {
    error = OpenError(name);
    return -1;
  }
  // Not blocking in the open itself: a FIFO without a writer would wait for
  // one for ever.
  int fd = open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    error = OpenError(name);
    return -1;
  }
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!regular && !(S_ISCHR(st.st_mode) && !read)) {
    close(fd);
    error = 5;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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
    if (FileFault(FileCall::Write)) {
      error = WindowsError(errno);
      return false;
    }
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

bool CloseFile(int fd, uint32_t& error) {
  if (fd < 0) return true;
  auto it = Replacements().find(fd);
  if (it == Replacements().end()) {
    if (FileFault(FileCall::Close)) {
      error = WindowsError(errno);
      close(fd);
      return false;
    }
    if (close(fd) != 0 && errno != EINTR) {
      error = WindowsError(errno);
      return false;
    }
    return true;
  }
  const Replacement r = it->second;
  Replacements().erase(it);
  // The new contents reach the disk before they take the old file's name.
  int failure = 0;
  if (FileFault(FileCall::Sync) || SyncToDisk(fd) != 0) failure = errno;
  if ((FileFault(FileCall::Close) || close(fd) != 0) && !failure) failure = errno;
  if (!failure && (FileFault(FileCall::Rename) || rename(r.temporary.c_str(), r.target.c_str()) != 0)) failure = errno;
  if (!failure) return true;
  error = WindowsError(failure);
  unlink(r.temporary.c_str());
  return false;
}

void AbandonFile(int fd) {
  if (fd < 0) return;
  auto it = Replacements().find(fd);
  close(fd);
  if (it == Replacements().end()) return;
  unlink(it->second.temporary.c_str());
  Replacements().erase(it);
}

std::string LinkTarget(const std::string& name) {
  char resolved[PATH_MAX];
  if (realpath(name.c_str(), resolved)) return resolved;
  char link[PATH_MAX];
  ssize_t n = readlink(name.c_str(), link, sizeof link - 1);
  if (n <= 0) return name;
  link[n] = '\0';
  if (link[0] == '/') return link;
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string(link) : name.substr(0, slash + 1) + link;
}

bool FileExists(const std::string& cp932Name) {
  struct stat st;
  return stat(Cp932ToUtf8(cp932Name).c_str(), &st) == 0;
}

std::string FullPath(const std::string& cp932Name) {
  std::string name = Cp932ToUtf8(cp932Name);
  if (!name.empty() && name[0] == '/') return cp932Name;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return cp932Name;
  return Utf8ToCp932(std::string(cwd) + "/" + name);
}

}  // namespace platform
