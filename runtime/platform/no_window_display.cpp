// Built when Qt 6 is not available: there is no window display.
#include "runtime/platform/display.h"

namespace platform {
std::unique_ptr<Display> CreateWindowDisplay() { return nullptr; }
}  // namespace platform
