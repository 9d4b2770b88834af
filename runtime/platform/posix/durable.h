// Makes the bytes written to a file durable before it takes its final name.
// Async-signal-safe where the fatal report uses it.
#pragma once

namespace platform {

// 0, or -1 with errno set.
int SyncToDisk(int fd);

}  // namespace platform
