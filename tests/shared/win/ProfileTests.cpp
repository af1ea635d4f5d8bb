#include "shared/win/Profile.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace tidewell {
namespace {

TEST(Profile, WritesAndReadsInTheTidewellSection) {
  ASSERT_TRUE(WriteProfileValue("TestValue", "C:\\Tools\\\\bhodb.mdb"));
  EXPECT_EQ(ReadProfileValue("TestValue"), "C:\\Tools\\\\bhodb.mdb");
  char raw[64];
  GetProfileStringA("Tidewell", "TestValue", "", raw, sizeof raw);
  EXPECT_STREQ(raw, "C:\\Tools\\\\bhodb.mdb");
  WriteProfileStringA("Tidewell", "TestValue", nullptr);
}

TEST(Profile, MissingValueGivesTheDefault) {
  WriteProfileStringA("Tidewell", "NoSuchValue", nullptr);
  EXPECT_EQ(ReadProfileValue("NoSuchValue", "127.0.0.1:8080"), "127.0.0.1:8080");
  EXPECT_EQ(ReadProfileValue("NoSuchValue"), "");
}

TEST(Profile, LongValuesAreReadWhole) {
  std::string value(3000, 'a');
  ASSERT_TRUE(WriteProfileValue("LongValue", value));
  EXPECT_EQ(ReadProfileValue("LongValue"), value);
  WriteProfileStringA("Tidewell", "LongValue", nullptr);
}

}  // namespace
}  // namespace tidewell
