// The last word of a process that an exception nobody handles ends (an
// access violation, a stack overflow): a line on standard error and the X*
// values in the user's registry, written from buffers prepared in advance,
// then the process ends with the exception's code.
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
  bool installed = false;
};
Prepared prepared;

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

void RecordInRegistry(const char* module, unsigned line, DWORD address, DWORD code) {
  HKEY k;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, prepared.key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    return;
  wchar_t modl[300];
  int n = MultiByteToWideChar(CP_UTF8, 0, module, -1, modl, 300);
  if (n <= 0) modl[0] = L'\0';
  SetText(k, L"XMODL", modl);
  SetNumber(k, L"XLINE", line & 0xFFFF);
  SetText(k, L"XMODE", prepared.mode);
  SetText(k, L"XRTL", prepared.version);
  SetNumber(k, L"XADDR", address);
  SetNumber(k, L"XCODE", code);
  RegFlushKey(k);
  RegCloseKey(k);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  const char* module;
  unsigned line;
  char text[2048];
  Put(text, prepared.line.Build(text, sizeof text, module, line));
  const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0;
  const DWORD address = info && info->ExceptionRecord
                            ? static_cast<DWORD>(reinterpret_cast<uintptr_t>(info->ExceptionRecord->ExceptionAddress))
                            : 0xFFFFFFFFu;
  RecordInRegistry(module, line, address, code);
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

void InstallFatalSignalReport(const FatalReport& report, FatalWhere where) {
  prepared.line.Prepare(report, where);
  CopyWide(prepared.key, 256, Cp932ToWide(report.key));
  CopyWide(prepared.mode, 128, Cp932ToWide(report.mode));
  CopyWide(prepared.version, 128, Cp932ToWide(report.version));
  if (prepared.installed) return;
  prepared.installed = true;
  // Room on the stack for the report after a stack overflow.
  ULONG guarantee = 64 * 1024;
  SetThreadStackGuarantee(&guarantee);
  SetUnhandledExceptionFilter(OnUnhandledException);
}

}  // namespace platform
