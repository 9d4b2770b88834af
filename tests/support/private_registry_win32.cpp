// On Windows the tests write the registry itself: each test process gets a
// key of its own as HKEY_CURRENT_USER, so that what one test stores (the
// message library's folder, an error record) is not read by another running
// beside it or after it. The key is removed at the end.
#include "support/private_registry.h"

#include <windows.h>

namespace {

class PrivateRegistry {
 public:
  PrivateRegistry() {
    wsprintfW(name_, L"Software\\TesselTests\\%lu", GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, name_);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) ==
        ERROR_SUCCESS)
      RegOverridePredefKey(HKEY_CURRENT_USER, key_);
  }
  ~PrivateRegistry() {
    if (!key_) return;
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, name_);
  }

 private:
  wchar_t name_[64];
  HKEY key_ = nullptr;
};

PrivateRegistry registry;

}  // namespace

namespace test_support {

bool SetExpandableString(const std::string& key, const std::string& name, const std::string& value) {
  auto wide = [](const std::string& utf8) {
    std::wstring out(utf8.size() + 1, L'\0');
    out.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), out.data(),
                            static_cast<int>(out.size()))));
    return out;
  };
  HKEY k;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring text = wide(value);
  const bool ok = RegSetValueExW(k, wide(name).c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(k);
  return ok;
}

}  // namespace test_support
