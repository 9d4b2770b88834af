// For the Windows tests under wine: types a line into the main window of a
// program (its class T5Q0WCMAINFORM), waits for the system's message box
// that a crash then brings up over that window, prints the box's caption and
// text (UTF-8, a line each), and presses its OK. Exit status 1 when no
// window or no box came within 30 seconds.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  char out[2048];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
  return n > 0 ? std::string(out) : std::string();
}

HWND owner = nullptr;
HWND box = nullptr;

BOOL CALLBACK FindBox(HWND h, LPARAM) {
  wchar_t kind[64];
  if (GetClassNameW(h, kind, 64) && std::wstring(kind) == L"#32770" && GetWindow(h, GW_OWNER) == owner) {
    box = h;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main() {
  for (int i = 0; i < 300 && !owner; ++i, Sleep(100)) owner = FindWindowW(L"T5Q0WCMAINFORM", nullptr);
  if (!owner) return 1;
  Sleep(500);
  for (wchar_t c : std::wstring(L"x\r")) PostMessageW(owner, WM_CHAR, c, 0);
  for (int i = 0; i < 300 && !box; ++i, Sleep(100)) EnumWindows(FindBox, 0);
  if (!box) return 1;
  wchar_t caption[512] = L"", text[1024] = L"";
  GetWindowTextW(box, caption, 512);
  GetDlgItemTextW(box, 0xFFFF, text, 1024);  // the static text of a message box
  std::printf("%s\n%s\n", Utf8(caption).c_str(), Utf8(text).c_str());
  std::fflush(stdout);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}
