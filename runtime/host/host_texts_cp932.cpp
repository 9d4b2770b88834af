// Compiled with the execution character set CP932: the literals below are
// the Shift-JIS bytes the user sees.
#include <cstdio>

#include "runtime/host/host_texts.h"

namespace host::text {

std::string ErrorLine(const char* module, int line, int number) {
  char buffer[600];
  std::snprintf(buffer, sizeof buffer, "\r\n%s [%u行]:エラー[%d]", module,
                static_cast<unsigned>(static_cast<uint16_t>(line)), static_cast<int16_t>(number));
  return buffer;
}

std::string PressAnyKey() { return "\r\n任意のキーを押してください"; }

std::string HostMessage(int number, bool table2) {
  static const char* const kTable1[] = {
      "",
      "メモリが足りません",
      "システムに異常があります",
      "ウィンドウをオープンできません",
      "デバイスコンテキストを作成できません",
      "グラフィックビットマップを作成できません",
      "リソースが見つかりません",
      "フォームデータがありません",
      "メタファイルが作成できません",
  };
  if (table2) {
    if (number == 3) return "クリップボードをオープンできません";
    if (number < 0 || number > 3) return "";
  }
  if (number < 0 || number > 8) return "";
  return kTable1[number];
}

std::string RuntimeMode() { return "独立型"; }
std::string RuntimeVersion() { return "V6.30 L10 U002+1"; }
std::string UnknownModule() { return "(モジュール名不明)"; }

// "続行不可能なエラーが発生しました %s [%u行]\r\n", cut where the module's name
// and the line go.
std::string FatalMessageStart() { return "続行不可能なエラーが発生しました "; }
std::string FatalMessageLineEnd() { return "行]"; }

}  // namespace host::text
