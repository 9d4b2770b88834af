// Who may change a file or folder on Windows, from its security descriptor:
// the same rule the POSIX build applies to owner and mode. A library is
// loaded only from where nobody but the user, Administrators or SYSTEM could
// have put it.
#pragma once

#include <string>

namespace platform {

// True when the descriptor's owner is the current user, Administrators,
// SYSTEM or TrustedInstaller, and its DACL lets no one else write, append,
// delete, or change the permissions or the owner. A missing DACL (everyone
// may do everything) is not.
bool OnlyTrustedMayWrite(void* securityDescriptor);

// The same for a file or folder by its name (UTF-8); false when its
// descriptor cannot be read.
bool OnlyTrustedMayWrite(const std::string& utf8Path);

}  // namespace platform
