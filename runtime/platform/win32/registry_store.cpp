// The registry itself: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. A change
// is written under a mutex that every run of the programs shares, so that
// runs at the same time never mix the values of one record.
#include "runtime/platform/registry_store.h"

#include <windows.h>

#include <cstring>

#include "runtime/platform/win32/wide.h"

namespace platform {

namespace {

HKEY RootKey(RegistryRoot root) { return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// A change's values: 's' and the CP932 text, or 'd' and the number's four
// bytes.
std::string StringValue(const std::string& cp932) { return "s" + cp932; }
std::string DwordValue(uint32_t v) {
  std::string s = "d";
  s.append(reinterpret_cast<const char*>(&v), sizeof v);
  return s;
}

class StoreMutex {
 public:
  StoreMutex() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\TesselRegistryStore")) {
    if (mutex_) WaitForSingleObject(mutex_, 10000);
  }
  ~StoreMutex() {
    if (!mutex_) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

bool Read(RegistryRoot root, const std::string& key, const std::string& name, DWORD& type, std::wstring& text,
          DWORD& number) {
  HKEY k;
  if (RegOpenKeyExW(RootKey(root), Cp932ToWide(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  const std::wstring value = Cp932ToWide(name);
  DWORD size = 0;
  bool ok = RegQueryValueExW(k, value.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
  if (ok && (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    ok = RegQueryValueExW(k, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
         ERROR_SUCCESS;
    buffer.resize(size / sizeof(wchar_t));
    while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
    text = buffer;
  } else if (ok && type == REG_DWORD) {
    size = sizeof number;
    ok = RegQueryValueExW(k, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
         ERROR_SUCCESS;
  }
  RegCloseKey(k);
  return ok;
}

}  // namespace

RegistryChange& RegistryChange::String(const std::string& name, const std::string& cp932Value) {
  values_.push_back({name, StringValue(cp932Value)});
  return *this;
}

RegistryChange& RegistryChange::Dword(const std::string& name, uint32_t value) {
  values_.push_back({name, DwordValue(value)});
  return *this;
}

bool RegistryChange::Commit(RegistryRoot root, const std::string& key) const {
  StoreMutex lock;
  HKEY k;
  if (RegCreateKeyExW(RootKey(root), Cp932ToWide(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    return false;
  bool ok = true;
  for (const auto& [name, value] : values_) {
    const std::wstring valueName = Cp932ToWide(name);
    if (value[0] == 'd') {
      DWORD number;
      std::memcpy(&number, value.data() + 1, sizeof number);
      ok &= RegSetValueExW(k, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                           sizeof number) == ERROR_SUCCESS;
    } else {
      const std::wstring text = Cp932ToWide(std::string_view(value).substr(1));
      ok &= RegSetValueExW(k, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
  }
  RegFlushKey(k);
  RegCloseKey(k);
  return ok;
}

std::optional<std::string> RegistryGetString(RegistryRoot root, const std::string& key, const std::string& name) {
  DWORD type = 0, number = 0;
  std::wstring text;
  // REG_SZ only: an expandable string (REG_EXPAND_SZ) would name what the
  // environment of the moment makes of it.
  if (!Read(root, key, name, type, text, number) || type != REG_SZ) return std::nullopt;
  return WideToCp932(text);
}

std::optional<uint32_t> RegistryGetDword(RegistryRoot root, const std::string& key, const std::string& name) {
  DWORD type = 0, number = 0;
  std::wstring text;
  if (!Read(root, key, name, type, text, number) || type != REG_DWORD) return std::nullopt;
  return number;
}

std::string RegistryPath(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

}  // namespace platform
