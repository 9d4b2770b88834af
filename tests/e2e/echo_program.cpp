// A small program on the run-time for the end-to-end tests of the displays:
// it prints a prompt, reads a line, prints it back and ends. With the
// argument "error" it ends in a run-time error after the line; with "loop"
// it computes until its window is closed; with "crash" it ends by SIGSEGV
// (on Windows, an access violation) after the line.
#include <csignal>
#include <cstring>
#include <string>

#include "runtime/core/basic.h"
#include "runtime/host/host.h"

namespace {

const rt::ModuleRecord kModule{0, nullptr, 0, 8, "MAIN.BAS"};

void Print(const std::string& bytes) { rt::TheFrame().host->ScreenWrite(bytes.data(), bytes.size()); }

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  auto mainCode = [&] {
    basic::StartModule(kModule, nullptr);
    if (mode == "loop") {
      for (long i = 0;; ++i) basic::Stmt(static_cast<int16_t>(100 + i % 7));
    }
    basic::Stmt(10);
    Print("名前は? ");
    basic::Stmt(20);
    std::string line;
    int failure;
    if (!rt::TheFrame().host->ReadLine(line, 255, failure)) rt::LeaveProgram();
    basic::Stmt(30);
    Print("こんにちは、" + line + "さん\r\n");
    if (mode == "error") {
      basic::Stmt(120);
      rt::RaiseError(5, 0x9A01);
    }
    if (mode == "crash") {
      basic::Stmt(130);
#if defined(_WIN32)
      static volatile int* volatile nowhere = nullptr;
      *nowhere = 1;
#else
      raise(SIGSEGV);
#endif
    }
    basic::Stmt(40);
    basic::End();
  };
  return host::RunProgram(kModule, {}, mainCode, argc, argv);
}
