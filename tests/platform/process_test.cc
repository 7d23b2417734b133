#include "platform/process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

// This very test program, told to run no test, is a program sure to be there on
// every system and to end at once.
TEST(ProcessTest, RunToEndTellsWhetherTheProgramRan) {
  const std::string self = ThisProgramPath();
  ASSERT_FALSE(self.empty());
  struct Case {
    std::string program;
    std::vector<std::string> arguments;
    bool ran;
  };
  const Case cases[] = {
      {self, {"--gtest_filter=NoSuchTest"}, true},
      {self + ".missing", {}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunToEnd(c.program, c.arguments), c.ran) << c.program;
  }
}

}  // namespace
}  // namespace platform
