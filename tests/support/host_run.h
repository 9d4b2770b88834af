// Runs code as a program's main code inside the host the programs run on:
// its start-up, the run and the one end of a run, on the display given.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/core/basic.h"
#include "runtime/host/host.h"

namespace test_support {

inline const rt::ModuleRecord& MainModule() {
  static const rt::ModuleRecord module{0, nullptr, 0, 8, "MAIN.BAS"};
  return module;
}

// The program's exit code. `program` is its path as the command line gives
// it; the run-time options are the programs' own.
inline int RunInHost(const std::function<void()>& body, std::unique_ptr<platform::Display> display,
                     const std::string& program = "equation", std::vector<host::Resource> resources = {}) {
  static uint8_t options[host::kRunOptionsSize] = {};
  options[host::kPollIntervalOffset] = 10;
  options[129] = 1;  // option word 21
  host::ProgramImage image;
  image.mainModule = &MainModule();
  image.runOptions = options;
  image.runOptionsSize = sizeof options;
  image.mainCode = [&] {
    basic::StartModule(MainModule(), nullptr);
    body();
  };
  image.resources = std::move(resources);
  std::vector<char> name(program.begin(), program.end());
  name.push_back('\0');
  char* argv[] = {name.data()};
  return host::TheHost().WinMain(image, 1, argv, std::move(display));
}

}  // namespace test_support
