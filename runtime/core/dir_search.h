// The directory search of the programs' file-exists test: 16 numbered slots,
// each opened on a name pattern, stepped, asked whether the last step found
// nothing, and closed.
#pragma once

#include <cstdint>

#include "runtime/core/string_heap.h"

namespace rt {

void DirOpen(const StringValue& pattern, int32_t slot);
void DirNext(int32_t slot);
// 0 when the last step found an entry, -1 when it found none.
int DirEnd(int32_t slot);
void DirClose(int32_t slot);
void CloseAllDirectories();

}  // namespace rt
