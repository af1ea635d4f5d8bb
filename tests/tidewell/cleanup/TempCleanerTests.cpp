#include "tidewell/cleanup/TempCleaner.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/cleanup/CleanupTestSupport.h"
#include "tidewell/cleanup/ClutterMeasure.h"
#include "tidewell/removal/ForceDelete.h"

namespace tidewell {
namespace {

namespace fs = std::filesystem;
using test::PlantFile;

TEST(TempCleaner, EmptiesTheFolderButKeepsIt) {
  test::TempFolder temp;
  PlantFile(temp.Path() / "a.tmp", 10);
  PlantFile(temp.Path() / "sub" / "b.tmp", 10);
  PlantFile(temp.Path() / "sub" / "deeper" / "c.tmp", 10);
  fs::create_directories(temp.Path() / "empty");
  SetFileAttributesA((temp.Path() / "a.tmp").string().c_str(), FILE_ATTRIBUTE_READONLY);

  CleanupResult result = CleanFolder(temp.Path().string());
  EXPECT_FALSE(result.refused);
  EXPECT_EQ(result.deletedFiles, 3u);
  EXPECT_TRUE(result.scheduled.empty());
  EXPECT_TRUE(result.failed.empty());
  EXPECT_TRUE(fs::is_directory(temp.Path()));
  EXPECT_TRUE(fs::is_empty(temp.Path()));
}

// Names of every script, and names that an 8-bit code page turns into "..\.."
// and "..\x": each walker finds every file exactly and touches nothing
// outside the folder it walks.
TEST(TempCleaner, EveryWalkerKeepsToItsFolderWhateverTheNames) {
  test::TempFolder temp;
  const fs::path outer = temp.Path() / "a", folder = outer / "cat";
  const char* const planted[] = {"Čech.log", "日本.log", "😀.log", "．．／x.log", "．．／．．\\inner.log",
                                 "Čech\\日本😀.log"};
  // Where a mangled name would land: "cat\..\x.log" and "cat\..\..\inner.log".
  const fs::path canaries[] = {outer / "x.log", temp.Path() / "inner.log", outer / "sibling.log"};
  const std::string path = Utf8FromPath(folder);
  const struct {
    const char* walker;
    std::function<uint64_t()> run;  // files deleted, as the walker counts them
    bool folderStays;
  } cases[] = {
      {"cleanup", [&] { return CleanFolder(path).deletedFiles; }, true},
      {"log files", [&] { return DeleteLogFiles(path).deletedFiles; }, true},
      {"forced delete", [&] { return uint64_t(ForceDeleteTree(path) ? std::size(planted) : 0); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.walker);
    for (const char* name : planted) PlantFile(folder / PathFromUtf8(name), 10);
    for (const fs::path& canary : canaries) PlantFile(canary, 3);

    FolderMeasure measure = MeasureFolder(path);
    EXPECT_EQ(measure.fileCount, 4u) << "the files directly in the folder";
    EXPECT_EQ(measure.bytes, 10 * std::size(planted));
    EXPECT_EQ(ScanLogFiles(path, {}).count, std::size(planted));

    EXPECT_EQ(c.run(), std::size(planted));
    for (const char* name : planted) EXPECT_FALSE(fs::exists(folder / PathFromUtf8(name))) << name;
    EXPECT_EQ(fs::is_directory(folder), c.folderStays);
    for (const fs::path& canary : canaries) EXPECT_TRUE(fs::exists(canary)) << Utf8FromPath(canary);
    fs::remove_all(folder);
  }
}

TEST(TempCleaner, NeverEntersOrRemovesALink) {
  fs::path fixture = test::LinkFixture(), folder = fixture / "clean-me", target = fixture / "target";
  std::string link = (folder / "link").string();
  const DWORD attributes = GetFileAttributesA(link.c_str());
  ASSERT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      << "the build made no link fixture at " << link;
  PlantFile(target / "precious.txt", 5);
  PlantFile(target / "precious.log", 5);
  PlantFile(folder / "junk.tmp", 5);
  PlantFile(folder / "junk.log", 5);

  EXPECT_EQ(ScanLogFiles(folder.string(), {}).count, 1u);
  CleanupResult logs = DeleteLogFiles(folder.string());
  EXPECT_EQ(logs.deletedFiles, 1u);
  CleanupResult result = CleanFolder(folder.string());
  EXPECT_EQ(result.skippedLinks, 1u);
  EXPECT_EQ(result.deletedFiles, 1u);
  EXPECT_TRUE(fs::exists(target / "precious.txt"));
  EXPECT_TRUE(fs::exists(target / "precious.log"));
  EXPECT_TRUE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_TRUE(CleanFolder(link).refused);  // a link is no folder to clean
  EXPECT_TRUE(fs::exists(target / "precious.txt"));
  fs::remove(target / "precious.txt");
  fs::remove(target / "precious.log");
}

TEST(TempCleaner, ALockedFileSurvivesAndIsScheduledForTheReboot) {
  test::TempFolder temp;
  PlantFile(temp.Path() / "locked.tmp", 10);
  PlantFile(temp.Path() / "free.tmp", 10);
  std::string locked = (temp.Path() / "locked.tmp").string();
  const std::wstring lockedWide = WideFromUtf8(locked);
  UniqueKey sessionManager = OpenKey(HKEY_LOCAL_MACHINE, test::kSessionManager, KEY_QUERY_VALUE | KEY_SET_VALUE);
  ASSERT_TRUE(sessionManager) << "the tests run with administrator rights";
  // Someone else's pending delete, which the test must leave alone.
  const std::wstring other = L"\\??\\C:\\tidewell-someone-elses.tmp";
  std::vector<std::wstring> others = test::PendingRenames(sessionManager.Get());
  others.insert(others.end(), {other, L""});
  test::WritePendingRenames(sessionManager.Get(), others);
  {
    UniqueHandle open(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    CleanupResult result = CleanFolder(temp.Path().string());
    EXPECT_EQ(result.deletedFiles, 1u);
    EXPECT_TRUE(fs::exists(locked));
    EXPECT_EQ(result.scheduled, std::vector<std::string>{locked});
    EXPECT_TRUE(result.failed.empty());
  }
  std::vector<std::wstring> pending = test::PendingRenames(sessionManager.Get());
  ASSERT_EQ(pending.size(), others.size() + 2);
  EXPECT_TRUE(test::NamesFile(pending[others.size()], lockedWide));
  EXPECT_EQ(pending[others.size() + 1], L"") << "a delete, not a rename";
  test::RemovePendingRenamesOf(sessionManager.Get(), lockedWide);
  EXPECT_EQ(test::PendingRenames(sessionManager.Get()), others);
  test::RemovePendingRenamesOf(sessionManager.Get(), other);
}

TEST(TempCleaner, RefusesRootsSystemFoldersAndUnexpandedPaths) {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  char userProfile[MAX_PATH] = {};
  GetEnvironmentVariableA("USERPROFILE", userProfile, MAX_PATH);
  for (std::string folder : {std::string("C:\\"), std::string(windows), std::string(windows) + "\\System32",
                             std::string(userProfile), std::string(userProfile) + "\\", std::string("\\recent"),
                             std::string("%userprofile%\\recent"), std::string("C:\\no-such-folder-tidewell")}) {
    CleanupResult result = CleanFolder(folder);
    EXPECT_TRUE(result.refused) << folder;
    EXPECT_EQ(result.deletedFiles, 0u) << folder;
  }
}

TEST(TempCleaner, LogFileNames) {
  struct {
    const char* name;
    bool log;
  } cases[] = {{"setup.log", true},   {"SETUP.LOG", true},   {"a.Log", true},       {"install.log", false},
               {"INSTALL.LOG", false}, {".log", false},       {"setup.log.old", false}, {"log", false},
               {"reinstall.log", true}, {"setuplog", false}};
  for (const auto& expected : cases) EXPECT_EQ(IsLogFileName(expected.name), expected.log) << expected.name;
}

TEST(TempCleaner, LogFilesAreCountedInWholeKilobytesAndDeletedAlone) {
  test::TempFolder windows;
  PlantFile(windows.Path() / "setup.log", 2047);             // 1 KB
  PlantFile(windows.Path() / "debug" / "trace.LOG", 3072);   // 3 KB
  PlantFile(windows.Path() / "install.log", 5000);
  PlantFile(windows.Path() / "notes.txt", 5000);
  int heard = 0;
  LogFileTotals totals = ScanLogFiles(windows.Path().string(), {}, [&](const LogFileTotals&) { ++heard; });
  EXPECT_EQ(totals.count, 2u);
  EXPECT_EQ(totals.kilobytes, 4u);
  EXPECT_EQ(heard, 2);

  CleanupResult result = DeleteLogFiles(windows.Path().string());
  EXPECT_EQ(result.deletedFiles, 2u);
  EXPECT_FALSE(fs::exists(windows.Path() / "setup.log"));
  EXPECT_FALSE(fs::exists(windows.Path() / "debug" / "trace.LOG"));
  EXPECT_TRUE(fs::exists(windows.Path() / "debug"));
  EXPECT_TRUE(fs::exists(windows.Path() / "install.log"));
  EXPECT_TRUE(fs::exists(windows.Path() / "notes.txt"));
}

TEST(TempCleaner, AStopEndsTheCleanupEarly) {
  test::TempFolder temp;
  for (int i = 0; i < 20; ++i) PlantFile(temp.Path() / ("f" + std::to_string(i) + ".tmp"), 1);
  StopSource stop;
  stop.RequestStop();
  CleanupResult result = CleanFolder(temp.Path().string(), stop.Token());
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(result.deletedFiles, 0u);
}

TEST(TempCleaner, EmptiesTheRecycleBin) {
  if (!test::TrashIsScratch()) GTEST_SKIP() << "XDG_DATA_HOME is not pointed at a scratch folder";
  test::TempFolder temp;
  PlantFile(temp.Path() / "binned.tmp", 100);
  ASSERT_TRUE(test::BinFile(temp.Path() / "binned.tmp"));
  SHQUERYRBINFO before{};
  before.cbSize = sizeof before;
  ASSERT_TRUE(SUCCEEDED(SHQueryRecycleBinA("C:\\", &before)));
  EXPECT_GE(before.i64NumItems, 1);

  EXPECT_TRUE(EmptyRecycleBin(nullptr, "C:\\", SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND));
  SHQUERYRBINFO after{};
  after.cbSize = sizeof after;
  ASSERT_TRUE(SUCCEEDED(SHQueryRecycleBinA("C:\\", &after)));
  EXPECT_EQ(after.i64NumItems, 0);
}

}  // namespace
}  // namespace tidewell
