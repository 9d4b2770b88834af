// ReadLine: the line editor of the text screen. It echoes at the cursor,
// edits with insert and overwrite, the cursor keys, Home, End, Delete and
// Backspace, keeps Shift-JIS characters whole (never across a line end) and
// returns the line when Enter is pressed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "runtime/host/key_ring.h"
#include "runtime/host/text_screen.h"

namespace host {

struct LineInputHost {
  // Waits for the next code of the ring; 0 when the window has gone.
  std::function<int()> getKey;
  std::function<void()> beep;
  // Option word 21: Ctrl+L and Shift+Home clear the input.
  bool clearKeyErases = true;
};

// Reads one line of at most `capacity` bytes. False (failure code 0) when the
// window went away during the input; the line is then empty.
bool ReadLine(TextScreen& screen, KeyRing& ring, const LineInputHost& host, size_t capacity,
              std::string& line);

}  // namespace host
