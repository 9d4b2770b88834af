// For the Windows tests under wine, on the main window of a program (its
// class T5Q0WCMAINFORM, or T5Q0CLASS without a form):
//   window_probe box     types a line into it, waits for the system's
//                        message box that a crash then brings up over it,
//                        prints the box's caption and text (UTF-8, a line
//                        each) and presses its OK;
//   window_probe resize  makes it small, then as large as it was, and
//                        prints which scroll bars it shows and its client
//                        size ("bars 0 0 client 640x384");
//   window_probe describe
//                        prints, a line each: the window's class and its
//                        extra bytes, the classes of all visible top-level
//                        windows, its copy format as other programs ask and
//                        set it (WM_USER, WM_USER+1);
//   window_probe size    prints its client size ("client 640x384");
//   window_probe endsession ANSWER...
//                        types each answer at the program's next question
//                        (read through the copy command), waits for the
//                        temporary of the save the answers start, then
//                        tells the window that the session ends and prints
//                        what it answered and whether the program ended.
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

// Every visible top-level window, of whatever process (a console opened
// beside the program is another's).
BOOL CALLBACK ListShown(HWND h, LPARAM list) {
  wchar_t kind[64] = L"";
  if (!IsWindowVisible(h) || !GetClassNameW(h, kind, 64)) return TRUE;
  auto* names = reinterpret_cast<std::string*>(list);
  names->append(" ");
  names->append(Utf8(kind));
  return TRUE;
}

int Describe() {
  wchar_t kind[64] = L"";
  GetClassNameW(owner, kind, 64);
  std::printf("class %s extra %d\n", Utf8(kind).c_str(), static_cast<int>(GetClassLongPtrW(owner, GCL_CBWNDEXTRA)));
  std::string shown;
  EnumWindows(ListShown, reinterpret_cast<LPARAM>(&shown));
  std::printf("windows%s\n", shown.c_str());
  const auto format = [] { return static_cast<int>(SendMessageW(owner, WM_USER, 0, 0)); };
  const int before = format();
  const int refused = static_cast<int>(SendMessageW(owner, WM_USER + 1, 3, 0));
  const int taken = static_cast<int>(SendMessageW(owner, WM_USER + 1, 14, 0));
  std::printf("copy format %d, 3 taken %d, 14 taken %d, now %d\n", before, refused, taken, format());
  SendMessageW(owner, WM_USER + 1, 1, 0);
  return 0;
}

int Size() {
  RECT client;
  GetClientRect(owner, &client);
  std::printf("client %ldx%ld\n", client.right, client.bottom);
  return 0;
}

// The screen's text, through the window's copy command and the clipboard.
std::wstring ScreenText() {
  SendMessageW(owner, WM_COPY, 0, 0);
  Sleep(150);
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) text = p;
    GlobalUnlock(data);
  }
  CloseClipboard();
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  return text;
}

// Waits for a question that was not on the screen before: the text changed
// and ends in "?".
bool NextQuestion(std::wstring& previous) {
  for (int i = 0; i < 600; ++i, Sleep(100)) {
    const std::wstring now = ScreenText();
    if (now != previous && !now.empty() && now.back() == L'?') {
      previous = now;
      return true;
    }
  }
  return false;
}

bool SaveUnderWay() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(L".prod.txt.*.tmp", &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

int EndSession(int count, char** answers) {
  std::wstring screen;
  for (int i = 0; i < count; ++i) {
    if (!NextQuestion(screen)) return 1;
    for (const char* c = answers[i]; *c; ++c) PostMessageW(owner, WM_CHAR, static_cast<unsigned char>(*c), 0);
    PostMessageW(owner, WM_CHAR, L'\r', 0);
  }
  int waited = 0;
  for (; waited < 6000 && !SaveUnderWay(); ++waited) Sleep(10);
  if (waited == 6000) return 1;
  const LRESULT answer = SendMessageW(owner, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  std::printf("the session may end: %d\n", static_cast<int>(answer));
  for (int i = 0; i < 1200 && IsWindow(owner); ++i) Sleep(100);
  std::printf("%s\n", IsWindow(owner) ? "the program goes on" : "the program ended");
  return 0;
}

int main(int argc, char** argv) {
  // A program's main form, or the run-time's default window.
  for (int i = 0; i < 300 && !owner; ++i, Sleep(100)) {
    owner = FindWindowW(L"T5Q0WCMAINFORM", nullptr);
    if (!owner) owner = FindWindowW(L"T5Q0CLASS", nullptr);
  }
  if (!owner) return 1;
  Sleep(500);
  if (argc > 1 && std::string(argv[1]) == "resize") return Resize();
  if (argc > 1 && std::string(argv[1]) == "describe") return Describe();
  if (argc > 1 && std::string(argv[1]) == "size") return Size();
  if (argc > 1 && std::string(argv[1]) == "endsession") return EndSession(argc - 2, argv + 2);
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
