// The BHO manager's text rules, which need no Windows.

#include <gtest/gtest.h>

#include <map>

#include "tidewell/bho/BhoText.h"

namespace tidewell {
namespace {

EnvironmentLookup Environment(std::map<std::string, std::string> values) {
  return [values](const std::string& name) -> std::optional<std::string> {
    auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
}

TEST(RiskWords, OnlyTheExactLowerCaseWordsHaveTheirOwnImage) {
  EXPECT_EQ(RiskImageForWord("none"), kImageNoRisk);
  EXPECT_EQ(RiskImageForWord("high"), kImageHighRisk);
  EXPECT_EQ(RiskImageForWord("medium"), kImageMediumRisk);
  for (const char* other : {"High", "HIGH", "None", "", "unknown", "low", "high "})
    EXPECT_EQ(RiskImageForWord(other), kImageUnknownRisk) << other;
}

TEST(RegisteredPathExpansion, ExpandsTheFirstVariableAndKeepsTheRest) {
  auto env = Environment({{"windir", "C:\\windows"}, {"SystemRoot", "C:\\windows"}, {"ProgramFiles", "C:\\Program Files"}});
  EXPECT_EQ(ExpandFirstVariable("%windir%\\bho.dll", env), "C:\\windows\\bho.dll");
  EXPECT_EQ(ExpandFirstVariable("%SystemRoot%\\system32\\x.dll", env), "C:\\windows\\system32\\x.dll");
  // Only the first pair is expanded.
  EXPECT_EQ(ExpandFirstVariable("%ProgramFiles%\\%windir%\\a.dll", env), "C:\\Program Files\\%windir%\\a.dll");
  // Text before the first "%" is dropped with the variable.
  EXPECT_EQ(ExpandFirstVariable("\"%windir%\\b.dll", env), "C:\\windows\\b.dll");
}

TEST(RegisteredPathExpansion, LeavesPathsItCannotExpandAlone) {
  auto env = Environment({{"windir", "C:\\windows"}, {"long", std::string(201, 'x')}});
  EXPECT_EQ(ExpandFirstVariable("C:\\Program Files\\Tool\\bho.dll", env), "C:\\Program Files\\Tool\\bho.dll");
  EXPECT_EQ(ExpandFirstVariable("", env), "");
  // An unset or over-long variable would otherwise leave "\bho.dll", a
  // different file on the current drive.
  EXPECT_EQ(ExpandFirstVariable("%nosuchvariable%\\bho.dll", env), "%nosuchvariable%\\bho.dll");
  EXPECT_EQ(ExpandFirstVariable("%long%\\bho.dll", env), "%long%\\bho.dll");
  EXPECT_EQ(ExpandFirstVariable("C:\\100%\\bho.dll", env), "C:\\100%\\bho.dll");
  EXPECT_EQ(ExpandFirstVariable("%%\\bho.dll", env), "%%\\bho.dll");
}

TEST(SubmittedSuffix, IsRemovedWithTheBlankBeforeIt) {
  EXPECT_EQ(RemoveSubmittedSuffix("Toolbar (submited)"), "Toolbar");
  EXPECT_EQ(RemoveSubmittedSuffix("Toolbar(submited)"), "Toolbar");
  EXPECT_EQ(RemoveSubmittedSuffix("Toolbar (submited)(submited)"), "Toolbar");
  EXPECT_EQ(RemoveSubmittedSuffix("O'Brien's helper"), "O'Brien's helper");
  EXPECT_EQ(RemoveSubmittedSuffix("(submited)"), "");
}

TEST(Times, FileTimesBecomeSecondsSince1970) {
  EXPECT_EQ(FileTimeToUnixSeconds(116444736000000000ULL), 0);
  EXPECT_EQ(FileTimeToUnixSeconds(116444736000000000ULL + 10000000ULL * 86400), 86400);
  EXPECT_EQ(FileTimeToUnixSeconds(0), 0);
}

TEST(NewBhoKeys, OnlyKeysWrittenInTheLastSecondsCount) {
  constexpr int64_t kSecond = 10000000;
  EXPECT_TRUE(IsJustWritten(0));
  EXPECT_TRUE(IsJustWritten(kSecond));            // the change that woke the watcher
  EXPECT_TRUE(IsJustWritten(2 * kSecond + 5));    // a slow wake-up
  EXPECT_FALSE(IsJustWritten(3 * kSecond));
  EXPECT_FALSE(IsJustWritten((5 * 60 + 1) * kSecond));  // minutes count
  EXPECT_FALSE(IsJustWritten((24 * 3600 + 1) * kSecond));
  EXPECT_TRUE(IsJustWritten(-kSecond / 2));
  EXPECT_FALSE(IsJustWritten(-2 * kSecond));
}

}  // namespace
}  // namespace tidewell
