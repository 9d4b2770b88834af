// Texts the host shows, as CP932 bytes.
#pragma once

#include <string>

namespace host::text {

// "\r\n%s [%u行]:エラー[%d]"
std::string ErrorLine(const char* module, int line, int number);
// "\r\n任意のキーを押してください"
std::string PressAnyKey();
// The built-in host messages: table 1 (0 to 8) and table 2 (0 to 3).
std::string HostMessage(int number, bool table2);

}  // namespace host::text
