#include "runtime/platform/posix/durable.h"

#include <unistd.h>

namespace platform {

int SyncToDisk(int fd) { return fsync(fd); }

}  // namespace platform
