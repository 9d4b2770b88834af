// Who may change a library's folder or file on Windows, read from security
// descriptors written in SDDL: only the user, Administrators, SYSTEM and
// TrustedInstaller may own it or write it.
#include "runtime/platform/win32/trusted_writers.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>

namespace platform {
namespace {

std::wstring CurrentUserSid() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  std::wstring text;
  LPWSTR sid = nullptr;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
    text = sid;
    LocalFree(sid);
  }
  CloseHandle(token);
  return text;
}

bool Trusted(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    ADD_FAILURE() << "not SDDL";
  const bool trusted = OnlyTrustedMayWrite(descriptor);
  LocalFree(descriptor);
  return trusted;
}

TEST(TrustedWriters, OnlyTheUserAdministratorsAndSystem) {
  const std::wstring me = CurrentUserSid();
  ASSERT_FALSE(me.empty());
  const std::wstring sy = L"O:SYD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;WD)";
  EXPECT_TRUE(Trusted(sy));
  EXPECT_TRUE(Trusted(L"O:" + me + L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + me + L")(A;OICI;0x1200a9;;;WD)"));
  EXPECT_TRUE(Trusted(sy + L"(A;OICIIO;FA;;;WD)"));  // only for what is made inside
  EXPECT_TRUE(Trusted(sy + L"(D;;FA;;;WD)"));        // a denial
  EXPECT_FALSE(Trusted(sy + L"(A;;FA;;;WD)"));       // Everyone may write
  EXPECT_FALSE(Trusted(sy + L"(A;;0x1301ff;;;WD)"));  // as Wine shows a folder of mode 777
  EXPECT_FALSE(Trusted(sy + L"(A;;GW;;;BU)"));       // Users, generically
  EXPECT_FALSE(Trusted(sy + L"(A;;WD;;;AU)"));       // a change of permissions
  EXPECT_FALSE(Trusted(L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;SY)"));  // another user's
  // No DACL at all: anyone may do anything.
  SECURITY_DESCRIPTOR open;
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
  BYTE system[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof system;
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
  ASSERT_TRUE(SetSecurityDescriptorOwner(&open, system, FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  EXPECT_FALSE(OnlyTrustedMayWrite(&open));
}

}  // namespace
}  // namespace platform
