#include "runtime/platform/process.h"
#include "runtime/platform/standard_io.h"

#include <emscripten.h>
#include <sys/stat.h>

namespace platform {

// There are no signals and no file size limit to prepare for; under node the
// environment is the process's (node_prelude.js), in a page the one the page
// gives. Emscripten starts with a file mode mask that lets no one read a new
// file: the program takes node's mask, or the usual 022 in a page.
void PrepareProcess() {
  const int mask = EM_ASM_INT({
    return typeof process === 'object' && process.umask ? process.umask() : 18;
  });
  umask(static_cast<mode_t>(mask & 0777));
}

// Under node a standard stream is a terminal when node says so; in a page
// there are none.
bool IsTerminal(int fd) {
  return EM_ASM_INT({
    if (typeof process !== 'object' || typeof require !== 'function') return 0;
    try { return require('tty').isatty($0) ? 1 : 0; } catch (e) { return 0; }
  }, fd) != 0;
}

int ProgramEnded(int code) {
  // In a page the program's main has long returned to the browser (its first
  // wait unwound it): the page is told, and the module is left as it is.
  // Under node the process ends with the code, whether or not it waited.
  const int page = EM_ASM_INT({
    if (!Module.tesselPage) return 0;
    Module.tesselPage.ended($0);
    return 1;
  }, code);
  if (!page) emscripten_force_exit(code);
  return code;
}

int StartShowCommand() { return 1; }

}  // namespace platform
