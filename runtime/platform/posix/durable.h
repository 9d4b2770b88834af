// Makes the bytes written to a file durable before it takes its final name
// (async-signal-safe where the fatal report uses it), and brings in what a
// file to be read needs first.
#pragma once

namespace platform {

// 0, or -1 with errno set.
int SyncToDisk(int fd);

// Makes the name a file has just taken in its folder durable too (a crash
// right after a rename then finds the new file under it). Best effort.
void SyncFolderOf(const char* path);

// Before a file is opened to be read: where the folder is a copy filled as
// it is needed (the web page keeps a large file's contents in the browser's
// store until a program opens it), its contents are brought in first.
void BeforeReading(const char* path);

}  // namespace platform
