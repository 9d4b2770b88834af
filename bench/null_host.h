// A host that serves nothing, for benchmarks of the run-time and the engines.
#pragma once

#include <string>

#include "runtime/core/frame.h"

namespace bench {

class NullHost : public rt::Host {
 public:
  bool PollHost() override { return true; }
  void ReportRuntimeError(const rt::ModuleRecord*, int, int, uint32_t) override {}
  void EndWait(bool, const std::string&) override {}
  void ProgramExit() override { rt::BeginShutdown(); }
};

}  // namespace bench
