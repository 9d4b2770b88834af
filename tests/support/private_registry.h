// The registry of the Windows tests (private_registry_win32.cpp): each test
// process has a key of its own as HKEY_CURRENT_USER.
#pragma once

#include <string>

namespace test_support {

// Writes an expandable string (REG_EXPAND_SZ) under HKEY_CURRENT_USER, a
// type the run-time never writes itself (UTF-8 key, name and value).
bool SetExpandableString(const std::string& key, const std::string& name, const std::string& value);

}  // namespace test_support
