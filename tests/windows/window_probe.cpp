// For the Windows tests under wine, on the main window of a program (its
// class T5Q0WCMAINFORM):
//   window_probe box     types a line into it, waits for the system's
//                        message box that a crash then brings up over it,
//                        prints the box's caption and text (UTF-8, a line
//                        each) and presses its OK;
//   window_probe resize  makes it small, then as large as it was, and
//                        prints which scroll bars it shows and its client
//                        size ("bars 0 0 client 640x384").
// Exit status 1 when no window (or no box) came within 30 seconds.
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

int Resize() {
  RECT before;
  GetWindowRect(owner, &before);
  const int width = before.right - before.left, height = before.bottom - before.top;
  SetWindowPos(owner, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  Sleep(800);
  if (!(GetWindowLongW(owner, GWL_STYLE) & WS_VSCROLL)) {
    std::printf("no scroll bar on the small window\n");
    return 0;
  }
  SetWindowPos(owner, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  Sleep(1500);
  const LONG style = GetWindowLongW(owner, GWL_STYLE);
  RECT client;
  GetClientRect(owner, &client);
  std::printf("bars %d %d client %ldx%ld\n", (style & WS_VSCROLL) ? 1 : 0, (style & WS_HSCROLL) ? 1 : 0, client.right,
              client.bottom);
  return 0;
}

int main(int argc, char** argv) {
  for (int i = 0; i < 300 && !owner; ++i, Sleep(100)) owner = FindWindowW(L"T5Q0WCMAINFORM", nullptr);
  if (!owner) return 1;
  Sleep(500);
  if (argc > 1 && std::string(argv[1]) == "resize") return Resize();
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
