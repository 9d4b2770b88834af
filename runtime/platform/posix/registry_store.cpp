#include "runtime/platform/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "runtime/platform/encoding.h"
#include "runtime/platform/file_faults.h"
#include "runtime/platform/files.h"
#include "runtime/platform/posix/registry_file.h"
#include "runtime/platform/posix/registry_text.h"
#include "runtime/platform/posix/temporaries.h"

namespace platform {
namespace {

constexpr size_t kLargestStore = 64 * 1024 * 1024;

Bytes Of(const std::string& s) { return {s.data(), s.size()}; }

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

// An absolute folder from the environment, or empty.
std::string AbsoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  return v && v[0] == '/' ? std::string(v) : std::string();
}

// The user's home as the password database has it.
std::string PasswordHome() {
  struct passwd entry, *found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found || !found->pw_dir ||
      found->pw_dir[0] != '/')
    return {};
  return found->pw_dir;
}

// Makes the folders of a path that are missing (the user's own: 0700).
void MakeFolders(const std::string& path) {
  const std::string dir = path.substr(0, path.rfind('/'));
  for (size_t p = 1; p <= dir.size(); ++p)
    if (p == dir.size() || dir[p] == '/') mkdir(dir.substr(0, p).c_str(), 0700);
}

// The store's whole text; false when it exists and cannot be read.
bool Load(const std::string& path, std::string& text, mode_t& mode) {
  text.clear();
  mode = 0600;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > kLargestStore) return false;
  // A little room beyond the size shows whether it grew meanwhile.
  text.resize(static_cast<size_t>(st.st_size) + 4096);
  long n = ReadStore(path.c_str(), text.data(), text.size(), mode);
  if (n < 0) return false;
  text.resize(static_cast<size_t>(n));
  return true;
}

// One line on standard error for a record that could not be written where
// the reason is not plain: the user learns why it is missing.
void SayNotRecorded(const std::string& path, const char* why) {
  std::fprintf(stderr, "tessel: %s %s; the record was not written\n", path.c_str(), why);
}

bool Write(RegistryRoot root, const std::string& key,
           const std::vector<std::pair<std::string, std::string>>& values) {
  const std::string path = RegistryPath(root);
  if (path.empty() || values.empty()) return false;
  MakeFolders(path);
  const int lock = LockStore((path + ".lock").c_str());
  if (lock < 0) {
    if (errno == ETIMEDOUT) SayNotRecorded(path, "stayed locked by another process");
    else if (errno == EINVAL) SayNotRecorded(path + ".lock", "is not a regular file");
    return false;
  }
  std::string target, text;
  mode_t mode;
  bool ok = FollowLinks(path, target);
  if (!ok) SayNotRecorded(path, "is a link that is not followed (another user's, or a loop)");
  ok = ok && Load(target, text, mode);
  if (ok && !IsStoreText(Of(text))) {
    SayNotRecorded(path, "is not in UTF-8 (UTF-16?) and is left as it is");
    ok = false;
  }
  if (ok) {
    std::vector<StoreValue> edits;
    for (const auto& [name, written] : values) edits.push_back({Of(name), Of(written)});
    const std::string fullKey = RegistryKeyPath(root, key);
    size_t room = text.size() + fullKey.size() + 128;
    for (const auto& [name, written] : values) room += 2 * name.size() + written.size() + 8;
    std::string edited(room, '\0');
    size_t n = EditStoreText(Of(text), Of(fullKey), edits.data(), edits.size(), edited.data(), edited.size());
    const size_t slash = target.rfind('/');
    const std::string folder = target.substr(0, slash + 1), base = target.substr(slash + 1);
    RemoveLeftovers(folder, base);
    int fd = -1;
    Temporary* temporary = n > 0 ? MakeTemporary(folder, base, target, fd) : nullptr;
    ok = temporary && ReplaceStore(target.c_str(), fd, TemporaryName(temporary), edited.data(), n, mode);
    if (temporary) ForgetTemporary(temporary);  // renamed into place, or removed already
  }
  ReleaseStore(lock);
  return ok;
}

std::optional<std::string> Get(RegistryRoot root, const std::string& key, const std::string& name) {
  const std::string path = RegistryPath(root);
  std::string text;
  mode_t mode;
  if (path.empty() || !Load(path, text, mode)) return std::nullopt;
  Bytes written;
  if (!FindStoreValue(Of(text), Of(RegistryKeyPath(root, key)), Of(name), written)) return std::nullopt;
  return std::string(written.data, written.size);
}

}  // namespace

std::string RegistryPath(RegistryRoot root) {
  if (root == RegistryRoot::LocalMachine) return "/etc/tessel/registry.reg";
  std::string base = AbsoluteEnv("XDG_CONFIG_HOME");
  if (base.empty()) {
    std::string home = AbsoluteEnv("HOME");
    if (home.empty()) home = PasswordHome();
    if (home.empty()) return {};
    base = home + "/.config";
  }
  return base + "/tessel/registry.reg";
}

std::string RegistryKeyPath(RegistryRoot root, const std::string& key) {
  return (root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\") + key;
}

std::string RegistryStringText(const std::string& cp932Value) {
  std::string text = "\"";
  text += Escape(Cp932ToUtf8(cp932Value));
  text += '"';
  return text;
}

std::string RegistryDwordText(uint32_t value) {
  char text[20];
  std::snprintf(text, sizeof text, "dword:%08x", value);
  return text;
}

RegistryChange& RegistryChange::String(const std::string& name, const std::string& cp932Value) {
  values_.push_back({name, RegistryStringText(cp932Value)});
  return *this;
}

RegistryChange& RegistryChange::Dword(const std::string& name, uint32_t value) {
  values_.push_back({name, RegistryDwordText(value)});
  return *this;
}

bool RegistryChange::Commit(RegistryRoot root, const std::string& key) const { return Write(root, key, values_); }

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
