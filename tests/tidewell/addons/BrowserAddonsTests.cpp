#include "tidewell/addons/BrowserAddons.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "shared/win/Registry.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/TestFolder.h"
#include "tidewell/addons/AddonRemoval.h"
#include "tidewell/addons/AddonReport.h"
#include "tidewell/addons/AddonsPage.h"
#include "tidewell/removal/RemovalService.h"

namespace tidewell {
namespace {

constexpr const char* kStoreId = "aaaabbbbccccddddeeeeffffgggghhhh";
constexpr const char* kDisabledId = "bbbbccccddddeeeeffffgggghhhhiiii";
constexpr const char* kOutsideId = "ccccddddeeeeffffgggghhhhiiiijjjj";
constexpr const char* kSecondProfileId = "ddddeeeeffffgggghhhhiiiijjjjkkkk";
constexpr const char* kEdgeId = "eeeeffffgggghhhhiiiijjjjkkkkllll";
constexpr const char* kForced32Id = "ffffgggghhhhiiiijjjjkkkkllllmmmm";
constexpr const char* kEdgeForcedId = "gggghhhhiiiijjjjkkkkllllmmmmnnnn";
constexpr const char* kEdgeAllowedId = "hhhhiiiijjjjkkkkllllmmmmnnnnoooo";

void Plant(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

std::string Settings(const std::string& entries) { return R"({"extensions":{"settings":{)" + entries + "}}}"; }

std::string Entry(const char* id, const char* name, int location, int state) {
  return std::string("\"") + id + R"(":{"manifest":{"name":")" + name + R"(","version":"1.0"},"location":)" +
         std::to_string(location) + ",\"state\":" + std::to_string(state) + "}";
}

// Machine and user roots below unique scratch keys, removed in both views.
class PlantedBrowsers : public testing::Test {
 protected:
  void SetUp() override {
    std::string name = test::UniqueName("addons");
    places_.localAppData = local_.Text() + "Local";
    places_.appData = local_.Text() + "Roaming";
    places_.machine = {HKEY_LOCAL_MACHINE, "Software\\TidewellTests\\" + name};
    places_.user = {HKEY_CURRENT_USER, "Software\\TidewellTests\\" + name};
    Clean();
  }
  void TearDown() override { Clean(); }

  void Clean() {
    for (RegistryView view : RegistryViews()) {
      DeleteKeyTree(places_.machine.hive, places_.machine.path, view);
      DeleteKeyTree(places_.user.hive, places_.user.path, view);
    }
  }

  void PlantValue(const RegistryLocation& root, RegistryView view, const std::string& path, const std::string& name,
                  const std::string& value) {
    UniqueKey key = CreateKey(root.hive, root.path + "\\" + path, KEY_ALL_ACCESS, view);
    ASSERT_TRUE(key && WriteString(key.Get(), name, value)) << path;
  }

  void PlantProfiles() {
    std::filesystem::path local = std::filesystem::path(local_.Path()) / "Local";
    std::filesystem::path chrome = local / "Google" / "Chrome" / "User Data";
    Plant(chrome / "Default" / "Preferences",
          Settings(Entry(kStoreId, "__MSG_appName__", 1, 1) + "," + Entry(kDisabledId, "Paused Helper", 1, 0) + "," +
                   Entry(kOutsideId, "Side Loaded", 3, 1)));
    std::filesystem::path version = chrome / "Default" / "Extensions" / kStoreId / "1.0_0";
    Plant(version / "manifest.json", R"({"name":"__MSG_appName__","version":"1.0","default_locale":"en"})");
    Plant(version / "_locales" / "en" / "messages.json", R"({"APPNAME":{"message":"Planted Coupons"}})");
    Plant(chrome / "Profile 1" / "Preferences", "{}");
    Plant(chrome / "Profile 1" / "Secure Preferences", Settings(Entry(kSecondProfileId, "Second Profile Tool", 1, 1)));
    Plant(chrome / "Profile 2" / "Preferences", Settings(Entry(kEdgeId, "Lost", 1, 1)).substr(0, 40));
    std::filesystem::path edge = local / "Microsoft" / "Edge" / "User Data";
    Plant(edge / "Default" / "Preferences", Settings(Entry(kEdgeId, "Edge Planted", 1, 1)));
    std::string huge = Settings(Entry(kStoreId, "Oversize", 1, 1));
    huge.resize(21 * 1024 * 1024, ' ');
    Plant(edge / "Profile 9" / "Preferences", huge);
    std::filesystem::path firefox = std::filesystem::path(local_.Path()) / "Roaming" / "Mozilla" / "Firefox";
    Plant(firefox / "profiles.ini", "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/t1.default\r\n");
    Plant(firefox / "Profiles" / "t1.default" / "extensions.json",
          R"({"addons":[{"id":"planted@fox","defaultLocale":{"name":"Planted Fox"},"version":"2.1","active":true,)"
          R"("userDisabled":false,"location":"app-profile"},{"id":"off@fox","name":"Off Fox","active":false,)"
          R"("userDisabled":true,"location":"app-profile"}]})");
    Plant(std::filesystem::path(local_.Path()) / "Firefox" / "distribution" / "policies.json",
          R"({"policies":{"ExtensionSettings":{"file@fox":{"installation_mode":"force_installed"}}}})");
  }

  void PlantKeys() {
    std::vector<RegistryView> views = RegistryViews();
    PlantValue(places_.machine, views.front(), "SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist", "1",
               std::string(kStoreId) + ";https://clients2.google.com/service/update2/crx");
    PlantValue(places_.machine, views.back(), "SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist", "1",
               kForced32Id);
    PlantValue(places_.user, RegistryView::Native, "SOFTWARE\\Policies\\Microsoft\\Edge", "ExtensionSettings",
               std::string("{\"") + kEdgeForcedId + R"(":{"installation_mode":"force_installed"},")" + kEdgeAllowedId +
                   R"(":{"installation_mode":"allowed"}})");
    PlantValue(places_.machine, views.back(), std::string("Software\\Google\\Chrome\\Extensions\\") + kOutsideId,
               "update_url", "https://clients2.google.com/service/update2/crx");
    PlantValue(places_.user, RegistryView::Native, "Software\\Mozilla\\Firefox\\Extensions", "side@fox",
               "C:\\nowhere\\side.xpi");
    PlantValue(places_.machine, views.front(), "SOFTWARE\\Policies\\Mozilla\\Firefox\\Extensions\\Install", "1",
               "https://example.invalid/get/pushed.xpi");
    PlantValue(places_.machine, views.front(), "SOFTWARE\\Mozilla\\Mozilla Firefox\\99.0 (x64 en-US)\\Main",
               "Install Directory", local_.Text() + "Firefox");
  }

  test::TempFolder local_;
  AddonPlaces places_;
};

const BrowserAddon* Find(const AddonListing& listing, const std::string& browser, const std::string& id,
                         AddonSource source) {
  for (const BrowserAddon& addon : listing.addons)
    if (addon.browser == browser && addon.id == id && addon.source == source) return &addon;
  return nullptr;
}

TEST_F(PlantedBrowsers, ListsEveryPlantedAddonWithItsOriginAndDamageCostsOnlyItsProfile) {
  PlantProfiles();
  PlantKeys();
  AddonListing listing = ListBrowserAddons(places_);

  using S = AddonSource;
  using O = AddonOrigin;
  constexpr AddonState on = AddonState::Enabled, off = AddonState::Disabled;
  const char *chrome = "Google Chrome", *edge = "Microsoft Edge", *fox = "Mozilla Firefox";
  struct Row {
    const char *browser, *profile, *id;
    AddonSource source;
    const char* name;
    AddonState state;
    AddonOrigin origin;
  };
  const Row rows[] = {
      {chrome, "Default", kStoreId, S::ProfileRecord, "Planted Coupons", on, O::Store},
      {chrome, "Default", kDisabledId, S::ProfileRecord, "Paused Helper", off, O::Store},
      {chrome, "Default", kOutsideId, S::ProfileRecord, "Side Loaded", on, O::Outside},
      {chrome, "Profile 1", kSecondProfileId, S::ProfileRecord, "Second Profile Tool", on, O::Store},
      {edge, "Default", kEdgeId, S::ProfileRecord, "Edge Planted", on, O::Store},
      {fox, "t1.default", "planted@fox", S::FirefoxProfileAddon, "Planted Fox", on, O::Store},
      {fox, "t1.default", "off@fox", S::FirefoxProfileAddon, "Off Fox", off, O::Store},
      {chrome, "", kStoreId, S::ForcelistValue, "Planted Coupons", on, O::Policy},  // named after its profile
      {chrome, "", kForced32Id, S::ForcelistValue, kForced32Id, on, O::Policy},
      {edge, "", kEdgeForcedId, S::SettingsEntry, kEdgeForcedId, on, O::Policy},
      {chrome, "", kOutsideId, S::OutsideKey, "Side Loaded", on, O::Outside},
      {fox, "", "side@fox", S::OutsideKey, "side@fox", on, O::Outside},
      {fox, "", "https://example.invalid/get/pushed.xpi", S::FirefoxInstallValue, "pushed.xpi", on, O::Policy},
      {fox, "", "file@fox", S::PoliciesFile, "file@fox", on, O::Policy},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    const BrowserAddon* addon = Find(listing, row.browser, row.id, row.source);
    ASSERT_TRUE(addon);
    EXPECT_EQ(addon->profile, row.profile);
    EXPECT_EQ(addon->name, row.name);
    EXPECT_EQ(addon->state, row.state);
    EXPECT_EQ(addon->origin, row.origin);
  }
  // Each row once: the user's keys look alike in both views, and "allowed"
  // installs nothing; the damaged and the oversize profile give none.
  EXPECT_EQ(listing.addons.size(), std::size(rows));
  ASSERT_EQ(listing.notes.size(), 2u);
  EXPECT_TRUE(listing.notes[0].starts_with("Damaged: ") && listing.notes[0].ends_with("\\Profile 2\\Preferences"));
  EXPECT_TRUE(listing.notes[1].starts_with("Skipped (over 20 MB): ") &&
              listing.notes[1].ends_with("\\Profile 9\\Preferences"));

  // What a removal needs: the very key, view and value, the browser's process and page.
  const BrowserAddon* forced = Find(listing, chrome, kForced32Id, S::ForcelistValue);
  EXPECT_EQ(forced->key.view, RegistryViews().back());
  EXPECT_EQ(forced->key.path, places_.machine.path + "\\SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist");
  EXPECT_EQ(forced->valueName, "1");
  EXPECT_EQ(forced->processName, "chrome.exe");
  EXPECT_EQ(forced->extensionsPage, "chrome://extensions");
  EXPECT_TRUE(Find(listing, chrome, kOutsideId, S::OutsideKey)->key.path.ends_with(kOutsideId));
  const BrowserAddon* store = Find(listing, chrome, kStoreId, S::ProfileRecord);
  EXPECT_TRUE(store->folder.ends_with(std::string("\\Extensions\\") + kStoreId + "\\1.0_0")) << store->folder;
  EXPECT_TRUE(Find(listing, fox, "planted@fox", S::FirefoxProfileAddon)->profileFolder.ends_with("\\t1.default"));

  std::vector<ReportLine> lines = AddonReportLines(listing);
  ASSERT_EQ(lines.size(), std::size(rows) + 2);
  EXPECT_EQ(lines[0].text, "Google Chrome | " + std::string(kForced32Id) + " | " + kForced32Id +
                               " | - | enabled | forced by policy | " + forced->key.DisplayName() + " : 1");
  EXPECT_EQ(lines.back().text, "Note: " + listing.notes[1]);
}

// Each removable kind of row goes, files one Backup manager row, and comes
// back at its very place with that row's restore.
TEST_F(PlantedBrowsers, RemovedRowsGoKeptAndTheirRestoreBringsThemBack) {
  PlantKeys();
  const char* kSecondForced = "iiiijjjjkkkkllllmmmmnnnnoooopppp";
  const char* kThirdForced = "jjjjkkkkllllmmmmnnnnooooppppqqqq";
  RegistryView policyView = RegistryViews().front();
  std::string forcelist = "SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist";
  PlantValue(places_.machine, policyView, forcelist, "2", kSecondForced);
  PlantValue(places_.machine, policyView, forcelist, "3", kThirdForced);
  test::TestAppFolder app;
  CADODatabase database;
  ASSERT_TRUE(database.Open(app.ConnectionString()));

  std::vector<RemovedPolicy> returned;
  using S = AddonSource;
  struct Case {
    const char *browser, *id;
    AddonSource source;
  } cases[] = {
      {"Google Chrome", kStoreId, S::ForcelistValue},  // value "1" of 3 in the native view
      {"Microsoft Edge", kEdgeForcedId, S::SettingsEntry},
      {"Google Chrome", kOutsideId, S::OutsideKey},
      {"Mozilla Firefox", "side@fox", S::OutsideKey},
      {"Mozilla Firefox", "https://example.invalid/get/pushed.xpi", S::FirefoxInstallValue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    AddonListing before = ListBrowserAddons(places_);
    const BrowserAddon* addon = Find(before, c.browser, c.id, c.source);
    ASSERT_TRUE(addon);
    BrowserAddon removed = *addon;

    AddonRemovalOutcome outcome = RemoveBrowserAddon(database, app.Text(), removed);

    EXPECT_TRUE(outcome.gone && outcome.reason.empty()) << outcome.reason;
    AddonListing after = ListBrowserAddons(places_);
    EXPECT_FALSE(Find(after, c.browser, c.id, c.source));
    EXPECT_EQ(after.addons.size(), before.addons.size() - 1) << "nothing else went";
    auto rows = test::RegbkRows(database);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().comment, RemovedAddonComment(removed));
    EXPECT_EQ(rows.back().comment, "Removed browser add-on: " + removed.name + " (" + c.browser + ")");
    if (c.source == S::ForcelistValue) {
      // No gap: the later values moved up one.
      EXPECT_EQ(Find(after, c.browser, kSecondForced, c.source)->valueName, "1");
      EXPECT_EQ(Find(after, c.browser, kThirdForced, c.source)->valueName, "2");
    }
    if (c.source == S::ForcelistValue) {
      // Written again by someone else it is called back; Tidewell's own restore below is not.
      returned = {{removed, GetTickCount64()}};
      PlantValue(places_.machine, policyView, forcelist, "3", kStoreId);
      EXPECT_NE(ReturnedPoliciesText(ListBrowserAddons(places_), returned).find("is back"), std::string::npos);
      UniqueKey list = CreateKey(places_.machine.hive, places_.machine.path + "\\" + forcelist, KEY_ALL_ACCESS,
                                 policyView);
      RegDeleteValueA(list.Get(), "3");
    }
    if (c.source == S::SettingsEntry) {
      UniqueKey key = removed.key.Open();
      EXPECT_NE(ReadString(key.Get(), "ExtensionSettings").value_or("").find(kEdgeAllowedId), std::string::npos)
          << "the policy's other entries stay";
    }

    ActionRestoreResult restored = RestoreAction(rows.back().file);

    EXPECT_TRUE(restored.notRestored.empty()) << restored.notRestored.front();
    AddonListing back = ListBrowserAddons(places_);
    const BrowserAddon* again = Find(back, c.browser, c.id, c.source);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->valueName, removed.valueName) << "back under its old number";
    EXPECT_EQ(back.addons.size(), before.addons.size());
    if (c.source == S::ForcelistValue) EXPECT_EQ(ReturnedPoliciesText(back, returned), "");
  }
}

// A browser's files never change while it runs.
TEST_F(PlantedBrowsers, AFirefoxAddonGoesOnlyWhileNoFirefoxRuns) {
  std::filesystem::path profile =
      std::filesystem::path(local_.Path()) / "Roaming" / "Mozilla" / "Firefox" / "Profiles" / "t1.default";
  std::filesystem::path xpi = profile / "extensions" / "gone@fox.xpi";
  Plant(xpi, "PK planted");
  Plant(std::filesystem::path(local_.Path()) / "Roaming" / "Mozilla" / "Firefox" / "profiles.ini",
        "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/t1.default\r\n");
  std::string path = xpi.string();
  std::string escaped;
  for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  Plant(profile / "extensions.json", R"({"addons":[{"id":"gone@fox","name":"Gone Fox","version":"1","active":true,)"
                                     R"("location":"app-profile","path":")" + escaped + R"("}]})");
  AddonListing listing = ListBrowserAddons(places_);
  const BrowserAddon* addon = Find(listing, "Mozilla Firefox", "gone@fox", AddonSource::FirefoxProfileAddon);
  ASSERT_TRUE(addon);
  BrowserAddon fox = *addon;
  ASSERT_EQ(fox.addonFile, path);
  test::TestAppFolder app;
  CADODatabase database;
  ASSERT_TRUE(database.Open(app.ConnectionString()));

  // A program of Firefox's name runs: the file stays.
  test::TempFolder programs;
  std::string firefox = programs.File("firefox.exe");
  ASSERT_TRUE(CopyFileW((test::ProgramFolder() / "backup_slow_tool.exe").wstring().c_str(),
                        std::filesystem::path(firefox).wstring().c_str(), FALSE));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + std::filesystem::path(firefox).wstring() + L"\"";
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  EXPECT_TRUE(IsProgramRunning("FIREFOX.EXE"));
  AddonRemovalOutcome refused = RemoveBrowserAddon(database, app.Text(), fox);
  TerminateProcess(process.hProcess, 1);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_FALSE(refused.gone);
  EXPECT_EQ(refused.reason, "Mozilla Firefox is running");
  EXPECT_TRUE(std::filesystem::exists(xpi));

  AddonRemovalOutcome outcome = RemoveBrowserAddon(database, app.Text(), fox);

  EXPECT_TRUE(outcome.gone) << outcome.reason;
  EXPECT_FALSE(std::filesystem::exists(xpi));
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(RestoreAction(rows[0].file).notRestored.empty());
  EXPECT_TRUE(std::filesystem::exists(xpi)) << "back as a file";
}

}  // namespace
}  // namespace tidewell
