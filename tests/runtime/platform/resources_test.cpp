// Resources compiled into the program file: found by type and name on
// Windows; elsewhere the programs carry theirs as data.
#include <gtest/gtest.h>

#include <string>

#include "runtime/platform/resources.h"

namespace platform {
namespace {

TEST(ProgramResource, FoundByTypeAndName) {
#if defined(_WIN32)
  auto bytes = ProgramResource(10, "TESTFORM");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), std::string("form bytes\0", 11));
  EXPECT_TRUE(ProgramResource(10, "testform").has_value());  // names match without regard to case
  EXPECT_FALSE(ProgramResource(6, "TESTFORM").has_value());   // another type
#endif
  EXPECT_FALSE(ProgramResource(10, "MISSING").has_value());
}

}  // namespace
}  // namespace platform
