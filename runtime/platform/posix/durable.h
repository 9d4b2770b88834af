// Makes the bytes written to a file durable before it takes its final name.
// Async-signal-safe where the fatal report uses it.
#pragma once

namespace platform {

// 0, or -1 with errno set.
int SyncToDisk(int fd);

// Makes the name a file has just taken in its folder durable too (a crash
// right after a rename then finds the new file under it). Best effort.
void SyncFolderOf(const char* path);

}  // namespace platform
