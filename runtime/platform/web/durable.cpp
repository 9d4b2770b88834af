// Durable bytes on the web: under node, the real file's fsync; in a page,
// the C library's fsync, which writes the folder's browser store (IndexedDB)
// and waits for it.
#include <emscripten.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/platform/posix/durable.h"

namespace platform {

int SyncToDisk(int fd) {
  const int result = EM_ASM_INT({
    if (typeof process !== 'object' || !process.versions || !process.versions.node) return -2;
    try {
      require('fs').fsyncSync(FS.getStream($0).nfd);
      return 0;
    } catch (e) {
      return -1;
    }
  }, fd);
  if (result == -2) return fsync(fd);
  if (result != 0) errno = EIO;
  return result;
}

// The browser store and node's files keep a renamed name without more.
void SyncFolderOf(const char*) {}

}  // namespace platform
