#include "runtime/platform/posix/durable.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "runtime/platform/file_faults.h"

namespace platform {

int SyncToDisk(int fd) {
  const int result = fsync(fd);
  if (result == 0) NoteFileCall(FileCall::Sync);
  return result;
}

void SyncFolderOf(const char* path) {
  char folder[4096];
  const char* slash = std::strrchr(path, '/');
  if (!slash) {
    std::strcpy(folder, ".");
  } else {
    const size_t n = slash == path ? 1 : static_cast<size_t>(slash - path);
    if (n >= sizeof folder) return;
    std::memcpy(folder, path, n);
    folder[n] = '\0';
  }
  const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

void BeforeReading(const char*) {}  // the files are the system's own

}  // namespace platform
