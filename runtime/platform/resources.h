// Resources compiled into the program file itself, where the system has them
// (Windows: FindResource on the executable). Elsewhere the programs carry
// their resources as data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

std::optional<std::vector<uint8_t>> ProgramResource(int type, const std::string& name);

}  // namespace platform
