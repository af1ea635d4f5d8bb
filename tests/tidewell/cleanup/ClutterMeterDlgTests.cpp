#include "tidewell/cleanup/ClutterMeterDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "resource.h"
#include "shared/win/ListView.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/MessagePump.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/cleanup/CleanupTestSupport.h"
#include "tidewell/cleanup/SpaceLimits.h"

namespace tidewell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::PlantFile;

// A log scan that holds until its fill is stopped and then still reports, as a
// slow walk would before it notices; every later scan answers at once.
struct HeldLogScan {
  std::atomic<int> calls{0};
  std::atomic<bool> sawStop{false}, ended{false};
  CClutterMeterDlg::LogScanner Scanner() {
    return [this](const std::string&, const StopToken& stop,
                  const std::function<void(const LogFileTotals&)>& progress) {
      if (calls++ > 0) return LogFileTotals{7, 7};
      sawStop = stop.WaitFor(60000);
      Sleep(200);  // past the progress interval
      progress({111, 111});
      ended = true;
      return LogFileTotals{111, 111};
    };
  }
};

// The nine categories point at scratch folders; "Recent files" at an unset variable.
class ClutterMeterDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(database.Open(app.ConnectionString()));
    PlantFile(Folder(0) / "a.tmp", 1024);
    PlantFile(Folder(0) / "b.tmp", 2048);
    PlantFile(Folder(0) / "old" / "c.tmp", 1024);
    PlantFile(Folder(1) / "ann@site.txt", 100);
  }
  void TearDown() override {
    if (dialog.Handle()) dialog.Destroy();
  }

  fs::path Folder(size_t category) const { return scratch.Path() / ("category" + std::to_string(category)); }

  ClutterSources Sources() {
    ClutterSources sources;
    sources.categoryFolders = [this] {
      std::vector<std::string> folders;
      for (size_t i = 0; i < CleanupCategories().size(); ++i)
        folders.push_back(i == 2 ? ExpandEnvironmentPattern("%TIDEWELL_TEST_UNSET%\\recent") : Folder(i).string());
      return folders;
    };
    sources.fixedDrives = [] { return std::vector<FixedDrive>{{"C:\\", 0}}; };
    sources.driveSpace = [](const std::string&) { return std::optional<DriveSpace>(DriveSpace{40ull << 30, 10ull << 30}); };
    sources.recycleBin = [](const std::string&) { return std::optional<RecycleBin>(RecycleBin{2, 1048576}); };
    sources.homeDrive = [] { return std::string("C:"); };
    return sources;
  }

  HWND Open() {
    HWND window = dialog.Create(GetModuleHandleA(nullptr), IDD_CLUTTER_METER, nullptr);
    EXPECT_TRUE(test::PumpUntil([&] { return dialog.Settled(); }, 60s));
    return window;
  }
  HWND OpenWithHeldLogScan(HeldLogScan& scan) {
    dialog.SetLogScanner(scan.Scanner());
    HWND window = dialog.Create(GetModuleHandleA(nullptr), IDD_CLUTTER_METER, nullptr);
    EXPECT_TRUE(test::PumpUntil([&] { return scan.calls > 0; }, 60s));
    return window;
  }
  std::string LogRowCount() const {
    auto row = std::ranges::find(dialog.Rows(), ClutterRowKind::LogFiles, &ClutterRow::kind);
    return row == dialog.Rows().end() ? "" : row->fileNumber;
  }
  int RowOf(const std::string& name) const {
    for (int row = 0; row < ListView_GetItemCount(dialog.List()); ++row)
      if (ListItemText(dialog.List(), row, 0) == name) return row;
    return -1;
  }
  void CleanUp() {
    SendMessageA(dialog.Handle(), WM_COMMAND, MAKEWPARAM(IDB_CLUTTER_CLEANUP, BN_CLICKED), 0);
    EXPECT_TRUE(test::PumpUntil([&] { return !dialog.CleaningUp() && dialog.Settled(); }, 60s));
  }

  test::TestAppFolder app;
  test::TempFolder scratch;
  CADODatabase database;
  ClutterMonitor monitor{Sources()};
  CClutterMeterDlg dialog{database, monitor};
};

TEST_F(ClutterMeterDlgTest, ListsEveryCategoryAndWritesTheReport) {
  ASSERT_NE(Open(), nullptr);
  HWND list = dialog.List();
  ASSERT_EQ(ListView_GetItemCount(list), 11);
  EXPECT_EQ(ListItemText(list, 0, 0), "Windows log files");
  EXPECT_EQ(ListItemText(list, 1, 0), "Recycle bin");
  EXPECT_EQ(ListItemText(list, 1, 3), "1.00 MB");
  int temp = RowOf("Windows Temporary Files");
  ASSERT_EQ(temp, 2);
  EXPECT_EQ(ListItemText(list, temp, 1), Folder(0).string());
  EXPECT_EQ(ListItemText(list, temp, 2), "2");
  EXPECT_EQ(ListItemText(list, temp, 3), "4.00 Kb");
  EXPECT_EQ(ListItemText(list, RowOf("Recent files"), 1), "\\recent");
  EXPECT_EQ(ListItemText(list, RowOf("Recent files"), 2), "0");
  EXPECT_NE(ListItemText(list, 0, 2), "*");  // the log-file count arrived

  std::string report = test::WindowText(GetDlgItem(dialog.Handle(), IDC_CLUTTER_REPORT));
  EXPECT_TRUE(report.starts_with("\r\nSystem information\r\n\r\n*** Hard Disk: (C:\\) ***\r\nTotal size: 40960 (MB)\r\n"
                                 "Used: 30720 (MB)\r\nFree: 10240 (MB)\r\n"))
      << report;
  EXPECT_NE(report.find("Total size of temporary files :\r\n1.00 Mb\r\n\r\nLog files: "), std::string::npos) << report;
}

TEST_F(ClutterMeterDlgTest, CleaningACheckedFolderEmptiesItAndNothingElse) {
  ASSERT_NE(Open(), nullptr);
  ListView_SetCheckState(dialog.List(), RowOf("Windows Temporary Files"), TRUE);
  test::ScriptedPrompt prompts{IDYES, IDOK};
  CleanUp();

  auto requests = prompts.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].text, "Are you sure you want to cleanup folder?\r\n" + Folder(0).string());
  EXPECT_EQ(requests[0].caption, "Cleanup");
  EXPECT_EQ(requests[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(requests[1].text, "Cleanup complete");
  EXPECT_TRUE(fs::is_directory(Folder(0)));
  EXPECT_TRUE(fs::is_empty(Folder(0)));
  EXPECT_TRUE(fs::exists(Folder(1) / "ann@site.txt"));
  EXPECT_EQ(test::EventTexts(database), std::vector<std::string>{"\"Windows Temporary Files\" cleanup (" + Folder(0).string() + ")"});
  EXPECT_EQ(ListItemText(dialog.List(), RowOf("Windows Temporary Files"), 2), "0");  // the list was filled again
}

TEST_F(ClutterMeterDlgTest, AnsweringNoChangesNothingAndLogsNothing) {
  ASSERT_NE(Open(), nullptr);
  ListView_SetCheckState(dialog.List(), RowOf("Windows Temporary Files"), TRUE);
  test::ScriptedPrompt prompts{IDNO, IDOK};
  CleanUp();
  EXPECT_EQ(prompts.Requests().size(), 2u);
  EXPECT_TRUE(fs::exists(Folder(0) / "a.tmp"));
  EXPECT_TRUE(fs::exists(Folder(0) / "old" / "c.tmp"));
  EXPECT_TRUE(test::EventTexts(database).empty());
}

TEST_F(ClutterMeterDlgTest, ALockedFileIsScheduledAndTheUserToldSo) {
  ASSERT_NE(Open(), nullptr);
  const std::string locked = (Folder(0) / "a.tmp").string();
  UniqueKey sessionManager = OpenKey(HKEY_LOCAL_MACHINE, test::kSessionManager, KEY_QUERY_VALUE | KEY_SET_VALUE);
  ASSERT_TRUE(sessionManager);
  ListView_SetCheckState(dialog.List(), RowOf("Windows Temporary Files"), TRUE);
  test::ScriptedPrompt prompts{IDYES, IDOK, IDOK};
  {
    UniqueHandle open(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    CleanUp();
  }
  const bool scheduled = std::ranges::any_of(test::PendingRenames(sessionManager.Get()), [&](const std::wstring& entry) {
    return test::NamesFile(entry, WideFromUtf8(locked));
  });
  test::RemovePendingRenamesOf(sessionManager.Get(), WideFromUtf8(locked));
  auto requests = prompts.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].text, "Cleanup complete");
  EXPECT_EQ(requests[2].text, "Some files could not be deleted. They will be deleted after the next system reboot");
  EXPECT_TRUE(scheduled);
  EXPECT_FALSE(fs::exists(Folder(0) / "b.tmp"));
}

// The log files lie below the Windows folder: asked about like a folder, and
// a No leaves every one of them.
TEST_F(ClutterMeterDlgTest, LogFilesAreDeletedOnlyAfterTheQuestion) {
  ASSERT_NE(Open(), nullptr);
  const int logs = RowOf("Windows log files");
  ASSERT_EQ(logs, 0);
  const std::string counted = ListItemText(dialog.List(), logs, 2);
  ListView_SetCheckState(dialog.List(), logs, TRUE);
  test::ScriptedPrompt prompts{IDNO, IDOK};
  CleanUp();
  auto requests = prompts.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].text, "Are you sure you want to cleanup folder?\r\n" + ListItemText(dialog.List(), logs, 1));
  EXPECT_EQ(requests[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(ListItemText(dialog.List(), logs, 2), counted);
  EXPECT_TRUE(test::EventTexts(database).empty());
}

TEST_F(ClutterMeterDlgTest, CloseDuringTheLogScanStopsItAndNothingReachesTheClosedDialog) {
  HeldLogScan scan;
  HWND window = OpenWithHeldLogScan(scan);
  ASSERT_NE(window, nullptr);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_TRUE(scan.sawStop);
  EXPECT_TRUE(scan.ended);  // Close waited for the scan
  EXPECT_FALSE(IsWindow(window));
  test::PumpFor(400ms);
  EXPECT_FALSE(dialog.Settled());
  EXPECT_EQ(LogRowCount(), "*");
}

// The cleanup's refill stops the held scan; its late report must not land on the new rows.
TEST_F(ClutterMeterDlgTest, ARefillDuringTheLogScanShowsOnlyTheNewScan) {
  HeldLogScan scan;
  ASSERT_NE(OpenWithHeldLogScan(scan), nullptr);
  ListView_SetCheckState(dialog.List(), RowOf("Windows Temporary Files"), TRUE);
  test::ScriptedPrompt prompts{IDYES, IDOK};
  CleanUp();
  EXPECT_TRUE(test::PumpUntil([&] { return scan.ended.load(); }, 10s));
  test::PumpFor(100ms);  // the stopped scan's late report, had it been let through
  EXPECT_TRUE(scan.sawStop);
  EXPECT_EQ(LogRowCount(), "7");
  EXPECT_EQ(ListItemText(dialog.List(), RowOf("Windows log files"), 2), "7");
  std::string report = test::WindowText(GetDlgItem(dialog.Handle(), IDC_CLUTTER_REPORT));
  EXPECT_TRUE(report.ends_with("\r\n\r\nLog files: 7\r\nSize: 0.01 MB")) << report;
  EXPECT_EQ(report.find("Log files: "), report.rfind("Log files: ")) << report;
}

// Under Wine the bin is the Linux trash, here the build's scratch one.
TEST_F(ClutterMeterDlgTest, TheRecycleBinRowIsLoggedOnlyWhenTheBinWasEmptied) {
  ASSERT_TRUE(test::TrashIsScratch()) << "XDG_DATA_HOME must point at the build's scratch folder";
  dialog.SetRecycleBinFlags(SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
  ASSERT_NE(Open(), nullptr);
  const std::string event = "\"Recycle bin\" cleanup (C:\\)";
  struct Case {
    bool binned;
    size_t events;  // in all, after this cleanup
  };
  for (const Case& each : {Case{true, 1}, Case{false, 1}}) {
    if (each.binned) ASSERT_TRUE(test::BinFile(Folder(1) / "ann@site.txt"));
    ListView_SetCheckState(dialog.List(), RowOf("Recycle bin"), TRUE);
    test::ScriptedPrompt prompts{IDOK};
    CleanUp();
    EXPECT_EQ(prompts.Requests().size(), 1u);
    EXPECT_EQ(test::EventTexts(database), std::vector<std::string>(each.events, event)) << each.binned;
    SHQUERYRBINFO bin{.cbSize = sizeof(SHQUERYRBINFO)};
    ASSERT_TRUE(SUCCEEDED(SHQueryRecycleBinA("C:\\", &bin)));
    EXPECT_EQ(bin.i64NumItems, 0);
  }
}

TEST_F(ClutterMeterDlgTest, NothingCheckedDoesNothingAtAll) {
  ASSERT_NE(Open(), nullptr);
  test::ScriptedPrompt prompts;  // any message box fails the test
  SendMessageA(dialog.Handle(), WM_COMMAND, MAKEWPARAM(IDB_CLUTTER_CLEANUP, BN_CLICKED), 0);
  test::PumpFor(200ms);
  EXPECT_FALSE(dialog.CleaningUp());
  EXPECT_TRUE(prompts.Requests().empty());
  EXPECT_TRUE(fs::exists(Folder(0) / "a.tmp"));
}

// "\recent" would be the root's folder of that name: never asked about, never touched.
TEST_F(ClutterMeterDlgTest, AFolderThatDidNotExpandIsNeverCleaned) {
  ASSERT_NE(Open(), nullptr);
  ListView_SetCheckState(dialog.List(), RowOf("Recent files"), TRUE);
  test::ScriptedPrompt prompts{IDOK};
  CleanUp();
  auto requests = prompts.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].text, "Cleanup complete");
  EXPECT_TRUE(test::EventTexts(database).empty());
}

TEST_F(ClutterMeterDlgTest, SelectAllChecksAndUnchecksEveryRow) {
  ASSERT_NE(Open(), nullptr);
  HWND box = GetDlgItem(dialog.Handle(), IDC_CLUTTER_SELECT_ALL);
  for (bool check : {true, false}) {
    SendMessageA(box, BM_SETCHECK, check ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(dialog.Handle(), WM_COMMAND, MAKEWPARAM(IDC_CLUTTER_SELECT_ALL, BN_CLICKED), 0);
    for (int row = 0; row < ListView_GetItemCount(dialog.List()); ++row)
      EXPECT_EQ(ListView_GetCheckState(dialog.List(), row) != 0, check) << row;
  }
}

TEST_F(ClutterMeterDlgTest, TheCacheLimitShowsThePlantedValueAndStoresTypedOnes) {
  UniqueKey key = CreateKey(HKEY_CURRENT_USER, kCacheContentKey50);
  std::optional<DWORD> saved = ReadDword(key.Get(), "CacheLimit");
  WriteDword(key.Get(), "CacheLimit", 51200);
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(test::WindowText(GetDlgItem(dialog.Handle(), IDC_CACHE_FIELD)), "50");
  EXPECT_EQ(ReadDword(key.Get(), "CacheLimit"), 51200u);  // opening writes nothing
  SetDlgItemTextA(dialog.Handle(), IDC_CACHE_FIELD, "0");
  EXPECT_EQ(ReadDword(key.Get(), "CacheLimit"), 1024u);
  SetDlgItemTextA(dialog.Handle(), IDC_CACHE_FIELD, "75");
  EXPECT_EQ(ReadDword(key.Get(), "CacheLimit"), 75u * 1024);
  if (saved)
    WriteDword(key.Get(), "CacheLimit", *saved);
  else
    RegDeleteValueA(key.Get(), "CacheLimit");
}

}  // namespace
}  // namespace tidewell
