// Texts of the frame that the user sees. This file is compiled with the
// execution character set CP932, so its literals are Shift-JIS bytes.
#include <cstdio>

#include "frame.h"

namespace rt {

std::string InterruptText(const ModuleRecord* module, int line) {
  char buffer[600];
  std::snprintf(buffer, sizeof buffer, "%s %s[%u行] %s", "\r\n中断しました",
                module ? module->name : "", static_cast<unsigned>(static_cast<uint16_t>(line)),
                "\r\n任意のキーを押してください");
  return buffer;
}

std::string RetryText() { return "もう一度入力してください\r\n"; }

std::string ErrorMessage(int number) {
  if (Host* host = TheFrame().host) {
    std::string text = host->LibraryErrorText(number);
    if (!text.empty()) return text;
  }
  // Without the message library, the errors a file operation can give.
  switch (number) {
    case 5: return "引数が正しくありません";
    case 7: return "メモリが足りません";
    case 27: return "ファイルを操作できません";
    case 28: return "このデバイスは使用できません";
    case 52: return "ファイル番号が正しくありません";
    case 54: return "ファイルの終わりを越えて読もうとしました";
    case 55: return "ファイル名が正しくありません";
    case 57: return "ファイルが開かれていません";
    case 59: return "ネットワークのエラーです";
    case 60: return "ディスクが挿入されていません";
    case 61: return "ファイルがロックされています";
    case 63: return "ファイルまたはフォルダが見つかりません";
    case 64: return "ファイルが既に存在します";
    case 66: return "開いているファイルが多すぎます";
    case 67: return "ディスクに空きがないか、書き込みに失敗しました";
    case 71: return "ディスクの準備ができていません";
    case 72: return "ディスクの読み書きに失敗しました";
    case 73: return "ディスクが書き込み禁止です";
    case 75: return "アクセスが拒否されました";
    default: return {};
  }
}

}  // namespace rt
