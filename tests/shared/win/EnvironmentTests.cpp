#include "shared/win/Environment.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace tidewell {
namespace {

TEST(Environment, ReadsWholeValuesWithinTheCallersLimit) {
  const std::string kLong(5000, 'v');
  SetEnvironmentVariableA("TIDEWELL_TEST_LONG", kLong.c_str());
  SetEnvironmentVariableA("TIDEWELL_TEST_UNSET", nullptr);
  struct Case {
    const char* name;
    size_t maxLength;
    std::optional<std::string> value;
  } cases[] = {
      {.name = "TIDEWELL_TEST_LONG", .maxLength = kAnyLength, .value = kLong},
      {.name = "TIDEWELL_TEST_LONG", .maxLength = 5000, .value = kLong},
      {.name = "TIDEWELL_TEST_LONG", .maxLength = 4999, .value = std::nullopt},
      {.name = "TIDEWELL_TEST_UNSET", .maxLength = kAnyLength, .value = std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(EnvironmentVariable(c.name, c.maxLength), c.value) << c.maxLength;
  SetEnvironmentVariableA("TIDEWELL_TEST_LONG", "%TIDEWELL_TEST_LONG%x");
  EXPECT_EQ(ExpandEnvironment("%TIDEWELL_TEST_LONG%", ProcessEnvironment(), 3), "%TIDEWELL_TEST_LONG%xxx");
  SetEnvironmentVariableA("TIDEWELL_TEST_LONG", nullptr);
}

}  // namespace
}  // namespace tidewell
