// The registry as the run-time uses it: named string and number values under
// keys, for the current user and for the machine. Each store is a text file
// in the layout of a .reg export, in UTF-8:
//   ${XDG_CONFIG_HOME:-$HOME/.config}/tessel/registry.reg   (current user)
//   /etc/tessel/registry.reg                               (machine)
// A change rewrites the whole file through a temporary file and a rename, so
// a crash never leaves half a store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// Key paths and names as the run-time writes them, for example
// "Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR"; text values in CP932.
bool RegistrySetString(RegistryRoot root, const std::string& key, const std::string& name,
                       const std::string& cp932Value);
bool RegistrySetDword(RegistryRoot root, const std::string& key, const std::string& name, uint32_t value);
std::optional<std::string> RegistryGetString(RegistryRoot root, const std::string& key,
                                             const std::string& name);
std::optional<uint32_t> RegistryGetDword(RegistryRoot root, const std::string& key, const std::string& name);
// The file that holds a root's values.
std::string RegistryPath(RegistryRoot root);

}  // namespace platform
