// Durable bytes on the web: under node, the real file's fsync; in a page the
// folder is a copy in memory, and a file renamed into place (a save that is
// complete) has the page write it to the browser's store (IndexedDB) at the
// program's next turn, as that one file's change.
#include <emscripten.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/platform/file_faults.h"
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
  const int done = result == -2 ? fsync(fd) : result;
  if (result != -2 && result != 0) errno = EIO;
  if (done == 0) NoteFileCall(FileCall::Sync);
  return done;
}

// Node's files keep a renamed name without more; the page is told that the
// folder changed.
void SyncFolderOf(const char*) {
  EM_ASM({
    if (Module.tesselPage && Module.tesselPage.storeFiles) Module.tesselPage.storeFiles();
  });
}

}  // namespace platform
