// The whole contents of a file, byte for byte (empty when it cannot be
// read), for tests that compare what was saved.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace test_support {

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace test_support
