#include "shared/text/EnvironmentText.h"

#include <gtest/gtest.h>

#include <map>

namespace tidewell {
namespace {

TEST(EnvironmentText, ExpandsReferencesAndEndsOnValuesThatNameThemselves) {
  const std::map<std::string, std::string> values = {
      {"windir", "C:\\Windows"}, {"nested", "%windir%\\deep"}, {"self", "%self%x"}, {"empty", ""},
  };
  EnvironmentLookup lookup = [&](const std::string& name) -> std::optional<std::string> {
    auto found = values.find(name);
    return found == values.end() ? std::nullopt : std::optional(found->second);
  };
  struct Case {
    std::string_view text;
    int passes;
    std::string expanded;
  } cases[] = {
      {.text = "%windir%\\temp", .passes = 1, .expanded = "C:\\Windows\\temp"},
      {.text = "%windir%;%windir%", .passes = 1, .expanded = "C:\\Windows;C:\\Windows"},
      {.text = "%unset%\\temp", .passes = 1, .expanded = "\\temp"},
      {.text = "%empty%|", .passes = 1, .expanded = "|"},
      {.text = "100% sure", .passes = 8, .expanded = "100% sure"},
      {.text = "50%%windir%", .passes = 1, .expanded = "50%C:\\Windows"},
      {.text = "%nested%", .passes = 1, .expanded = "%windir%\\deep"},
      {.text = "%nested%", .passes = 8, .expanded = "C:\\Windows\\deep"},
      {.text = "%self%", .passes = 1, .expanded = "%self%x"},
      {.text = "%self%", .passes = 8, .expanded = "%self%xxxxxxxx"},
      {.text = "", .passes = 8, .expanded = ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExpandEnvironment(c.text, lookup, c.passes), c.expanded) << c.text << " in " << c.passes;
}

TEST(EnvironmentText, StopsPassingOnceTheTextOutgrowsAnyValue) {
  EnvironmentLookup doubling = [](const std::string&) -> std::optional<std::string> { return "%v%%v%"; };
  std::string expanded = ExpandEnvironment("%v%", doubling, 1000);
  EXPECT_GT(expanded.size(), 32767u);
  EXPECT_LE(expanded.size(), 2 * 32767u);
}

}  // namespace
}  // namespace tidewell
