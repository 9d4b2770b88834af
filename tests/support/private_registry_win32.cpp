// On Windows the tests write the registry itself: each test process gets a
// key of its own as HKEY_CURRENT_USER, so that what one test stores (the
// message library's folder, an error record) is not read by another running
// beside it or after it. The key is removed at the end.
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
