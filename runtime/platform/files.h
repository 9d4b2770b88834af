// Files for the run-time: POSIX calls on names converted from CP932 to
// UTF-8, with failures reported as the Windows error codes the run-time maps
// (2 file not found, 3 path not found, 5 access denied, 32 sharing
// violation, 80 file exists, 112 disk full, 123 invalid name, ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class Creation { MustExist, MustNotExist, OpenOrCreate, CreateOrTruncate };

// The Windows error code for an errno value.
uint32_t WindowsError(int errnoValue);
// The code for a name that does not exist: file not found, or path not
// found when its folder is missing.
uint32_t MissingFileError(const std::string& utf8Path);

// Opens a file; -1 with the error code on failure. Only regular files are
// opened, and character devices for writing (a FIFO would block, a device
// read without end). CreateOrTruncate replaces the file: the new contents go
// to a temporary file beside it, which CloseFile renames over it and
// AbandonFile removes, so the old file stays whole until the new one is.
// (Where that cannot be, the file is written in place: see the README.)
int OpenFile(const std::string& cp932Name, bool read, bool write, Creation creation, uint32_t& error);
// Reads up to n bytes at the offset; the count read, or -1.
long ReadAt(int fd, int64_t offset, char* buffer, size_t n, uint32_t& error);
// Writes all n bytes at the offset.
bool WriteAt(int fd, int64_t offset, const char* bytes, size_t n, uint32_t& error);
int64_t FileSize(int fd);
// Closes the file; a replacement is made durable and put in place first.
// False with the error code when that fails (the old file then stays).
bool CloseFile(int fd, uint32_t& error);
// Closes the file; a replacement is dropped and the old file stays.
void AbandonFile(int fd);
// Drops every replacement still open, whatever holds its descriptor: at the
// end of a run nothing half written is left.
void AbandonAllReplacements();
// Whether a replacement is being written now (a save not yet complete).
bool ReplacementsOpen();
// Whether a file or folder of that name (CP932) exists.
bool FileExists(const std::string& cp932Name);
// The full path of a name, in CP932.
std::string FullPath(const std::string& cp932Name);
// The file a path (UTF-8) leads to, following the links of its last part as
// the kernel's protection of links in shared folders (fs.protected_symlinks)
// follows them, whether that setting is on or not; for a link that leads
// nowhere yet, the name it leads to (where such a file would be made). False
// with errno set (EACCES, ELOOP) for a link that must not be followed.
bool FollowLinks(const std::string& utf8Path, std::string& target);

// A directory search over the entries that match a pattern with the
// wildcards * and ? (a name without wildcards matches itself).
class DirectorySearch {
 public:
  ~DirectorySearch();
  // Starts the search; false when nothing matches (error holds the code).
  bool First(const std::string& cp932Pattern, std::string& found, uint32_t& error);
  bool Next(std::string& found, uint32_t& error);

 private:
  void* dir_ = nullptr;
  std::string directory_, pattern_;
};

}  // namespace platform
