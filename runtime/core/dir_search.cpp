#include "runtime/core/dir_search.h"

#include <memory>
#include <string>

#include "runtime/core/frame.h"
#include "runtime/core/strings.h"
#include "runtime/platform/files.h"

namespace rt {
namespace {

struct DirSlot {
  bool open = false, started = false, found = false;
  std::string pattern;
  std::unique_ptr<platform::DirectorySearch> search;
  std::string entry;
};

DirSlot slots[17];

bool InRange(int32_t slot) { return slot >= 1 && slot <= 16; }

}  // namespace

void DirOpen(const StringValue& pattern, int32_t slot) {
  if (pattern.length > 260) return RaiseError(5, 0xC0000501);
  if (!InRange(slot)) return RaiseError(50, 0xC0000502);
  DirSlot& s = slots[slot];
  if (s.open) return RaiseError(52, 0xC0000503);
  s = DirSlot{};
  s.pattern = std::string(View(pattern));
  s.open = true;
}

void DirNext(int32_t slot) {
  if (!InRange(slot)) return RaiseError(50, 0xC0000901);
  DirSlot& s = slots[slot];
  if (!s.open) return RaiseError(57, 0xC0000902);
  if (s.started && !s.found) return RaiseError(54, 0xC0000903);
  uint32_t error = 0;
  if (!s.started) {
    s.started = true;
    s.search = std::make_unique<platform::DirectorySearch>();
    s.found = s.search->First(s.pattern, s.entry, error);
  } else {
    s.found = s.search->Next(s.entry, error);
  }
}

int DirEnd(int32_t slot) {
  if (!InRange(slot)) {
    RaiseError(50, 0xC0000701);
    return -1;
  }
  DirSlot& s = slots[slot];
  if (!s.open) {
    RaiseError(57, 0xC0000702);
    return -1;
  }
  if (!s.started) {
    RaiseError(5, 0xC0000703);
    return -1;
  }
  return s.found ? 0 : -1;
}

void DirClose(int32_t slot) {
  if (!InRange(slot)) return RaiseError(50, 0xC0000401);
  slots[slot] = DirSlot{};
}

void CloseAllDirectories() {
  for (DirSlot& s : slots) s = DirSlot{};
}

}  // namespace rt
