#include "runtime/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "runtime/platform/encoding.h"
#include "runtime/platform/file_faults.h"
#include "runtime/platform/posix/durable.h"
#include "runtime/platform/posix/temporaries.h"

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
    case ELOOP: return 1921;  // the name cannot be resolved
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

uint32_t OpenError(const std::string& name) { return errno == ENOENT ? MissingFileError(name) : WindowsError(errno); }

// Opens the file itself for writing, emptied: the way OPEN FOR OUTPUT always
// wrote. The kernel follows links here by its own rules. A file that exists
// is opened without O_CREAT, which a folder like /tmp may refuse for another
// user's file (fs.protected_regular).
int OpenInPlace(const std::string& name, bool exists, uint32_t& error) {
  const int flags = O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (exists ? 0 : O_CREAT);
  int fd = FileFault(FileCall::Open) ? -1 : open(name.c_str(), flags, 0666);
  if (fd < 0) {
    error = OpenError(name);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    error = 5;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Output that replaces the file `name`. Where it can, a new temporary file in
// the target's folder, with the mode (and, where allowed, the owner) of the
// file it replaces, which takes the target's name when it is closed complete.
// The file itself is written in place when a replacement would not be the
// same file to its users: when it has other names (hard links), or belongs
// to someone else who would lose it, or when the folder takes no new file
// but the file itself may be written. An existing file that may not be
// written is refused as opening it for writing would be.
int OpenReplacement(const std::string& name, uint32_t& error) {
  std::string target;
  if (!FollowLinks(name, target)) {
    error = WindowsError(errno);
    return -1;
  }
  struct stat old;
  const bool exists = lstat(target.c_str(), &old) == 0;
  // A link that appeared where none was a moment ago: not followed.
  if (exists && S_ISLNK(old.st_mode)) {
    error = 5;
    return -1;
  }
  if (exists && access(target.c_str(), W_OK) != 0) {
    error = WindowsError(errno);
    return -1;
  }
  if (exists && (old.st_nlink > 1 || (old.st_uid != geteuid() && geteuid() != 0)))
    return OpenInPlace(name, true, error);
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  RemoveLeftovers(folder, base);
  int fd;
  if (!MakeTemporary(folder, base, target, fd)) {
    if (errno == EACCES || errno == EPERM || errno == EROFS) return OpenInPlace(name, exists, error);
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
  return fd;
}

}  // namespace

int OpenFile(const std::string& cp932Name, bool read, bool write, Creation creation, uint32_t& error) {
  std::string name = Cp932ToUtf8(cp932Name);
  if (name.empty()) {
    error = 123;
    return -1;
  }
  // A file to be read, or appended to, needs its contents; one replaced
  // does not.
  if (creation != Creation::CreateOrTruncate || read) BeforeReading(name.c_str());
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
  // Not blocking in the open itself: a FIFO without a writer would wait for
  // one for ever.
  int fd = FileFault(FileCall::Open) ? -1 : open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
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
    NoteFileWrite();
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
  Temporary* t = TemporaryOf(fd);
  if (!t) {
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
  // The new contents reach the disk before they take the old file's name;
  // the descriptor (and with it the temporary's lock) goes only then.
  int failure = 0;
  if (FileFault(FileCall::Sync) || SyncToDisk(fd) != 0) failure = errno;
  char target[PATH_MAX];
  std::strcpy(target, TemporaryTarget(t));
  if (!failure && CommitTemporary(t)) {
    close(fd);  // the contents are on the disk already: nothing is lost here
    SyncFolderOf(target);
    return true;
  }
  if (!failure) failure = errno;
  close(fd);
  error = WindowsError(failure);
  RemoveTemporary(t);
  return false;
}

void AbandonFile(int fd) {
  if (fd < 0) return;
  Temporary* t = TemporaryOf(fd);
  close(fd);
  if (t) RemoveTemporary(t);
}

void AbandonAllReplacements() { RemoveAllTemporaries(); }

bool ReplacementsOpen() { return AnyTemporary(); }

bool FollowLinks(const std::string& name, std::string& target) {
  target = name;
  for (int hops = 0;; ++hops) {
    struct stat link;
    if (lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return true;
    if (hops == 40) {  // the kernel's own limit
      errno = ELOOP;
      return false;
    }
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    // A link in a folder where everyone may make entries and only owners may
    // remove them (/tmp) is followed only when it is the user's own or the
    // folder owner's, as the kernel follows it (fs.protected_symlinks):
    // another user's link there must not redirect the user's files.
    struct stat dir;
    if (stat(folder.c_str(), &dir) != 0) return true;
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    if (shared && link.st_uid != geteuid() && link.st_uid != dir.st_uid) {
      errno = EACCES;
      return false;
    }
    char to[PATH_MAX];
    const ssize_t n = readlink(target.c_str(), to, sizeof to - 1);
    if (n <= 0) return true;
    to[n] = '\0';
    target = to[0] == '/' || slash == std::string::npos ? std::string(to) : target.substr(0, slash + 1) + to;
  }
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
