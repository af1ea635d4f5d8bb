#include "tidewell/cleanup/SpaceLimits.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "shared/win/Registry.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

// UTF-16LE bytes of ASCII text, with a byte-order mark.
std::string Utf16(const std::string& text, bool mark = true) {
  std::string bytes = mark ? std::string("\xFF\xFE", 2) : std::string();
  for (char c : text) bytes += {c, '\0'};
  return bytes;
}

TEST(SpaceLimits, SliderAndFieldArithmetic) {
  // 51,200 KB on a 40,000 MB disk: 50 MB, position 1 (0.025 rounded up).
  EXPECT_EQ(CacheSliderAtOpening(50, 40000), 1);
  EXPECT_EQ(CacheSliderAtOpening(1, 40000), 0);
  EXPECT_EQ(CacheSliderAtOpening(40000, 40000), 20);
  EXPECT_EQ(CacheSliderAtOpening(50, 0), std::nullopt);  // no disk to divide by
  EXPECT_EQ(CacheSliderForLimit(3999, 40000), 1);
  EXPECT_EQ(CacheFieldForSlider(0, 40000), 1);
  EXPECT_EQ(CacheFieldForSlider(5, 40000), 10000);
  EXPECT_EQ(RestoreSliderAtOpening(401, 40000), 2);
  EXPECT_EQ(RestoreSliderAtOpening(40000, 40000), 12);  // kept within 1-12
  EXPECT_EQ(RestoreFieldForSlider(12, 40000), 4800);
  EXPECT_EQ(RestoreFieldForSlider(1, 50), 1);
  // 500 MB on a 50,000 MB home drive: 100 hundredths of a percent.
  EXPECT_EQ(OfflineSliderForLimit(500, 50000), 100);
  EXPECT_EQ(OfflineFieldForSlider(100, 50000), 500);
  EXPECT_EQ(OfflineFieldAtOpening(1, 50000), 5);
  EXPECT_EQ(OfflineSliderForLimit(90000, 50000), 10000);
}

// 2 TB disks: the products overflowed 32 bits on anything over about 419 GiB.
TEST(SpaceLimits, LargeDisksAndOddFieldsStayInRange) {
  const int64_t twoTerabytes = 2 * 1024 * 1024;
  EXPECT_EQ(CacheFieldForSlider(20, twoTerabytes), twoTerabytes);
  EXPECT_EQ(CacheSliderAtOpening(twoTerabytes / 2, twoTerabytes), 10);
  EXPECT_EQ(RestoreFieldForSlider(12, twoTerabytes), twoTerabytes * 12 / 100);
  EXPECT_EQ(OfflineFieldAtOpening(10000, twoTerabytes), twoTerabytes);
  EXPECT_EQ(CacheLimitValueKb(0), 1024u);
  EXPECT_EQ(CacheLimitValueKb(-5), 1024u);
  EXPECT_EQ(CacheLimitValueKb(10), 10240u);
  EXPECT_EQ(CacheLimitValueKb(twoTerabytes * 4), 0xFFFFFFFFu / 1024 * 1024);
  struct {
    const char* text;
    int64_t value;
  } fields[] = {{"50", 50}, {" 7", 7}, {"-3", -3}, {"abc", 0}, {"", 0}, {"12x", 12}, {"99999999999999999999", 1ll << 40}};
  for (const auto& field : fields) EXPECT_EQ(ParseField(field.text), field.value) << field.text;
}

TEST(SpaceLimits, RestoreLimitIsTheLastNumberOfTheFirstLine) {
  EXPECT_EQ(ParseRestoreLimit(Utf16("C:\\ \\\\?\\Volume{1}\\ 31 0 0 400 \r\nD:\\ x 5\r\n")), 400);
  EXPECT_EQ(ParseRestoreLimit(Utf16("C:\\ 1 2 3 77\n", false)), 77);
  EXPECT_EQ(ParseRestoreLimit(Utf16("C:\\ 1 2 3 400")), std::nullopt);  // the line never ends: not whole
  EXPECT_EQ(ParseRestoreLimit(Utf16("C:\\ 1 2 x4\r\n")), std::nullopt);
  EXPECT_EQ(ParseRestoreLimit("\xFF\xFE"), std::nullopt);
}

TEST(SpaceLimits, RestoreRewriteChangesTheNumberAndKeepsEveryOtherByte) {
  std::string file = Utf16("C:\\ \\\\?\\Volume{1}\\ 31 0 0 400 \r\nD:\\ x 400\r\n");
  auto rewritten = RewriteRestoreLimit(file, 1234);
  ASSERT_TRUE(rewritten);
  EXPECT_EQ(*rewritten, Utf16("C:\\ \\\\?\\Volume{1}\\ 31 0 0 1234 \r\nD:\\ x 400\r\n"));
  // The same number twice in the line: which one is meant is unclear.
  EXPECT_EQ(RewriteRestoreLimit(Utf16("C:\\ 400 0 400\r\n"), 5), std::nullopt);
  EXPECT_EQ(RewriteRestoreLimit(Utf16("C:\\ 400"), 5), std::nullopt);
  EXPECT_EQ(*RewriteRestoreLimit(Utf16("C:\\ 4000 0 400\r\n"), 5), Utf16("C:\\ 4000 0 5\r\n"));
}

TEST(SpaceLimits, RestoreFileIsReplacedWholeOrNotAtAll) {
  test::TempFolder folder;
  std::string file = folder.File("drivetable.txt");
  std::string original = Utf16("C:\\ 31 0 0 400 \r\nrest\r\n");
  std::ofstream(file, std::ios::binary) << original;
  EXPECT_EQ(ReadRestoreLimit(file), 400);
  constexpr DWORD kRestoreAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;  // as System Restore keeps it
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), kRestoreAttributes));
  EXPECT_TRUE(WriteRestoreLimit(file, 800));
  EXPECT_EQ(GetFileAttributesA(file.c_str()) & kRestoreAttributes, kRestoreAttributes);
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  std::ifstream in(file, std::ios::binary);
  std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  EXPECT_EQ(now, Utf16("C:\\ 31 0 0 800 \r\nrest\r\n"));
  EXPECT_FALSE(std::filesystem::exists(file + ".new"));

  std::string broken = Utf16("C:\\ 31 0 0 400");
  std::ofstream(file, std::ios::binary | std::ios::trunc) << broken;
  EXPECT_FALSE(WriteRestoreLimit(file, 800));
  std::ifstream again(file, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()), broken);
  EXPECT_EQ(ReadRestoreLimit(folder.File("missing.txt")), std::nullopt);
}

// The registry of the test prefix: each test puts back what it found.
class SavedValues {
 public:
  SavedValues(HKEY root, std::string path) : root_(root), path_(std::move(path)) {
    if (UniqueKey key = OpenKey(root_, path_)) {
      existed_ = true;
      values_ = Values(key.Get());
    }
  }
  ~SavedValues() {
    if (!existed_) {
      DeleteKeyTree(root_, path_);
      return;
    }
    UniqueKey key = CreateKey(root_, path_);
    for (const RegistryValue& value : Values(key.Get())) RegDeleteValueA(key.Get(), value.name.c_str());
    for (const RegistryValue& value : values_)
      RegSetValueExA(key.Get(), value.name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
  }

 private:
  HKEY root_;
  std::string path_;
  bool existed_ = false;
  std::vector<RegistryValue> values_;
};

TEST(SpaceLimits, CacheLimitIsWrittenInKilobytesToBothKeys) {
  SavedValues first(HKEY_CURRENT_USER, kCacheContentKey50), second(HKEY_CURRENT_USER, kCacheContentKey);
  CreateKey(HKEY_CURRENT_USER, kCacheContentKey);
  EXPECT_TRUE(WriteCacheLimit(0));  // typing 0 stores 1,024 KB
  EXPECT_EQ(ReadCacheLimitKb(), 1024u);
  EXPECT_TRUE(WriteCacheLimit(50));
  EXPECT_EQ(ReadCacheLimitKb(), 51200u);
  UniqueKey other = OpenKey(HKEY_CURRENT_USER, kCacheContentKey);
  EXPECT_EQ(ReadDword(other.Get(), "CacheLimit"), 51200u);
}

TEST(SpaceLimits, OfflineSettingIsReadOnlyWhenEnabled) {
  SavedValues saved(HKEY_LOCAL_MACHINE, kNetCacheKey);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kNetCacheKey);
  EXPECT_EQ(ReadOfflineSetting(), std::nullopt);
  EXPECT_FALSE(WriteOfflineSetting(100));  // no key: nothing written
  UniqueKey key = CreateKey(HKEY_LOCAL_MACHINE, kNetCacheKey);
  WriteDword(key.Get(), "Enabled", 0);
  WriteDword(key.Get(), "DefCacheSize", 300);
  EXPECT_EQ(ReadOfflineSetting(), std::nullopt);
  EXPECT_TRUE(WriteOfflineSetting(100));
  EXPECT_EQ(ReadOfflineSetting(), 100);
  for (auto [name, value] : {std::pair{"Enabled", 1u}, {"SyncAtLogon", 0u}, {"SyncAtLogoff", 1u}, {"NoReminders", 1u},
                             {"ReminderFreqMinutes", 60u}, {"DefCacheSize", 100u}})
    EXPECT_EQ(ReadDword(key.Get(), name), value) << name;
}

}  // namespace
}  // namespace tidewell
