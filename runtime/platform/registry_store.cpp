#include "runtime/platform/registry_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "runtime/platform/encoding.h"

namespace platform {
namespace {

struct Key {
  std::string path;  // with its root, as in the file
  std::vector<std::pair<std::string, std::string>> values;  // name, value as written
};

std::string RootName(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) ++i;
    out += s[i];
  }
  return out;
}

std::vector<Key> Load(const std::string& path) {
  std::vector<Key> keys;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      keys.push_back({line.substr(1, line.size() - 2), {}});
    } else if (!keys.empty() && line.size() > 3 && line[0] == '"') {
      size_t close = 1;
      while (close < line.size() && !(line[close] == '"' && line[close - 1] != '\\')) ++close;
      if (close + 1 >= line.size() || line[close + 1] != '=') continue;
      keys.back().values.push_back({Unescape(line.substr(1, close - 1)), line.substr(close + 2)});
    }
  }
  return keys;
}

bool Save(const std::string& path, const std::vector<Key>& keys) {
  size_t slash = path.rfind('/');
  std::string dir = path.substr(0, slash);
  // Create the folders on the way.
  for (size_t p = 1; p <= dir.size(); ++p) {
    if (p == dir.size() || dir[p] == '/') mkdir(dir.substr(0, p).c_str(), 0755);
  }
  std::string temp = path + ".tmp" + std::to_string(getpid());
  {
    std::ofstream out(temp, std::ios::trunc);
    if (!out) return false;
    out << "Windows Registry Editor Version 5.00\n";
    for (const Key& k : keys) {
      out << "\n[" << k.path << "]\n";
      for (const auto& [name, value] : k.values) out << '"' << Escape(name) << "\"=" << value << "\n";
    }
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool Set(RegistryRoot root, const std::string& key, const std::string& name, const std::string& written) {
  std::string path = RegistryPath(root);
  std::vector<Key> keys = Load(path);
  std::string full = RootName(root) + "\\" + key;
  Key* k = nullptr;
  for (Key& each : keys)
    if (each.path == full) k = &each;
  if (!k) {
    keys.push_back({full, {}});
    k = &keys.back();
  }
  for (auto& v : k->values) {
    if (v.first == name) {
      v.second = written;
      return Save(path, keys);
    }
  }
  k->values.push_back({name, written});
  return Save(path, keys);
}

std::optional<std::string> Get(RegistryRoot root, const std::string& key, const std::string& name) {
  std::string full = RootName(root) + "\\" + key;
  for (const Key& k : Load(RegistryPath(root))) {
    if (k.path != full) continue;
    for (const auto& v : k.values)
      if (v.first == name) return v.second;
  }
  return std::nullopt;
}

}  // namespace

std::string RegistryPath(RegistryRoot root) {
  if (root == RegistryRoot::LocalMachine) return "/etc/tessel/registry.reg";
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base = xdg && *xdg ? xdg : std::string(std::getenv("HOME") ? std::getenv("HOME") : "/tmp") + "/.config";
  return base + "/tessel/registry.reg";
}

bool RegistrySetString(RegistryRoot root, const std::string& key, const std::string& name,
                       const std::string& cp932Value) {
  std::string written = "\"";
  written += Escape(Cp932ToUtf8(cp932Value));
  written += '"';
  return Set(root, key, name, written);
}

bool RegistrySetDword(RegistryRoot root, const std::string& key, const std::string& name, uint32_t value) {
  char text[20];
  std::snprintf(text, sizeof text, "dword:%08x", value);
  return Set(root, key, name, text);
}

std::optional<std::string> RegistryGetString(RegistryRoot root, const std::string& key, const std::string& name) {
  auto v = Get(root, key, name);
  if (!v || v->size() < 2 || v->front() != '"' || v->back() != '"') return std::nullopt;
  return Utf8ToCp932(Unescape(v->substr(1, v->size() - 2)));
}

std::optional<uint32_t> RegistryGetDword(RegistryRoot root, const std::string& key, const std::string& name) {
  auto v = Get(root, key, name);
  if (!v || v->rfind("dword:", 0) != 0) return std::nullopt;
  return static_cast<uint32_t>(std::strtoul(v->c_str() + 6, nullptr, 16));
}

}  // namespace platform
