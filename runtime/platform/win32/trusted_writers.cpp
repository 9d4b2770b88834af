#include "runtime/platform/win32/trusted_writers.h"

#include <windows.h>
#include <aclapi.h>

#include "runtime/platform/win32/wide.h"

namespace platform {
namespace {

// The rights that change a file or what a folder holds.
constexpr ACCESS_MASK kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                 FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// NT SERVICE\TrustedInstaller, which owns the system's own files.
bool IsTrustedInstaller(PSID sid) {
  static BYTE installer[SECURITY_MAX_SID_SIZE];
  static bool made = false;
  if (!made) {
    PSID parsed = nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (AllocateAndInitializeSid(&nt, 6, 80, 956008885, 3418522649u, 1831038044, 1853292631, 2271478464u, 0, 0,
                                 &parsed)) {
      CopySid(sizeof installer, installer, parsed);
      FreeSid(parsed);
    }
    made = true;
  }
  return IsValidSid(installer) && EqualSid(sid, installer);
}

// The user this process runs as.
bool IsCurrentUser(PSID sid) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  const bool got = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  CloseHandle(token);
  return got && EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

bool Trusted(PSID sid) {
  return IsCurrentUser(sid) || IsWellKnownSid(sid, WinLocalSystemSid) ||
         IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsTrustedInstaller(sid);
}

}  // namespace

bool OnlyTrustedMayWrite(void* descriptor) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  PACL dacl = nullptr;
  if (!descriptor || !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner || !Trusted(owner))
    return false;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl) return false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) return false;
    const auto* header = static_cast<ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;  // denials take nothing away from the rule
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;         // for what is made inside, not for this
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if (!(allowed->Mask & kWriting)) continue;
    if (!Trusted(const_cast<DWORD*>(&allowed->SidStart))) return false;
  }
  return true;
}

bool OnlyTrustedMayWrite(const std::string& utf8Path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::wstring path = ToWide(utf8Path, CP_UTF8);
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  const bool trusted = OnlyTrustedMayWrite(descriptor);
  LocalFree(descriptor);
  return trusted;
}

}  // namespace platform
