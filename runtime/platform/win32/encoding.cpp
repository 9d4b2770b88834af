// CP932 <-> UTF-8 with the system's code page tables, one character at a
// time so that a character that cannot be converted becomes one "?" and an
// incomplete one at the end waits for the next call.
#include "runtime/platform/encoding.h"

#include <windows.h>

#include <cstring>

#include "runtime/platform/win32/wide.h"

namespace platform {

namespace {

enum Direction : uintptr_t { kToUtf8 = 1, kToCp932 = 2, kUnknown = 3 };

// The bytes a UTF-8 character starting with b has (1 for a byte that starts
// none), and how many of them follow in p.
size_t Utf8Want(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 1;
}

// One CP932 character (1 or 2 bytes) in UTF-8; false when it has none.
bool AppendCp932Char(const char* p, size_t n, std::string& out) {
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
void AppendUtf8Char(const char* p, size_t n, std::string& out) {
  if (n == 1 && static_cast<unsigned char>(*p) < 0x80) {
    out += *p;
    return;
  }
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

Converter::Converter(const char* to, const char* from) : fromUtf8_(std::strcmp(from, "UTF-8") == 0) {
  const bool toUtf8 = std::strcmp(to, "UTF-8") == 0;
  Direction d = kUnknown;
  if (toUtf8 && std::strcmp(from, "CP932") == 0) d = kToUtf8;
  if (fromUtf8_ && std::strcmp(to, "CP932") == 0) d = kToCp932;
  handle_ = reinterpret_cast<void*>(static_cast<uintptr_t>(d));
}

Converter::~Converter() = default;

std::string Converter::Convert(std::string_view in) {
  std::string input = held_;
  input.append(in);
  held_.clear();
  const auto direction = static_cast<Direction>(reinterpret_cast<uintptr_t>(handle_));
  if (direction == kUnknown) return input;
  std::string out;
  out.reserve(input.size() * 3 / 2);
  const char* p = input.data();
  size_t left = input.size();
  while (left > 0) {
    const auto b = static_cast<unsigned char>(*p);
    if (b < 0x80) {  // ASCII is the same in both
      out += *p++;
      --left;
      continue;
    }
    size_t n;
    if (direction == kToUtf8) {
      n = IsLeadByte(b) ? 2 : 1;
      if (n > left) {  // a lead byte at the end: its trail byte comes next
        held_ = input.substr(static_cast<size_t>(p - input.data()));
        break;
      }
      if (!AppendCp932Char(p, n, out)) {  // one "?" for the byte; the next starts afresh
        out += '?';
        n = 1;
      }
    } else {
      const size_t want = Utf8Want(b);
      n = 1;
      while (n < want && n < left && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) ++n;
      if (n < want && n == left) {  // the rest of the character comes next
        held_ = input.substr(static_cast<size_t>(p - input.data()));
        break;
      }
      if (n < want) out += '?';  // a broken sequence: one "?" for it
      else AppendUtf8Char(p, n, out);
    }
    p += n;
    left -= n;
  }
  return out;
}

}  // namespace platform
