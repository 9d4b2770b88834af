#include "runtime/platform/dynamic_library.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace platform {
namespace {

// Owned by this user or root, and writable by no one else.
bool Trusted(const struct stat& st) {
  return (st.st_uid == getuid() || st.st_uid == 0) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

void* ProgramSymbol(const std::string& name) { return dlsym(RTLD_DEFAULT, name.c_str()); }

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  path[n] = '\0';
  const std::string program(path);
  return program.substr(0, program.rfind('/'));
}

void* LoadTrustedLibrary(const std::string& folder, const std::string& file) {
  if (folder.empty() || folder[0] != '/' || file.empty() || file.find('/') != std::string::npos) return nullptr;
  // The folder and the file are checked as opened, and the library is loaded
  // from the file opened: nothing can be swapped in between.
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return nullptr;
  struct stat st;
  bool ok = fstat(dir, &st) == 0 && Trusted(st);
  int fd = ok ? openat(dir, file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
  close(dir);
  if (fd < 0) return nullptr;
  void* library = nullptr;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && Trusted(st)) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  }
  close(fd);
  return library;
}

void* LibrarySymbol(void* library, const std::string& name) {
  return library ? dlsym(library, name.c_str()) : nullptr;
}

void UnloadLibrary(void* library) {
  if (library) dlclose(library);
}

}  // namespace platform
