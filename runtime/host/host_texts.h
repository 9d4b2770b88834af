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

// "独立型" and "V6.30 L10 U002+1": the run-time's mode and version.
std::string RuntimeMode();
std::string RuntimeVersion();
// "続行不可能なエラーが発生しました %s [%u行]\r\n" in pieces: the text before the
// module's name, and what follows the line; the module "(モジュール名不明)" when
// there is none.
std::string FatalMessageStart();
std::string FatalMessageLineEnd();
std::string UnknownModule();

}  // namespace host::text
