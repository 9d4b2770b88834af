// Files through the Win32 API: CP932 names converted to UTF-16 for the W
// functions, failures as GetLastError gives them (the codes the run-time's
// mapping table is made for). The run-time's descriptors are small numbers
// standing for the handles.
#include "runtime/platform/files.h"

#include <windows.h>

#include <cerrno>
#include <cwctype>
#include <map>

#include "runtime/platform/file_faults.h"
#include "runtime/platform/win32/wide.h"

namespace platform {

uint32_t WindowsError(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EFBIG: return ERROR_DISK_FULL;
    case EINVAL:
    case ENAMETOOLONG:
    case EILSEQ: return ERROR_INVALID_NAME;
    case EIO: return ERROR_WRITE_FAULT;
    default: return ERROR_GEN_FAILURE;
  }
}

uint32_t MissingFileError(const std::string& utf8) {
  const size_t slash = utf8.find_last_of("\\/");
  if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
  const DWORD a = GetFileAttributesW(ToWide(utf8.substr(0, slash), CP_UTF8).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

namespace {

struct OpenHandle {
  HANDLE handle;
  std::wstring temporary, target;  // a file written in place of another
};

std::map<int, OpenHandle>& Handles() {
  static std::map<int, OpenHandle> open;
  return open;
}

int Register(HANDLE h, std::wstring temporary = {}, std::wstring target = {}) {
  auto& handles = Handles();
  int fd = 3;
  while (handles.count(fd)) ++fd;
  handles[fd] = {h, std::move(temporary), std::move(target)};
  return fd;
}

HANDLE HandleOf(int fd) {
  auto it = Handles().find(fd);
  return it == Handles().end() ? INVALID_HANDLE_VALUE : it->second.handle;
}

// The error a test injected (as an errno value) in the system's terms.
uint32_t InjectedError() { return WindowsError(errno); }

// Output that replaces a file: a new file beside it with a name of its own,
// renamed over it when complete.
int OpenReplacement(const std::wstring& target, uint32_t& error) {
  const DWORD old = GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) {
    error = ERROR_ACCESS_DENIED;
    return -1;
  }
  if (FileFault(FileCall::Open)) {
    error = InjectedError();
    return -1;
  }
  const size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  const std::wstring base = slash == std::wstring::npos ? target : target.substr(slash + 1);
  for (unsigned attempt = 0;; ++attempt) {
    wchar_t suffix[32];
    wsprintfW(suffix, L".%08lx%04x.tmp", GetTickCount() ^ GetCurrentProcessId(), attempt);
    std::wstring temporary = folder + L"." + base + suffix;
    HANDLE h = CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      try {
        return Register(h, temporary, target);
      } catch (...) {  // no memory to keep it: it is not left behind
        CloseHandle(h);
        DeleteFileW(temporary.c_str());
        throw;
      }
    }
    const DWORD e = GetLastError();
    if (e != ERROR_FILE_EXISTS || attempt > 100) {
      error = e == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : e;
      return -1;
    }
  }
}

// A name the system keeps for a device in every folder (CON, PRN, AUX, NUL,
// COM1 to COM9, LPT1 to LPT9, also with an extension: "nul.txt"): no file
// is ever made under it, so it is refused as a bad name instead of failing
// later for no reason the user could see.
bool DeviceName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/:");
  std::wstring base = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
  base = base.substr(0, base.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(towupper(c));
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") return true;
  return base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) && base[3] >= L'1' &&
         base[3] <= L'9';
}

}  // namespace

int OpenFile(const std::string& cp932Name, bool read, bool write, Creation creation, uint32_t& error) {
  if (cp932Name.empty()) {
    error = ERROR_INVALID_NAME;
    return -1;
  }
  const std::wstring name = Cp932ToWide(cp932Name);
  if (DeviceName(name)) {
    error = ERROR_INVALID_NAME;
    return -1;
  }
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = ERROR_ACCESS_DENIED;
    return -1;
  }
  if (creation == Creation::CreateOrTruncate) return OpenReplacement(name, error);
  DWORD disposition = OPEN_EXISTING;
  switch (creation) {
    case Creation::MustExist: disposition = OPEN_EXISTING; break;
    case Creation::MustNotExist: disposition = CREATE_NEW; break;
    case Creation::OpenOrCreate: disposition = OPEN_ALWAYS; break;
    case Creation::CreateOrTruncate: break;
  }
  if (FileFault(FileCall::Open)) {
    error = InjectedError();
    return -1;
  }
  const DWORD access = (read ? GENERIC_READ : 0) | (write ? GENERIC_WRITE : 0);
  HANDLE h = CreateFileW(name.c_str(), access, FILE_SHARE_READ | (write ? 0 : FILE_SHARE_WRITE), nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return -1;
  }
  // Only files on disk: a pipe or a device read would wait without end.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    error = ERROR_ACCESS_DENIED;
    return -1;
  }
  return Register(h);
}

long ReadAt(int fd, int64_t offset, char* buffer, size_t n, uint32_t& error) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(HandleOf(fd), buffer, static_cast<DWORD>(n), &got, &at)) {
    const DWORD e = GetLastError();
    if (e == ERROR_HANDLE_EOF) return 0;
    error = e;
    return -1;
  }
  return static_cast<long>(got);
}

bool WriteAt(int fd, int64_t offset, const char* bytes, size_t n, uint32_t& error) {
  while (n > 0) {
    if (FileFault(FileCall::Write)) {
      error = InjectedError();
      return false;
    }
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    const DWORD chunk = static_cast<DWORD>(n > 0x40000000 ? 0x40000000 : n);
    if (!WriteFile(HandleOf(fd), bytes, chunk, &done, &at)) {
      error = GetLastError();
      return false;
    }
    if (done == 0) {  // nothing written and no error: no room
      error = ERROR_DISK_FULL;
      return false;
    }
    NoteFileWrite();
    bytes += done;
    n -= done;
    offset += done;
  }
  return true;
}

int64_t FileSize(int fd) {
  LARGE_INTEGER size;
  return GetFileSizeEx(HandleOf(fd), &size) ? size.QuadPart : 0;
}

bool CloseFile(int fd, uint32_t& error) {
  if (fd < 0) return true;
  auto it = Handles().find(fd);
  if (it == Handles().end()) return true;
  const OpenHandle h = std::move(it->second);
  Handles().erase(it);
  if (h.temporary.empty()) {
    if (FileFault(FileCall::Close)) {
      error = InjectedError();
      CloseHandle(h.handle);
      return false;
    }
    if (!CloseHandle(h.handle)) {
      error = GetLastError();
      return false;
    }
    return true;
  }
  // The new contents reach the disk before they take the old file's name.
  uint32_t failure = 0;
  if (FileFault(FileCall::Sync)) failure = InjectedError();
  else if (!FlushFileBuffers(h.handle)) failure = GetLastError();
  else NoteFileCall(FileCall::Sync);
  if (FileFault(FileCall::Close)) {
    if (!failure) failure = InjectedError();
    CloseHandle(h.handle);
  } else if (!CloseHandle(h.handle) && !failure) {
    failure = GetLastError();
  }
  if (!failure) {
    if (FileFault(FileCall::Rename)) failure = InjectedError();
    else if (!MoveFileExW(h.temporary.c_str(), h.target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      failure = GetLastError();
    else
      NoteFileCall(FileCall::Rename);
  }
  if (!failure) return true;
  error = failure;
  DeleteFileW(h.temporary.c_str());
  return false;
}

void AbandonFile(int fd) {
  auto it = Handles().find(fd);
  if (it == Handles().end()) return;
  CloseHandle(it->second.handle);
  if (!it->second.temporary.empty()) DeleteFileW(it->second.temporary.c_str());
  Handles().erase(it);
}

bool ReplacementsOpen() {
  for (const auto& [fd, h] : Handles())
    if (!h.temporary.empty()) return true;
  return false;
}

void AbandonAllReplacements() {
  auto& handles = Handles();
  for (auto it = handles.begin(); it != handles.end();) {
    if (it->second.temporary.empty()) {
      ++it;
      continue;
    }
    CloseHandle(it->second.handle);
    DeleteFileW(it->second.temporary.c_str());
    it = handles.erase(it);
  }
}

bool FollowLinks(const std::string& utf8Path, std::string& target) {
  target = utf8Path;
  return true;
}

bool FileExists(const std::string& cp932Name) {
  return GetFileAttributesW(Cp932ToWide(cp932Name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FullPath(const std::string& cp932Name) {
  const std::wstring name = Cp932ToWide(cp932Name);
  wchar_t full[MAX_PATH * 4];
  const DWORD n = GetFullPathNameW(name.c_str(), MAX_PATH * 4, full, nullptr);
  if (n == 0 || n >= MAX_PATH * 4) return cp932Name;
  return WideToCp932(std::wstring_view(full, n));
}

}  // namespace platform
