// Removal by type: planted targets go, and nothing of Windows, of Tidewell or
// outside the target is harmed; what stays says why.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/TestFolder.h"
#include "tests/tidewell/spyware/SpywareFixtures.h"
#include "tidewell/spyware/SpywareRemoval.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

using test::Environment;
using test::SpyName;

Detection Target(const char* type, const std::string& entry) {
  Detection detection;
  detection.name = "Planted";
  detection.type = type;
  detection.entry = entry;
  return detection;
}

Detection RegistryTarget(const char* type, Hive hive, const std::string& keyPath, const std::string& value,
                         std::vector<RegistryView> views) {
  Detection detection = Target(type, "HKEY_CURRENT_USER\\" + keyPath + (value.empty() ? "" : "\\" + value));
  detection.hive = hive;
  detection.keyPath = keyPath;
  detection.valueName = value;
  detection.views = std::move(views);
  return detection;
}

TEST(SpywareRemoval, TheBackupRowNamesEachEntryOnceAndFitsItsColumn) {
  std::vector<std::string> many;
  for (int i = 0; i < 40; ++i) many.push_back("Toolbar number " + std::to_string(i));
  std::string fitted = RemovedSpywareComment(many);
  EXPECT_LE(fitted.size(), 255u);
  EXPECT_TRUE(fitted.starts_with("Removed spyware: Toolbar number 0, Toolbar number 1, ")) << fitted;
  size_t shown = static_cast<size_t>(std::count(fitted.begin(), fitted.end(), ',')) + 1;
  EXPECT_TRUE(fitted.ends_with(" and " + std::to_string(40 - shown) + " more")) << fitted;
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"Bar"}, "Removed spyware: Bar"},
      {{"Bar", "Baz", "Bar"}, "Removed spyware: Bar, Baz"},
      {{std::string(300, 'x'), "Bar"}, "Removed spyware: 2 entries"},
  };
  for (const auto& [names, comment] : cases) EXPECT_EQ(RemovedSpywareComment(names), comment);
}

TEST(SpywareRemoval, EndsTheHostThenDeletesTheLoadedFile) {
  for (const char* type : {kTypeFile, kTypeMemory}) {
    test::PlantedFolder folder(Environment("ProgramFiles") + "\\" + SpyName("host"));
    std::string dll = folder.File("spy.dll");
    std::filesystem::copy_file(test::ProgramFolder() / "test_bho.dll", dll);
    test::HostProcess host(dll);
    ASSERT_TRUE(host.WaitUntilLoaded(dll, 10s));
    std::string entry = dll;
    if (std::string(type) == kTypeMemory) CharUpperBuffA(entry.data(), static_cast<DWORD>(entry.size()));
    test::TestRemoval remover;
    RemovalOutcome outcome = remover.Remove(Target(type, entry));
    EXPECT_TRUE(outcome.gone) << type << ": " << outcome.reason;
    EXPECT_FALSE(host.Running()) << type;
    EXPECT_FALSE(test::Exists(dll)) << type;
  }
}

TEST(SpywareRemoval, RemovesKeysValuesCookiesAndReportsAbsentTargetsAsGone) {
  std::string name = SpyName("keys");
  test::PlantedKey deep(HKEY_CURRENT_USER, "Software\\" + name + "\\one\\two\\three");
  test::PlantedKey value(HKEY_CURRENT_USER, "Software\\" + name + "\\values");
  ASSERT_TRUE(value.SetValue("dir\\name", 10));  // a value name with a backslash
  ASSERT_TRUE(value.SetValue("keep", 10));
  test::PlantedFolder folder(Environment("TEMP") + "\\" + SpyName("cookie"));
  std::string cookie = folder.File("user@ads[1].txt");
  test::WriteTextFile(cookie, "ads");
  test::TestRemoval remover;

  EXPECT_TRUE(remover.Remove(RegistryTarget(kTypeRegKey, Hive::CurrentUser, "Software\\" + name + "\\one", "",
                                            {RegistryView::Native}))
                  .gone);
  EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, "Software\\" + name + "\\one"));
  EXPECT_TRUE(OpenKey(HKEY_CURRENT_USER, "Software\\" + name + "\\values")) << "the sibling stays";

  EXPECT_TRUE(remover.Remove(RegistryTarget(kTypeRegValue, Hive::CurrentUser, "Software\\" + name + "\\values",
                                            "dir\\name", {RegistryView::Native}))
                  .gone);
  EXPECT_NE(RegQueryValueExA(value.Key(), "dir\\name", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(value.Key(), "keep", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);

  EXPECT_TRUE(remover.Remove(Target(kTypeCookie, cookie)).gone);
  EXPECT_FALSE(test::Exists(cookie));
  // Removing again finds nothing left: that is gone too.
  EXPECT_TRUE(remover.Remove(Target(kTypeCookie, cookie)).gone);
  EXPECT_TRUE(remover.Remove(Target(kTypeFile, folder.File("never-there.exe"))).gone);
}

TEST(SpywareRemoval, AFolderTreeGoesExceptWhatIsHeldAndNeverWhatALinkPointsTo) {
  test::PlantedFolder canary(Environment("TEMP") + "\\" + SpyName("canary"));
  test::WriteTextFile(canary.File("keep.txt"), "keep");
  test::PlantedFolder spy(Environment("TEMP") + "\\" + SpyName("tree"));
  CreateDirectoryA(spy.File("sub").c_str(), nullptr);
  std::string readOnly = spy.File("sub\\readonly.dat");
  test::WriteTextFile(readOnly, "ro");
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(test::MakeUnixSymlink(spy.File("link"), canary.Path()));
  std::string held = spy.File("held.dat");
  test::WriteTextFile(held, "held");
  UniqueHandle holder(CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);

  test::TestRemoval remover;
  RemovalOutcome outcome = remover.Remove(Target(kTypeDir, spy.Path()));

  EXPECT_FALSE(outcome.gone);
  EXPECT_FALSE(outcome.reason.empty());
  EXPECT_TRUE(test::Exists(spy.Path()));
  EXPECT_TRUE(test::Exists(held)) << "a file in use stays";
  EXPECT_FALSE(test::Exists(readOnly)) << "a read-only file goes";
  EXPECT_TRUE(test::Exists(canary.File("keep.txt"))) << "what the link points to is never touched";
}

TEST(SpywareRemoval, NeverTouchesSystemFoldersDrivesOrTidewell) {
  test::PlantedFolder app(Environment("TEMP") + "\\" + SpyName("app"));
  CreateDirectoryA(app.File("bin").c_str(), nullptr);
  RemovalSettings settings;
  settings.appFolder = app.File("bin") + "\\";
  // Each system folder is a row of the removal service's guard table test;
  // here only that the remover asks that table.
  const std::string refused[] = {
      "C:\\",
      Environment("windir") + "\\System32",
      app.File("bin"),  // the application folder
  };
  test::TestRemoval remover(settings);
  for (const std::string& folder : refused) {
    RemovalOutcome outcome = remover.Remove(Target(kTypeDir, folder));
    if (!test::Exists(folder)) continue;  // an absent folder is simply gone
    EXPECT_FALSE(outcome.gone) << folder;
    EXPECT_FALSE(outcome.reason.empty()) << folder;
  }

  // The test program itself is loaded here: neither it nor this process is ended.
  char own[MAX_PATH];
  GetModuleFileNameA(nullptr, own, MAX_PATH);
  RemovalOutcome self = remover.Remove(Target(kTypeFile, own));
  EXPECT_FALSE(self.gone);
  EXPECT_TRUE(test::Exists(own));

  std::string marked = app.File("TideWell-helper.dll");
  test::WriteTextFile(marked, "ours");
  EXPECT_FALSE(remover.Remove(Target(kTypeFile, marked)).gone);
  EXPECT_TRUE(test::Exists(marked));

  EXPECT_FALSE(remover.Remove(RegistryTarget(kTypeRegKey, Hive::CurrentUser, "Software", "", {RegistryView::Native})).gone);
  EXPECT_TRUE(OpenKey(HKEY_CURRENT_USER, "Software"));
}

}  // namespace
}  // namespace tidewell
