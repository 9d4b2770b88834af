// Any bytes as the user's registry store, then an error record written to it
// and read back: the values set read back as written, a value of another key
// reads as before, and a store that cannot be read, or is not text this
// store edits (UTF-16), is left as it was.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/platform/posix/registry_text.h"
#include "runtime/platform/registry_store.h"

namespace {

using platform::RegistryRoot;

const std::string kKey = "Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR";

const std::string& Folder() {
  static const std::string folder = [] {
    std::string f = "/tmp/tessel-fuzz-store-" + std::to_string(getpid());
    (void)!std::system(("mkdir -p " + f + "/tessel").c_str());
    setenv("XDG_CONFIG_HOME", f.c_str(), 1);
    return f;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/tessel/registry.reg";
  const std::string before(reinterpret_cast<const char*>(data), size);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << before;
  const auto other = platform::RegistryGetString(RegistryRoot::CurrentUser, "Software\\Other", "X");
  const auto otherKey = platform::RegistryGetString(RegistryRoot::CurrentUser, kKey + "\\Sub", "MODL");
  const bool written = platform::RegistryChange()
                           .String("MODL", "MAIN.BAS")
                           .Dword("LINE", 0x1234)
                           .String("TIME", "2026/12/09 10:00:00")
                           .Commit(RegistryRoot::CurrentUser, kKey);
  if (!platform::IsStoreText({before.data(), before.size()})) {
    // A store in UTF-16 (or so it seems) is left exactly as it was.
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    if (written || ss.str() != before) __builtin_trap();
    return 0;
  }
  if (!written) __builtin_trap();  // a readable regular file of text is always written
  if (platform::RegistryGetString(RegistryRoot::CurrentUser, kKey, "MODL") != "MAIN.BAS") __builtin_trap();
  if (platform::RegistryGetDword(RegistryRoot::CurrentUser, kKey, "LINE") != 0x1234u) __builtin_trap();
  if (platform::RegistryGetString(RegistryRoot::CurrentUser, "Software\\Other", "X") != other) __builtin_trap();
  if (platform::RegistryGetString(RegistryRoot::CurrentUser, kKey + "\\Sub", "MODL") != otherKey) __builtin_trap();
  // Every line that is not a value line (comments, keys, blank lines, lines
  // it does not understand) is kept as it was.
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string after = ss.str();
  bool continued = false;
  for (size_t at = 0; at < before.size();) {
    size_t nl = before.find('\n', at);
    const size_t end = nl == std::string::npos ? before.size() : nl;
    const std::string line = before.substr(at, end - at);
    const bool value = !line.empty() && line[0] == '"';
    if (!value && !continued && after.find(line) == std::string::npos) __builtin_trap();
    std::string text = line;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    continued = (value || continued) && !text.empty() && text.back() == '\\';
    at = end + 1;
  }
  return 0;
}
