// A fresh folder in the system's temporary folder for a test: made (and,
// unless asked otherwise, entered) on construction, left and removed with
// everything in it on destruction.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace test_support {

class TempFolder {
 public:
  explicit TempFolder(const char* prefix, bool enter = true) : entered_(enter) {
    namespace fs = std::filesystem;
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      fs::path candidate = fs::temp_directory_path() / (std::string(prefix) + "-" + std::to_string(random()));
      std::error_code e;
      if (fs::create_directory(candidate, e)) path_ = candidate.generic_string();
    }
    if (path_.empty()) throw std::runtime_error(std::string("no temporary folder for ") + prefix);
    if (enter) {
      previous_ = fs::current_path();
      fs::current_path(path_);
    }
  }
  ~TempFolder() {
    std::error_code e;
    if (entered_) std::filesystem::current_path(previous_, e);
    std::filesystem::remove_all(path_, e);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::filesystem::path previous_;
  bool entered_;
};

}  // namespace test_support
