// A fresh folder under /tmp for a test: made (and, unless asked otherwise,
// entered) on construction, left and removed with everything in it on
// destruction.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace test_support {

class TempFolder {
 public:
  explicit TempFolder(const char* prefix, bool enter = true) : entered_(enter) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data()) || (enter && chdir(pattern.c_str()) != 0))
      throw std::runtime_error("no temporary folder " + pattern);
    path_ = pattern;
  }
  ~TempFolder() {
    if (entered_) (void)!chdir("/");
    (void)!std::system(("rm -rf '" + path_ + "'").c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool entered_;
};

}  // namespace test_support
