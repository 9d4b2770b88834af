#include "runtime/platform/resources.h"

namespace platform {

// An ELF program has no resource section: the resources are the program's data.
std::optional<std::vector<uint8_t>> ProgramResource(int, const std::string&) { return std::nullopt; }

}  // namespace platform
