// Durable bytes on the web: under node, the real file's fsync; in a page the
// folder is a copy in memory, and a file renamed into place (a save that is
// complete) has the page write it to the browser's store (IndexedDB) at the
// program's next turn, as that one file's change. A large file of the store
// is read into the copy when the program opens it (the page's turn, through
// Asyncify); the page asks whether a save is under way before it is left.
#include <emscripten.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/platform/file_faults.h"
#include "runtime/platform/files.h"
#include "runtime/platform/posix/durable.h"

namespace platform {
namespace {

// The page reads what the copy still lacks of the file, then wakes the
// program; a file the copy holds whole wakes it at once, which costs no
// sleep. (Asyncify calls this again as the program resumes: the sleep must
// then be met again whatever the copy holds by now.)
EM_JS(void, page_fill, (const char* path), {
  return Asyncify.handleSleep(function(wakeUp) {
    const page = Module.tesselPage;
    const name = UTF8ToString(path);
    if (page && page.needs && page.needs(name)) page.fill(name, wakeUp);
    else wakeUp();
  });
});

}  // namespace

void BeforeReading(const char* path) { page_fill(path); }

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

// Whether a save is being written (its temporary not yet in place).
extern "C" EMSCRIPTEN_KEEPALIVE int TesselSaving() { return platform::ReplacementsOpen() ? 1 : 0; }
