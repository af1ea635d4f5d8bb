#include "tidewell/cleanup/ClutterMeasure.h"

#include <gtest/gtest.h>
#include <windows.h>


#include "tests/support/TestFolder.h"
#include "tests/tidewell/cleanup/CleanupTestSupport.h"

namespace tidewell {
namespace {

namespace fs = std::filesystem;

using test::PlantFile;

class EnvironmentValue {
 public:
  EnvironmentValue(const char* name, const char* value) : name_(name) { SetEnvironmentVariableA(name, value); }
  ~EnvironmentValue() { SetEnvironmentVariableA(name_, nullptr); }

 private:
  const char* name_;
};

TEST(ClutterMeasure, PatternsExpandEveryNamedValue) {
  EnvironmentValue root("TIDEWELL_TEST_ROOT", "C:\\Users\\Ann");
  EnvironmentValue nested("TIDEWELL_TEST_NESTED", "%TIDEWELL_TEST_ROOT%\\deep");
  EXPECT_EQ(ExpandEnvironmentPattern("%TIDEWELL_TEST_ROOT%\\local settings\\temp"),
            "C:\\Users\\Ann\\local settings\\temp");
  EXPECT_EQ(ExpandEnvironmentPattern("%TIDEWELL_TEST_ROOT%;%TIDEWELL_TEST_ROOT%"), "C:\\Users\\Ann;C:\\Users\\Ann");
  EXPECT_EQ(ExpandEnvironmentPattern("%TIDEWELL_TEST_NESTED%\\x"), "C:\\Users\\Ann\\deep\\x");
  EXPECT_EQ(ExpandEnvironmentPattern("%TIDEWELL_TEST_UNSET%\\temp"), "\\temp");
  EXPECT_EQ(ExpandEnvironmentPattern("100% sure"), "100% sure");  // a lone % ends the expansion
  EXPECT_EQ(ExpandEnvironmentPattern("no names"), "no names");
}

TEST(ClutterMeasure, AFolderCountsItsOwnFilesAndTheBytesOfAllBelow) {
  test::TempFolder folder;
  PlantFile(folder.Path() / "a.tmp", 1000);
  PlantFile(folder.Path() / "b.tmp", 24);
  PlantFile(folder.Path() / "sub" / "c.tmp", 2048);
  PlantFile(folder.Path() / "sub" / "deeper" / "d.tmp", 1);
  FolderMeasure measure = MeasureFolder(folder.Path().string());
  EXPECT_EQ(measure.fileCount, 2u);
  EXPECT_EQ(measure.bytes, 1000u + 24u + 2048u + 1u);
  FolderMeasure missing = MeasureFolder((folder.Path() / "missing").string());
  EXPECT_EQ(missing.fileCount, 0u);
  EXPECT_EQ(missing.bytes, 0u);
}

TEST(ClutterMeasure, SizeTextsPickTheirUnit) {
  EXPECT_EQ(FormatSizeText(0), "0.00 bytes");
  EXPECT_EQ(FormatSizeText(1024), "1024.00 bytes");
  EXPECT_EQ(FormatSizeText(2048), "2.00 Kb");
  EXPECT_EQ(FormatSizeText(1048576), "1024.00 Kb");
  EXPECT_EQ(FormatSizeText(3ull * 1024 * 1024 * 1024), "3072.00 Mb");
}

TEST(ClutterMeasure, AllCategoriesAreRealFolderPatterns) {
  ASSERT_EQ(CleanupCategories().size(), 9u);
  for (const CleanupCategory& category : CleanupCategories()) {
    std::string expanded = ExpandEnvironmentPattern(category.folderPattern);
    EXPECT_EQ(expanded.find('%'), std::string::npos) << category.name;
    EXPECT_EQ(expanded.find(':'), 1u) << category.name << " expands to " << expanded;
  }
}

// Two fixed drives and scratch folders for the categories.
TEST(ClutterMeasure, SumsFoldersRecycleBinsAndFixedDrivesInKilobytes) {
  test::TempFolder temp, cookies;
  PlantFile(temp.Path() / "x.tmp", 300 * 1024);
  PlantFile(temp.Path() / "old" / "y.tmp", 100 * 1024);
  PlantFile(cookies.Path() / "ann@site.txt", 24 * 1024);
  constexpr uint64_t kGiB = 1024ull * 1024 * 1024;
  ClutterSources sources;
  sources.categoryFolders = [&] {
    return std::vector<std::string>{temp.Path().string(), cookies.Path().string(),
                                    (temp.Path() / "missing").string()};
  };
  sources.fixedDrives = [] { return std::vector<FixedDrive>{{"C:\\", 0}, {"D:\\", 10}}; };
  sources.driveSpace = [&](const std::string& root) -> std::optional<DriveSpace> {
    if (root == "C:\\") return DriveSpace{10 * kGiB, 4 * kGiB};
    return DriveSpace{6 * kGiB, 5 * kGiB};
  };
  sources.recycleBin = [](const std::string& root) -> std::optional<RecycleBin> {
    if (root == "C:\\") return RecycleBin{3, 2048 * 1024};
    return std::nullopt;  // a drive whose bin cannot be read adds nothing
  };
  sources.homeDrive = [] { return std::string("D:"); };

  ClutterMeasurement measured = MeasureClutter(sources);
  EXPECT_EQ(measured.clutterKb, 300u + 100u + 24u + 2048u);
  EXPECT_EQ(measured.totalKb, 16 * kGiB / 1024);
  EXPECT_EQ(measured.usedKb, 7 * kGiB / 1024);
  EXPECT_EQ(measured.freeKb, 9 * kGiB / 1024);
  EXPECT_EQ(measured.homeDriveTotalKb, 6 * kGiB / 1024);
  ASSERT_EQ(measured.categories.size(), 3u);
  EXPECT_EQ(measured.categories[0].name, "Windows Temporary Files");
  EXPECT_EQ(measured.categories[0].measure.fileCount, 1u);
  EXPECT_EQ(measured.categories[1].measure.bytes, 24u * 1024);
  ASSERT_EQ(measured.drives.size(), 2u);
  EXPECT_EQ(measured.drives[0].bin.items, 3);
  EXPECT_EQ(measured.drives[1].bin.bytes, 0u);
  EXPECT_TRUE(measured.report.starts_with("\r\nSystem information\r\n\r\n*** Hard Disk: (C:\\) ***\r\n"
                                          "Total size: 10240 (MB)\r\nUsed: 6144 (MB)\r\nFree: 4096 (MB)\r\n\r\n\r\n"))
      << measured.report;
  EXPECT_TRUE(measured.report.ends_with("*************\r\n\r\nTotal size of temporary files :\r\n2.41 Mb"))
      << measured.report;
}

// The Windows folder's internet caches lie inside its temporary folder, and
// under Wine every drive answers with the one trash: each file counts once,
// while each row keeps its own size.
TEST(ClutterMeasure, TheTotalCountsEachFileOnce) {
  test::TempFolder temp;
  PlantFile(temp.Path() / "x.tmp", 1024);
  PlantFile(temp.Path() / "Cookies" / "c.txt", 2048);
  PlantFile(temp.Path() / "History" / "h.dat", 4096);
  const std::string outer = temp.Path().string();
  ClutterSources sources;
  sources.categoryFolders = [&] {
    return std::vector<std::string>{outer + "\\Cookies", outer, outer + "\\History\\", outer + "\\"};
  };
  sources.fixedDrives = [] { return std::vector<FixedDrive>{{"C:\\", 0}, {"D:\\", 10}}; };
  sources.driveSpace = [](const std::string&) { return std::optional<DriveSpace>(); };
  sources.recycleBin = [](const std::string&) { return std::optional<RecycleBin>(RecycleBin{1, 8192}); };
  sources.homeDrive = [] { return std::string(); };
  for (bool oneBin : {true, false}) {
    sources.oneRecycleBin = [oneBin] { return oneBin; };
    ClutterMeasurement measured = MeasureClutter(sources);
    EXPECT_EQ(measured.clutterBytes, 1024u + 2048u + 4096u + (oneBin ? 8192u : 2 * 8192u)) << oneBin;
    ASSERT_EQ(measured.categories.size(), 4u);
    EXPECT_EQ(measured.categories[0].measure.bytes, 2048u);
    EXPECT_FALSE(measured.categories[0].counted);
    EXPECT_TRUE(measured.categories[1].counted);
    EXPECT_FALSE(measured.categories[3].counted) << "a second name of a counted folder";
    EXPECT_EQ(measured.drives[1].bin.bytes, 8192u);
  }
}

TEST(ClutterMeasure, AFolderIsWalkedWithinAnotherOnlyBelowItAndThroughNoLink) {
  const std::string fixture = test::LinkFixture().string();
  struct {
    std::string folder, outer;
    bool within;
  } cases[] = {
      {"C:\\Windows\\Temp\\Cookies", "c:\\windows\\temp", true},
      {"C:\\Windows\\Temp", "C:\\Windows\\Temp\\", true},
      {"C:\\Windows\\Temporary", "C:\\Windows\\Temp", false},
      {"C:\\Windows", "C:\\Windows\\Temp", false},
      {fixture + "\\clean-me\\sub", fixture, true},
      {fixture + "\\clean-me\\link\\sub", fixture, false},
  };
  for (const auto& c : cases) EXPECT_EQ(WalkedWithin(c.folder, c.outer), c.within) << c.folder << " in " << c.outer;
}

TEST(ClutterMeasure, OnlyAbsoluteFoldersBelowADriveMayBeCleaned) {
  struct {
    const char* folder;
    bool cleanable;
  } cases[] = {
      {"C:\\windows\\temp", true},   {"c:\\Users\\ann\\cookies", true}, {"\\recent", false},
      {"\\local settings\\temp", false}, {"C:\\", false},                {"C:", false},
      {"C:\\.", false},                {"C:\\\\", false},                {"C:\\temp\\..", false},
      {"C:\\..\\..", false},            {"%userprofile%\\recent", false}, {"C:\\x%y%", false},
      {"temp", false},                 {"", false},                     {"\\\\server\\share\\temp", false},
  };
  for (const auto& expected : cases) EXPECT_EQ(IsCleanableFolder(expected.folder), expected.cleanable) << expected.folder;
}

// An unset variable leaves "\recent", the current drive's root folder: measured as nothing.
TEST(ClutterMeasure, ACategoryWithAnUnsetVariableMeasuresNothing) {
  test::TempFolder temp;
  PlantFile(temp.Path() / "x.tmp", 4096);
  ClutterSources sources;
  sources.categoryFolders = [&] {
    return std::vector<std::string>{temp.Path().string(), ExpandEnvironmentPattern("%TIDEWELL_TEST_UNSET%\\windows")};
  };
  sources.fixedDrives = [] { return std::vector<FixedDrive>(); };
  sources.driveSpace = [](const std::string&) { return std::optional<DriveSpace>(); };
  sources.recycleBin = [](const std::string&) { return std::optional<RecycleBin>(); };
  sources.homeDrive = [] { return std::string(); };
  ClutterMeasurement measured = MeasureClutter(sources);
  ASSERT_EQ(measured.categories.size(), 2u);
  EXPECT_TRUE(measured.categories[0].cleanable);
  EXPECT_FALSE(measured.categories[1].cleanable);
  EXPECT_EQ(measured.categories[1].folder, "\\windows");
  EXPECT_EQ(measured.categories[1].measure.fileCount, 0u);
  EXPECT_EQ(measured.clutterBytes, 4096u);
}

TEST(ClutterMeasure, TheMachinesOwnDrivesAreMeasured) {
  ClutterMeasurement measured = MeasureClutter();
  EXPECT_GT(measured.totalKb, 0u);
  EXPECT_LE(measured.usedKb, measured.totalKb);
  EXPECT_EQ(measured.usedKb + measured.freeKb, measured.totalKb);
  EXPECT_NE(measured.report.find("*** Hard Disk: ("), std::string::npos);
}

}  // namespace
}  // namespace tidewell
