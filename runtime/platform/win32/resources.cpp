#include "runtime/platform/resources.h"

#include <windows.h>

namespace platform {

std::optional<std::vector<uint8_t>> ProgramResource(int type, const std::string& name) {
  HRSRC found = FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(type));
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const DWORD size = SizeofResource(nullptr, found);
  const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!bytes) return std::nullopt;
  return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace platform
