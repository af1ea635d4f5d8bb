// Tidewell.exe started as a user would start it, from a folder of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/ConnectionString.h"
#include "resource.h"
#include "shared/win/Profile.h"
#include "shared/win/Registry.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/TestFolder.h"
#include "tidewell/shell/Messages.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void CopyProgramInto(const test::TempFolder& folder) {
  fs::copy_file(test::ProgramFolder() / "Tidewell.exe", folder.Path() / "Tidewell.exe");
}

TEST(TidewellProgram, WithoutDatabaseShowsTheConnectionStringAndEndsWithCodeZero) {
  test::TempFolder folder;
  CopyProgramInto(folder);
  WriteProfileValue("AppPath", "before");
  test::RunningProgram tidewell(folder.File("Tidewell.exe"), folder.Text());
  ASSERT_TRUE(tidewell.Started());
  HWND box = tidewell.WaitForWindow("Tidewell", 20s);
  ASSERT_NE(box, nullptr);
  std::string expected = BuildConnectionString(folder.Text() + "\\bhodb.mdb");
  auto texts = test::ChildTexts(box);
  EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << "the box shows only the connection string";
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(tidewell.WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_EQ(ReadProfileValue("AppPath"), "before");
  EXPECT_FALSE(fs::exists(folder.Path() / "bhodb.mdb"));
}

// The main window is there from the start, but hidden: only the tray icon shows.
HWND WaitForHiddenMainWindow(test::RunningProgram& program, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (HWND window = FindWindowA("#32770", "Tidewell v" TIDEWELL_EXPECTED_VERSION)) return window;
    if (program.WaitForExit(50ms)) return nullptr;
  }
  return nullptr;
}

template <class Done>
bool WaitUntil(Done done, std::chrono::milliseconds timeout = 20s) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Sleep(50);
  }
  return true;
}

class StartedTidewell : public ::testing::Test {
 protected:
  void SetUp() override {
    // As on any Windows machine: the key watcher that starts with the window needs it.
    CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects");
    CopyProgramInto(folder);
    WriteProfileValue("AppPath", "before");
    tidewell = std::make_unique<test::RunningProgram>(folder.File("Tidewell.exe"), folder.Text());
    ASSERT_TRUE(tidewell->Started());
    window = WaitForHiddenMainWindow(*tidewell, 20s);
    ASSERT_NE(window, nullptr);
  }
  // Keys go through the dialog manager as a user's would: to the focused tree.
  void PressKey(UINT key) {
    HWND tree = GetDlgItem(window, 1003);
    PostMessageA(tree, WM_KEYDOWN, key, 1);
    PostMessageA(tree, WM_KEYUP, key, 0xC0000001);
  }

  test::TestAppFolder folder;
  std::unique_ptr<test::RunningProgram> tidewell;
  HWND window = nullptr;
};

TEST_F(StartedTidewell, StartsHiddenAndRecordsAppPath) {
  // The window exists a moment before its initialisation has opened the database.
  std::string expected = folder.Text() + "\\bhodb.mdb";
  EXPECT_TRUE(WaitUntil([&] { return ReadProfileValue("AppPath") == expected; })) << ReadProfileValue("AppPath");
  Sleep(1000);
  EXPECT_FALSE(IsWindowVisible(window));
  PostMessageA(window, WM_COMMAND, ID_TRAY_QUIT, 0);
  EXPECT_EQ(tidewell->WaitForExit(20s), std::optional<DWORD>(0));
}

TEST_F(StartedTidewell, OpenTidewellShowsEnterHidesEscapeEnds) {
  PostMessageA(window, WM_COMMAND, ID_TRAY_OPEN, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }));
  PressKey(VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(window); }));
  EXPECT_FALSE(tidewell->WaitForExit(500ms)) << "Enter only hides the window";
  PostMessageA(window, WM_TRAY_NOTIFY, 100, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }));
  PressKey(VK_ESCAPE);
  EXPECT_EQ(tidewell->WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(StartedTidewell, ClosingHidesAndQuitEnds) {
  PostMessageA(window, WM_COMMAND, ID_TRAY_OPEN, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }));
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(window); }));
  EXPECT_FALSE(tidewell->WaitForExit(500ms));
  PostMessageA(window, WM_COMMAND, ID_TRAY_QUIT, 0);
  EXPECT_EQ(tidewell->WaitForExit(20s), std::optional<DWORD>(0));
}

bool MarkIsHeld(const char* name) {
  UniqueHandle mark(OpenMutexA(SYNCHRONIZE, FALSE, name));
  return static_cast<bool>(mark);
}

// A lambda is no stdcall callback in the 32-bit build.
BOOL CALLBACK CountMainWindow(HWND window, LPARAM counter) {
  if (test::WindowClass(window) == "#32770" && test::WindowText(window) == "Tidewell v" TIDEWELL_EXPECTED_VERSION)
    ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int CountMainWindows() {
  int count = 0;
  EnumWindows(CountMainWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

TEST_F(StartedTidewell, ASecondStartShowsTheRunningOneAndEndsAndTheQuitRequestEndsTheFirst) {
  EXPECT_TRUE(MarkIsHeld("Local\\Tidewell.Running"));
  {
    test::RunningProgram second(folder.File("Tidewell.exe"), folder.Text());
    EXPECT_EQ(second.WaitForExit(20s), std::optional<DWORD>(0));
  }
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; })) << "shown as Open Tidewell shows it";
  EXPECT_FALSE(tidewell->WaitForExit(500ms));
  EXPECT_EQ(CountMainWindows(), 1);
  // The report takes no part in it.
  test::TempFolder reportFolder;
  {
    test::RunningProgram report(folder.File("Tidewell.exe"), folder.Text(), "/report " + reportFolder.File("r.txt"));
    EXPECT_EQ(report.WaitForExit(60s), std::optional<DWORD>(0));
  }
  EXPECT_TRUE(test::PathExists(reportFolder.File("r.txt")));

  // As an installer asks: to every top-level window.
  PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("Tidewell.Quit"), 0, 0);
  EXPECT_EQ(tidewell->WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(MarkIsHeld("Local\\Tidewell.Running"));
}

// Class IDs the BHO table knows, registered as BHOs, for the life of the object.
class ManyKnownBhos {
 public:
  ManyKnownBhos(const std::string& connection, int count) {
    CADODatabase database;
    EXPECT_TRUE(database.Open(connection));
    CADORecordset insert(database);
    for (int i = 0; i < count; ++i) {
      char clsid[64];
      wsprintfA(clsid, "{7E1D0000-0000-4000-8000-%012d}", i);
      clsids_.push_back(clsid);
      CreateKey(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + clsid);
      CreateKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid);
      insert.Open(std::string("insert into BHOS(clsid,name,risk) values('") + clsid + "','Quit test helper','none')");
    }
  }
  ~ManyKnownBhos() {
    for (const std::string& clsid : clsids_) {
      DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + clsid);
      DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
    }
  }

 private:
  static constexpr const char* kBhoKey =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
  std::vector<std::string> clsids_;
};

TEST(TidewellProgram, QuitDuringADeepScanOrAListingEndsCleanlyAndTheNextStartWorks) {
  CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects");
  test::TestAppFolder folder;
  CopyProgramInto(folder);
  ManyKnownBhos bhos(folder.ConnectionString(), 300);
  const struct {
    const char* name;
    bool deepScan;
    WPARAM quit;
  } cases[] = {{"tray Quit during a deep scan", true, ID_TRAY_QUIT},
               {"Escape during a deep scan", true, IDCANCEL},
               {"tray Quit during a listing", false, ID_TRAY_QUIT}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::RunningProgram tidewell(folder.File("Tidewell.exe"), folder.Text());
    HWND window = WaitForHiddenMainWindow(tidewell, 20s);
    ASSERT_NE(window, nullptr);
    if (c.deepScan) {
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDB_SCAN_BHOS, BN_CLICKED), 0);
      EXPECT_TRUE(WaitUntil([&] { return test::WindowText(GetDlgItem(window, IDC_STATUS_LINE)).rfind("CLSID\\", 0) == 0; }));
    } else {
      PostMessageA(window, WM_REFRESH_BHOS, 0, 0);
      Sleep(100);
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(c.quit, BN_CLICKED), 0);
    // Not kExitWorkersStuck: every worker ended within the bounded wait.
    EXPECT_EQ(tidewell.WaitForExit(20s), std::optional<DWORD>(0));
  }
}

// A Chrome and an Edge profile, a Firefox profile and a Chrome policy that
// forces the Chrome extension, planted where the running program looks.
class PlantedBrowserProfiles {
 public:
  PlantedBrowserProfiles() {
    const std::string local = EnvironmentText("LOCALAPPDATA"), roaming = EnvironmentText("APPDATA");
    fs::path chrome = fs::path(local) / "Google" / "Chrome" / "User Data" / profile;
    Plant(chrome / "Preferences", Settings(R"("__MSG_appName__","version":"1.0"},"location":1,"state":1)"));
    fs::path version = chrome / "Extensions" / kId / "1.0_0";
    Plant(version / "manifest.json", R"({"name":"__MSG_appName__","default_locale":"en"})");
    Plant(version / "_locales" / "en" / "messages.json", R"({"appName":{"message":"Planted Coupons"}})");
    Plant(fs::path(local) / "Microsoft" / "Edge" / "User Data" / profile / "Preferences",
          Settings(R"("Edge Planted"},"location":1,"state":0)"));
    firefox_ = fs::path(roaming) / "Mozilla" / "Firefox";
    EXPECT_FALSE(fs::exists(firefox_ / "profiles.ini")) << "the test prefix has no Firefox of its own";
    Plant(firefox_ / "profiles.ini", "[Profile0]\nIsRelative=1\nPath=Profiles/" + profile + "\n");
    Plant(firefox_ / "Profiles" / profile / "extensions.json",
          R"({"addons":[{"id":"planted@fox","defaultLocale":{"name":"Planted Fox"},"active":true,"location":"app-profile"}]})");
    UniqueKey forced = CreateKey(HKEY_CURRENT_USER, kForcelist);
    EXPECT_FALSE(ReadString(forced.Get(), "1")) << "no other forced extension";
    WriteString(forced.Get(), "1", std::string(kId) + ";https://clients2.google.com/service/update2/crx");
    folders_ = {chrome, fs::path(local) / "Microsoft" / "Edge" / "User Data" / profile, firefox_ / "Profiles" / profile};
  }
  ~PlantedBrowserProfiles() {
    std::error_code ignored;
    for (const fs::path& folder : folders_) fs::remove_all(folder, ignored);
    fs::remove(firefox_ / "profiles.ini", ignored);
    if (UniqueKey forced = OpenKey(HKEY_CURRENT_USER, kForcelist, KEY_SET_VALUE)) RegDeleteValueA(forced.Get(), "1");
  }

  static constexpr const char* kId = "aaaabbbbccccddddeeeeffffgggghhhh";
  static constexpr const char* kForcelist = "SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist";
  const std::string profile = test::UniqueName("Profile");

 private:
  static std::string EnvironmentText(const char* name) {
    char value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return std::string(value, length < MAX_PATH ? length : 0);
  }
  static void Plant(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }
  static std::string Settings(const std::string& rest) {
    return std::string(R"({"extensions":{"settings":{")") + kId + R"(":{"manifest":{"name":)" + rest + "}}}}";
  }
  fs::path firefox_;
  std::vector<fs::path> folders_;
};

// The rows, names and marks themselves are the listing's and the page's tests'.
TEST_F(StartedTidewell, BrowserAddonsTabListsThePlantedAddonsAfterProducts) {
  PlantedBrowserProfiles planted;
  PostMessageA(window, WM_COMMAND, ID_TRAY_OPEN, 0);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }));
  // The tab after Products, chosen as a click would choose it.
  SendMessageA(GetDlgItem(window, IDC_MAIN_TABS), TCM_SETCURFOCUS, 5, 0);
  HWND status = GetDlgItem(window, IDC_STATUS_LINE);
  // "Listing browser add-ons...", then the counts once the rows are in.
  ASSERT_TRUE(WaitUntil([&] { return test::WindowText(status).find(" add-ons: ") != std::string::npos; }))
      << test::WindowText(status);
  EXPECT_EQ(test::WindowText(status), "4 add-ons: 1 forced by policy, 0 from outside, 1 disabled");

  PostMessageA(window, WM_COMMAND, ID_TRAY_QUIT, 0);
  EXPECT_EQ(tidewell->WaitForExit(20s), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tidewell
