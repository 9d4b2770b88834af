// The registry as the run-time uses it: named string and number values under
// keys, for the current user and for the machine. Each store is a text file
// in the layout of a .reg export, in UTF-8:
//   ${XDG_CONFIG_HOME:-$HOME/.config}/tessel/registry.reg   (current user)
//   /etc/tessel/registry.reg                               (machine)
// The user's store is only ever in the user's own home: without the
// variables, the home the password database gives; without one, no store.
// A change edits only the values it sets (every other line is kept byte for
// byte), under a lock beside the store so that runs at the same time never
// mix their changes, and replaces the store through a new file that is made
// durable and renamed over it (through a link, the file it leads to, with
// its mode): a crash never leaves half a store, and a store that cannot be
// read is never replaced.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// Values of one key, written together as one change.
class RegistryChange {
 public:
  // Text values in CP932.
  RegistryChange& String(const std::string& name, const std::string& cp932Value);
  RegistryChange& Dword(const std::string& name, uint32_t value);
  // False when the store could not be read or written; it is then as it was.
  bool Commit(RegistryRoot root, const std::string& key) const;

 private:
  std::vector<std::pair<std::string, std::string>> values_;  // name, written form
};

// Key paths and names as the run-time writes them, for example
// "Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR"; text values in CP932.
bool RegistrySetString(RegistryRoot root, const std::string& key, const std::string& name,
                       const std::string& cp932Value);
bool RegistrySetDword(RegistryRoot root, const std::string& key, const std::string& name, uint32_t value);
std::optional<std::string> RegistryGetString(RegistryRoot root, const std::string& key,
                                             const std::string& name);
std::optional<uint32_t> RegistryGetDword(RegistryRoot root, const std::string& key, const std::string& name);
// Where a root's values are kept: the store file on POSIX systems (empty
// when there is none), the registry's own root on Windows.
std::string RegistryPath(RegistryRoot root);

}  // namespace platform
