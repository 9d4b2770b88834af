// The texts of the run-time's error numbers. This file is compiled with the
// execution character set CP932, so its literals are Shift-JIS bytes.
#include "runtime/core/error_texts.h"

namespace rt {

const char* RuntimeErrorText(int number) {
  switch (number) {
    case 2: return "DATA文の項目の書き方が正しくありません";
    case 3: return "GOSUBのないRETURNがあります";
    case 4: return "READするDATAが残っていません";
    case 5: return "引数が正しくありません";
    case 6: return "オーバーフローしました";
    case 7: return "メモリが足りません";
    case 9: return "配列の添字が範囲を超えているか、配列が大きすぎます";
    case 10: return "配列はすでに宣言されています";
    case 11: return "0で割ろうとしました";
    case 13: return "型が一致しません";
    case 15: return "文字列が長すぎます";
    case 16: return "文字列の式が複雑すぎます";
    case 19: return "エラー処理中に手続きが終わりました";
    case 27: return "ファイルを操作できません";
    case 28: return "このデバイスは使用できません";
    case 32: return "GOSUBの入れ子が深すぎます";
    case 50: return "ファイル番号が範囲外です";
    case 51: return "このファイルにはその操作ができません";
    case 52: return "ファイル番号はすでに使われています";
    case 54: return "ファイルの終わりを越えて読もうとしました";
    case 55: return "ファイル名が正しくありません";
    case 57: return "ファイルが開かれていません";
    case 58: return "ファイルの項目が数値として読めません";
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
    case 81: return "スタックが足りません";
    case 82: return "文字列の領域を確保できません";
    case 89: return "作業領域を確保できません";
    case 90: return "ファイルの使用が禁止されています";
    case 98: return "中断しました";
    case 1000: return "指定されたオブジェクトがありません";
    case 1002: return "テキスト画面のウィンドウではありません";
    case 1006: return "グラフィックモードのウィンドウには入力できません";
    default: return nullptr;
  }
}

}  // namespace rt
