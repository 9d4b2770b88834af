// Single values, each written as a change of its own.
#include "runtime/platform/registry_store.h"

namespace platform {

bool RegistrySetString(RegistryRoot root, const std::string& key, const std::string& name,
                       const std::string& cp932Value) {
  return RegistryChange().String(name, cp932Value).Commit(root, key);
}

bool RegistrySetDword(RegistryRoot root, const std::string& key, const std::string& name, uint32_t value) {
  return RegistryChange().Dword(name, value).Commit(root, key);
}

}  // namespace platform
