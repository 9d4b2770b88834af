// The last word of a process that an exception nobody handles ends (an
// access violation, a stack overflow): a line on standard error, the
// system's message box over the main window (where a window shows the
// program), and the X* values in the user's registry, from buffers prepared
// in advance; then the process ends with the exception's code.
#include "runtime/platform/fatal_signal.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "runtime/platform/fatal_line.h"
#include "runtime/platform/win32/wide.h"

namespace platform {
namespace {

struct Prepared {
  FatalLine line;
  wchar_t key[256];
  wchar_t mode[128], version[128];
  wchar_t message[256], lineEnd[32];  // the box's text around the module's name and the line
  bool installed = false;
};
Prepared prepared;
HWND owner = nullptr;  // the main window, when a window shows the program

void Put(const char* p, size_t n) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), p, static_cast<DWORD>(n), &written, nullptr);
}

void SetText(HKEY k, const wchar_t* name, const wchar_t* text) {
  RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

void SetNumber(HKEY k, const wchar_t* name, DWORD v) {
  RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

// The module's name (CP932 bytes, as the run-time keeps it) as UTF-16.
void ModuleName(const char* module, wchar_t* out, int capacity) {
  const int n = MultiByteToWideChar(kCodePage932, 0, module, -1, out, capacity);
  if (n <= 0) out[0] = L'\0';
}

// "続行不可能なエラーが発生しました MAIN.BAS [130行]" in a box of the
// system's, modal for the whole system, over the main window and titled as
// it is: a window user sees no standard error.
void ShowBox(const wchar_t* module, unsigned line) {
  if (!owner || !IsWindow(owner)) return;
  wchar_t text[600], caption[257] = L"";
  GetWindowTextW(owner, caption, 257);
  wsprintfW(text, L"%s%s [%u%s\r\n", prepared.message, module, line & 0xFFFF, prepared.lineEnd);
  MessageBoxW(owner, text, caption, MB_OK | MB_SYSTEMMODAL | MB_ICONERROR);
}

void RecordInRegistry(const wchar_t* modl, unsigned line, uintptr_t address, DWORD code) {
  HKEY k;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, prepared.key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    return;
  SetText(k, L"XMODL", modl);
  SetNumber(k, L"XLINE", line & 0xFFFF);
  SetText(k, L"XMODE", prepared.mode);
  SetText(k, L"XRTL", prepared.version);
  // The whole address: a 64-bit program's code lies above 4 GiB.
  const ULONGLONG whole = address;
  RegSetValueExW(k, L"XADDR", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&whole), sizeof whole);
  SetNumber(k, L"XCODE", code);
  RegFlushKey(k);
  RegCloseKey(k);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  const char* module;
  unsigned line;
  char text[2048];
  Put(text, prepared.line.Build(text, sizeof text, module, line));
  const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0xFFFFFFFFu;
  const uintptr_t address = info && info->ExceptionRecord
                                ? reinterpret_cast<uintptr_t>(info->ExceptionRecord->ExceptionAddress)
                                : ~uintptr_t{0};
  wchar_t modl[300];
  ModuleName(module, modl, 300);
  // The record first: whatever becomes of the box, it is kept.
  RecordInRegistry(modl, line, address, code);
  ShowBox(modl, line);
  TerminateProcess(GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

void CopyWide(wchar_t* to, size_t capacity, const std::wstring& from) {
  const size_t n = std::min(from.size(), capacity - 1);
  std::wmemcpy(to, from.data(), n);
  to[n] = L'\0';
}

}  // namespace

void SetTerminalRestore(void (*)()) {}  // no terminal display here

void SetFatalReportOwner(void* window) { owner = static_cast<HWND>(window); }

void InstallFatalSignalReport(const FatalReport& report, FatalWhere where) {
  prepared.line.Prepare(report, where);
  CopyWide(prepared.key, 256, Cp932ToWide(report.key));
  CopyWide(prepared.mode, 128, Cp932ToWide(report.mode));
  CopyWide(prepared.version, 128, Cp932ToWide(report.version));
  CopyWide(prepared.message, 256, ToWide(report.message, CP_UTF8));
  CopyWide(prepared.lineEnd, 32, ToWide(report.lineEnd, CP_UTF8));
  if (prepared.installed) return;
  prepared.installed = true;
  // Room on the stack for the report after a stack overflow.
  ULONG guarantee = 64 * 1024;
  SetThreadStackGuarantee(&guarantee);
  SetUnhandledExceptionFilter(OnUnhandledException);
}

}  // namespace platform
