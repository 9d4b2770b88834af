// The line editor over random keys on grids of every size: the first bytes
// give the grid and the cursor, the rest are keys (bytes 0xF0 to 0xFF the
// editing keys). It must always end, within the grid.
#include <string>

#include "runtime/host/line_editor.h"
#include "runtime/platform/messages.h"
#include "support/recording_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > 2000) return 0;
  rt::test::TestHost frameHost;
  rt::InitRuntime(&frameHost, 10);
  host::TextScreen screen;
  screen.SetGrid(1 + data[0] % host::kMaxColumns, 1 + data[1] % host::kMaxRows);
  screen.SetCursorPos(data[2] % screen.Columns(), data[3] % screen.Rows());
  screen.SetFocus(true);
  host::KeyRing ring;
  static const uint32_t kKeys[] = {platform::VK_LEFT, platform::VK_RIGHT, platform::VK_HOME, platform::VK_END,
                                   platform::VK_INSERT, platform::VK_DELETE, platform::VK_SHIFT, platform::VK_CLEAR};
  size_t next = 4;
  host::LineInputHost input;
  // Keys come as the editor asks for them; at the end the window "goes".
  input.getKey = [&]() -> int {
    while (ring.Empty() && next < size) {
      const uint8_t b = data[next++];
      if (b >= 0xF8) {
        ring.OnKeyDown(kKeys[b - 0xF8]);
        ring.OnKeyUp(kKeys[b - 0xF8]);
      } else {
        ring.OnChar(b);
      }
    }
    return ring.Empty() ? 0 : ring.Take();
  };
  input.beep = [] {};
  input.clearKeyErases = true;
  std::string line;
  try {
    host::ReadLine(screen, ring, input, 255, line);
  } catch (const rt::ProgramEnd&) {  // Ctrl+X: the interrupt
  }
  if (screen.CursorColumn() < 0 || screen.CursorColumn() >= screen.Columns() || screen.CursorRow() < 0 ||
      screen.CursorRow() >= screen.Rows())
    __builtin_trap();
  rt::ShutdownRuntime();
  return 0;
}
