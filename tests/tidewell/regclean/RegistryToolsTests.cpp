#include "tidewell/regclean/RegistryToolsDlg.h"

#include <commctrl.h>
#include <windowsx.h>
#include <gtest/gtest.h>

#include <chrono>

#include "resources/resource.h"
#include "shared/win/ListView.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/regclean/RegcleanFixtures.h"
#include "tidewell/regclean/CleanerEngine.h"
#include "tidewell/regclean/ProblemDetailsDlg.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

void Click(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
std::string Text(HWND dialog, int id) {
  char text[512] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

class RegistryToolsTest : public ::testing::Test {
 protected:
  RegistryToolsTest() {
    EXPECT_TRUE(database.Open(folder.ConnectionString()));
    main = std::make_unique<test::FakeMainWindow>(&database);
    tools = std::make_unique<CRegistryToolsDlg>(*main, folder.Text());
    window = tools->Create(GetModuleHandleA(nullptr), IDD_REGISTRY_TOOLS, main->Window());
  }
  ~RegistryToolsTest() override {
    tools.reset();
    main->Workers().StopAndWait();
  }
  int ScanEvents(const std::string& start) {
    int count = 0;
    for (const auto& event : test::Events(database)) count += event.text.starts_with(start) ? 1 : 0;
    return count;
  }
  bool Idle() {
    for (int row = 0; row < kCategoryCount; ++row)
      if (Enabled(window, IDB_REGCLEAN_STOP_FIRST + row) || !Enabled(window, IDB_REGCLEAN_SCAN_FIRST + row))
        return false;
    return Enabled(window, IDB_REGCLEAN_SCAN_ALL);
  }

  test::TestAppFolder folder;
  CADODatabase database;
  test::PlantedEntries planted;
  std::unique_ptr<test::FakeMainWindow> main;
  std::unique_ptr<CRegistryToolsDlg> tools;
  HWND window = nullptr;
};

TEST_F(RegistryToolsTest, ScanAllRunsSixScansAndRepairRemovesTheFindings) {
  ASSERT_TRUE(window);
  EXPECT_EQ(Text(window, IDC_REGCLEAN_STATUS), "Ready");
  EXPECT_EQ(Text(window, IDC_REGCLEAN_LABEL_FIRST + 5), "Add/remove programms:");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDB_REGCLEAN_SCAN_FIRST + 6)));
  planted.Value(HKEY_LOCAL_MACHINE, kRun, planted.Marker(), "C:\\TwMissing" + planted.Marker() + "\\x.exe");

  Click(window, IDB_REGCLEAN_SCAN_ALL);
  EXPECT_FALSE(Enabled(window, IDB_REGCLEAN_SCAN_ALL));
  EXPECT_TRUE(Enabled(window, IDB_REGCLEAN_STOP_FIRST + 4));
  EXPECT_FALSE(Enabled(window, IDB_REGCLEAN_SCAN_FIRST + 4));
  ASSERT_TRUE(test::PumpUntil([&] { return Idle(); }, 180s));
  test::PumpFor(300ms);  // one more refresh of the fields

  EXPECT_EQ(Text(window, IDC_REGCLEAN_STATUS), "Ready");
  for (Category category : kAllCategories) {
    EXPECT_EQ(ScanEvents(Info(category).scanEvent), 1) << Info(category).label;
    EXPECT_EQ(Text(window, IDC_REGCLEAN_COUNT_FIRST + IndexOf(category)),
              std::to_string(CountProblems(database, category)));
  }
  int startupCount = CountProblems(database, Category::Startup);
  EXPECT_GE(startupCount, 1);

  // Repair of the row: the planted value goes, with its backup, and the count follows.
  Click(window, IDB_REGCLEAN_REPAIR_FIRST + 4);
  EXPECT_FALSE(Enabled(window, IDB_REGCLEAN_SCAN_FIRST + 4));
  ASSERT_TRUE(test::PumpUntil([&] { return Enabled(window, IDB_REGCLEAN_SCAN_FIRST + 4); }, 120s));
  test::PumpFor(300ms);
  EXPECT_FALSE(ReadString(OpenKey(HKEY_LOCAL_MACHINE, kRun).Get(), planted.Marker()));
  EXPECT_TRUE(test::MarkedProblems(database, planted.Marker()).empty());
  EXPECT_EQ(Text(window, IDC_REGCLEAN_COUNT_FIRST + 4), std::to_string(CountProblems(database, Category::Startup)));
  EXPECT_FALSE(test::RegbkRows(database).empty());
}

TEST_F(RegistryToolsTest, CloseDuringSixScansEndsThemQuicklyAndEachSaysSo) {
  Click(window, IDB_REGCLEAN_SCAN_ALL);
  auto start = std::chrono::steady_clock::now();
  Click(window, IDCANCEL);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(IsWindow(window));
  EXPECT_LT(took, 2s);
  // Every scan wrote one event; the custom controls, the longest walk, cannot have finished.
  for (Category category : kAllCategories) {
    std::string event = Info(category).scanEvent;
    EXPECT_EQ(ScanEvents(event.substr(0, event.rfind("found "))), 1) << event;
  }
  EXPECT_EQ(ScanEvents("Scanning registered custom controls (incomplete) found "), 1);
}

TEST_F(RegistryToolsTest, StopThenScanAtOnceRunsOneScanAfterTheOther) {
  std::string sub = "CLSID\\{" + planted.Marker() + "}\\InprocServer32";
  planted.Key(HKEY_CLASSES_ROOT, sub, "", "C:\\TwMissing" + planted.Marker() + "\\c.dll");
  Click(window, IDB_REGCLEAN_SCAN_FIRST);
  Click(window, IDB_REGCLEAN_STOP_FIRST);
  EXPECT_TRUE(Enabled(window, IDB_REGCLEAN_SCAN_FIRST));
  EXPECT_TRUE(Enabled(window, IDB_REGCLEAN_SCAN_ALL));
  Click(window, IDB_REGCLEAN_SCAN_FIRST);
  ASSERT_TRUE(test::PumpUntil([&] { return Idle(); }, 180s));
  EXPECT_EQ(ScanEvents("Scanning registered custom controls (incomplete) found "), 1);
  EXPECT_EQ(ScanEvents("Scanning registered custom controls found "), 1);
  // The second scan cleared the first one's rows before finding the entry again.
  EXPECT_EQ(test::MarkedProblems(database, planted.Marker()).size(), 1u);
}

TEST_F(RegistryToolsTest, RepairWhileTheCategoryScansSaysItIsBusyAndMarksNothing) {
  test::ScriptedPrompt prompt({IDOK, IDOK});
  std::string sub = "CLSID\\{00000000-" + planted.Marker() + "}\\InprocServer32";  // early in the walk
  planted.Key(HKEY_CLASSES_ROOT, sub, "", "C:\\TwMissing" + planted.Marker() + "\\c.dll");
  Click(window, IDB_REGCLEAN_SCAN_FIRST);
  EXPECT_EQ(main->Workers().Running(), 1) << "the scan runs on the main window's workers";
  // Without a pump the dialog still sees the scan running, even should it end meanwhile.
  auto until = std::chrono::steady_clock::now() + 60s;
  while (test::MarkedProblems(database, planted.Marker()).empty() && std::chrono::steady_clock::now() < until)
    Sleep(20);
  ASSERT_EQ(test::MarkedProblems(database, planted.Marker()).size(), 1u);

  Click(window, IDB_REGCLEAN_REPAIR_FIRST);
  Click(window, IDB_REGCLEAN_REPAIR_ALL);
  auto prompts = prompt.Requests();
  ASSERT_EQ(prompts.size(), 2u);
  for (const auto& request : prompts) {
    EXPECT_EQ(request.text, "This category is busy. Try again when it has finished.");
    EXPECT_EQ(request.caption, "Tidewell");
  }
  ASSERT_TRUE(test::PumpUntil([&] { return Idle(); }, 180s));
  EXPECT_EQ(test::MarkedProblems(database, planted.Marker())[0].state, 0);
  EXPECT_TRUE(OpenKey(HKEY_CLASSES_ROOT, sub));
}

TEST_F(RegistryToolsTest, DetailsListsCheckedRowsAndRepairsOnlyTheCheckedOnes) {
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(ExecuteStatement(database, "insert into problems(ptype,rootkey,subkey,problem) values('" +
                                               std::string(i == 2 ? "HHR1" : "HHR") + "','HKLM','" +
                                               planted.Marker() + "-" + std::to_string(i) + "','C:\\x')"));
  CProblemDetailsDlg details(database, Category::HelpAndResources);
  HWND dialog = details.Create(GetModuleHandleA(nullptr), IDD_PROBLEM_DETAILS, window);
  ASSERT_TRUE(dialog);
  char title[128] = "";
  GetWindowTextA(dialog, title, sizeof title);
  EXPECT_STREQ(title, "Details for help and resources invalid entries");
  HWND list = GetDlgItem(dialog, IDC_DETAILS_LIST);
  int rows = ListView_GetItemCount(list);
  ASSERT_GE(rows, 3);
  EXPECT_EQ(ListItemText(list, 0, 0).rfind("HKLM\\", 0), 0u);
  for (int row = 0; row < rows; ++row) EXPECT_TRUE(ListView_GetCheckState(list, row));
  RECT client{};
  GetClientRect(dialog, &client);
  RECT listRect{};
  GetWindowRect(list, &listRect);
  EXPECT_EQ(listRect.right - listRect.left, client.right - 20);
  EXPECT_EQ(ListView_GetColumnWidth(list, 0), static_cast<int>(client.right * 0.48));

  Button_SetCheck(GetDlgItem(dialog, IDC_DETAILS_SELECT_ALL), BST_UNCHECKED);
  Click(dialog, IDC_DETAILS_SELECT_ALL);
  for (int row = 0; row < rows; ++row) EXPECT_FALSE(ListView_GetCheckState(list, row));
  for (int row = 0; row < rows; ++row)
    if (ListItemText(list, row, 0).find(planted.Marker() + "-1") == std::string::npos)
      ListView_SetCheckState(list, row, ListItemText(list, row, 0).find(planted.Marker()) != std::string::npos);
  Click(dialog, IDB_DETAILS_REPAIR_SELECTED);
  EXPECT_TRUE(details.RepairRequested());
  auto marked = test::MarkedProblems(database, planted.Marker());
  ASSERT_EQ(marked.size(), 3u);
  EXPECT_EQ(marked[0].state, 1);
  EXPECT_EQ(marked[1].state, 0);
  EXPECT_EQ(marked[2].state, 1);
}

}  // namespace
}  // namespace tidewell
