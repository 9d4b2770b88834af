// Any bytes as a file read by INPUT #: polymul's two reading passes (the
// header, then the rows of numbers) and an equation's string items until the
// end of the file. Errors end the run as they end the programs; nothing may
// crash, hang or read beyond what it was given.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "runtime/core/files.h"
#include "runtime/core/frame.h"
#include "runtime/core/numbers.h"
#include "runtime/core/strings.h"
#include "support/recording_host.h"

namespace {

const std::string& Path() {
  static const std::string path = "/tmp/tessel-fuzz-input-" + std::to_string(getpid());
  return path;
}

template <class Body>
void Run(const Body& body) {
  try {
    body();
  } catch (const rt::ProgramEnd&) {
  }
  rt::CloseAllFiles();
}

void Open() {
  rt::PushBytes(Path());
  rt::OpenFile(rt::kModeInput, 0, 1);
}

template <class T>
void Input(T& value, uint8_t type) {
  rt::SelectFileInput(1);
  rt::VarRef v[] = {{&value, type}};
  rt::InputVars(v, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (FILE* f = std::fopen(Path().c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  rt::test::TestHost host;
  rt::InitRuntime(&host, 10);
  Run([] {
    Open();
    float terms = 0, letters = 0;
    Input(terms, rt::kTypeSingle);
    Input(letters, rt::kTypeSingle);
    const int rows = static_cast<int>(std::clamp(terms, 0.0f, 64.0f));
    const int columns = static_cast<int>(std::clamp(letters, 0.0f, 26.0f)) + 2;
    for (int m = 0; m < rows; ++m) {
      for (int c = 0; c < columns; ++c) {
        double cell = 0;
        Input(cell, rt::kTypeDouble);
      }
    }
  });
  rt::InitRuntime(&host, 10);
  Run([] {
    Open();
    rt::StringValue item;
    for (int k = 0; k < 4096; ++k) Input(item, rt::kTypeString);
  });
  rt::ShutdownRuntime();
  return 0;
}
