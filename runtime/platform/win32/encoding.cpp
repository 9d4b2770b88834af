// CP932 <-> UTF-8 with the system's code page tables, one character at a
// time so that a character that cannot be converted becomes one "?" and an
// incomplete one at the end waits for the next call.
#include "runtime/platform/encoding.h"

#include <windows.h>

#include <cstring>

#include "runtime/platform/character_walk.h"
#include "runtime/platform/win32/wide.h"

namespace platform {

namespace {

// One CP932 character (1 or 2 bytes) in UTF-8; false when it has none.
bool AppendCp932Char(const unsigned char* bytes, size_t n, std::string& out) {
  const auto* p = reinterpret_cast<const char*>(bytes);
  wchar_t w[2];
  int k = MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, p, static_cast<int>(n), w, 2);
  if (k <= 0) return false;
  char u[8];
  int m = WideCharToMultiByte(CP_UTF8, 0, w, k, u, sizeof u, nullptr, nullptr);
  if (m <= 0) return false;
  out.append(u, m);
  return true;
}

// One UTF-8 character in CP932, or "?".
void AppendUtf8Char(const unsigned char* bytes, size_t n, std::string& out) {
  const auto* p = reinterpret_cast<const char*>(bytes);
  wchar_t w[2];
  int k = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p, static_cast<int>(n), w, 2);
  if (k <= 0) {
    out += '?';
    return;
  }
  char s[8];
  BOOL defaulted = FALSE;
  int m = WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, w, k, s, sizeof s, nullptr, &defaulted);
  if (m <= 0 || defaulted) out += '?';
  else out.append(s, m);
}

constexpr CharacterConverters kCodePages{AppendCp932Char, AppendUtf8Char};

}  // namespace

std::wstring ToWide(std::string_view bytes, unsigned codePage) {
  if (bytes.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return w;
}

std::string FromWide(std::wstring_view wide, unsigned codePage) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr, nullptr);
  return s;
}

Converter::Converter(const char* to, const char* from)
    : handle_(reinterpret_cast<void*>(static_cast<uintptr_t>(ConversionOf(to, from)))),
      fromUtf8_(std::strcmp(from, "UTF-8") == 0) {}

Converter::~Converter() = default;

std::string Converter::Convert(std::string_view in) {
  return ConvertByCharacter(static_cast<Conversion>(reinterpret_cast<uintptr_t>(handle_)), held_, in, kCodePages);
}

}  // namespace platform
