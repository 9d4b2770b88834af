// The fixture of in-process tests of the run-time core: a fresh run-time
// served by a TestHost, and a check of the errors code raises.
#pragma once

#include <gtest/gtest.h>

#include "support/recording_host.h"

namespace rt::test {

// A fixture with a fresh run-time served by a TestHost.
class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { InitRuntime(&host, 10); }
  void TearDown() override { ShutdownRuntime(); }

  // Runs code that must raise the given error, and checks what was reported.
  void ExpectError(const std::function<void()>& code, int number, uint32_t site) {
    size_t before = host.reports.size();
    bool ended = false;
    try {
      code();
    } catch (const ProgramEnd&) {
      ended = true;
    }
    ASSERT_TRUE(ended) << "expected error " << number;
    ASSERT_EQ(host.reports.size(), before + 1);
    EXPECT_EQ(host.reports.back().number, number);
    EXPECT_EQ(host.reports.back().site, site) << std::hex << host.reports.back().site;
    // Let the next error be raised in the same test.
    State().raising = false;
  }

  TestHost host;
};

}  // namespace rt::test
