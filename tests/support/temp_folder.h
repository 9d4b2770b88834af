// A fresh folder under /tmp that in-process tests work in: made and entered
// on construction, left and removed with everything in it on destruction.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace test_support {

class TempFolder {
 public:
  explicit TempFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0)
      throw std::runtime_error("no temporary folder " + pattern);
    path_ = pattern;
  }
  ~TempFolder() {
    (void)!chdir("/");
    (void)!std::system(("rm -rf '" + path_ + "'").c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace test_support
