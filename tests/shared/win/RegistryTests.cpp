#include "shared/win/Registry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tidewell {
namespace {

constexpr const char* kScratch = "Software\\TidewellTests\\Registry";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    key_ = CreateKey(HKEY_CURRENT_USER, kScratch);
    ASSERT_TRUE(key_);
  }
  void TearDown() override {
    key_.Reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
  }
  UniqueKey key_;
};

TEST_F(RegistryTest, StringsAndDwordsRoundTrip) {
  ASSERT_TRUE(WriteString(key_.Get(), "Path", "C:\\Program Files\\x \"y\".exe"));
  ASSERT_TRUE(WriteString(key_.Get(), "", "default value"));
  ASSERT_TRUE(WriteString(key_.Get(), "Expand", "%windir%\\system32", REG_EXPAND_SZ));
  ASSERT_TRUE(WriteDword(key_.Get(), "Count", 255));
  EXPECT_EQ(ReadString(key_.Get(), "Path"), "C:\\Program Files\\x \"y\".exe");
  EXPECT_EQ(ReadString(key_.Get(), ""), "default value");
  EXPECT_EQ(ReadString(key_.Get(), "Expand"), "%windir%\\system32");  // stored, not expanded
  EXPECT_EQ(ReadDword(key_.Get(), "Count"), DWORD{255});
  EXPECT_FALSE(ReadString(key_.Get(), "Count"));  // wrong type
  EXPECT_FALSE(ReadDword(key_.Get(), "Path"));
  EXPECT_FALSE(ReadString(key_.Get(), "Missing"));
}

TEST_F(RegistryTest, StringStoredWithoutItsNulIsReadWhole) {
  const char raw[] = {'a', 'b', 'c'};
  RegSetValueExA(key_.Get(), "NoNul", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
  EXPECT_EQ(ReadString(key_.Get(), "NoNul"), "abc");
}

TEST_F(RegistryTest, ListsSubkeysAndValues) {
  CreateKey(key_.Get(), "{00000000-0000-0000-0000-000000000001}");
  CreateKey(key_.Get(), "Second");
  WriteDword(key_.Get(), "A", 1);
  WriteString(key_.Get(), "B", "two");
  auto names = SubkeyNames(key_.Get());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "Second");
  EXPECT_EQ(names[1], "{00000000-0000-0000-0000-000000000001}");
  auto values = Values(key_.Get());
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].name, "A");
  EXPECT_EQ(values[0].type, DWORD{REG_DWORD});
  EXPECT_EQ(values[1].name, "B");
  EXPECT_EQ(std::string(values[1].data.begin(), values[1].data.end()), std::string("two\0", 4));
}

TEST_F(RegistryTest, MissingKeyOpensEmpty) {
  EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, "Software\\TidewellTests\\NoSuchKey"));
  EXPECT_EQ(RootKeyName(HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(key_.Get()), "");
}

}  // namespace
}  // namespace tidewell
