#include "tidewell/app/MainDialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>

#include "resource.h"
#include "shared/db/ConnectionString.h"
#include "shared/net/ServerHosts.h"
#include "shared/win/Profile.h"
#include "shared/win/Registry.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MessagePump.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tidewell/app/MainWindowRules.h"
#include "tidewell/app/ProductsPage.h"
#include "tidewell/bho/BhoPage.h"
#include "tidewell/shell/Messages.h"
#include "tidewell/startup/RunKeyWatch.h"
#include "tests/support/ScratchRegistry.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
  return test::PumpUntil(done, timeout);
}

void Pump() { test::PumpFor(100ms); }

bool HasVisibleStyle(HWND control) { return (GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0; }

// Every Windows machine has the BHO key; the key watcher that starts with the
// window reports its absence, so make sure the prefix has it too.
void EnsureBhoKeyExists() {
  CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects");
}

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureBhoKeyExists();
    WriteProfileStringA(kProfileSection, kProductHostKey, nullptr);
  }
  void TearDown() override {
    if (dialog.Handle()) dialog.Destroy();
    WriteProfileStringA(kProfileSection, kProductHostKey, nullptr);
  }

  HWND Open() {
    window = dialog.Create(GetModuleHandleA(nullptr), IDD_MAIN_DIALOG, nullptr);
    return window;
  }
  HWND Control(int id) const { return GetDlgItem(window, id); }
  const CProductsPage& Products() const { return *dialog.FindPage<CProductsPage>(); }
  // The browser's place counts as shown when it covers an area.
  bool BrowserShown() const {
    RECT rect = ChildRect(window, Control(IDC_BROWSER));
    return HasVisibleStyle(Control(IDC_BROWSER)) && rect.right > rect.left && rect.bottom > rect.top;
  }

  test::TestAppFolder folder;
  CMainDialog dialog{folder.File("Tidewell.exe")};
  HWND window = nullptr;
};

TEST_F(MainDialogTest, StartsHiddenAndOpenTidewellShowsIt) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(dialog.Started());
  Pump();
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(dialog.IsShown());
  EXPECT_EQ(test::WindowText(window), "Tidewell v" TIDEWELL_EXPECTED_VERSION);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_TRAY_OPEN, 0), 0);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(dialog.IsShown());
}

TEST_F(MainDialogTest, EnterCloseAndMinimiseOnlyHideTheWindow) {
  ASSERT_NE(Open(), nullptr);
  auto show = [&] {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_TRAY_OPEN, 0), 0);
    ASSERT_TRUE(IsWindowVisible(window));
  };
  show();
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);  // what Enter sends
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(dialog.IsShown());
  show();
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(window));
  show();
  ShowWindow(window, SW_MINIMIZE);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(dialog.IsShown());
  EXPECT_TRUE(IsWindow(window));
  // A double-click on the tray icon brings it back, restored.
  SendMessageA(window, WM_TRAY_NOTIFY, 100, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(IsIconic(window));
  // Other mouse messages of the icon do nothing.
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  SendMessageA(window, WM_TRAY_NOTIFY, 100, WM_LBUTTONUP);
  SendMessageA(window, WM_TRAY_NOTIFY, 100, WM_MOUSEMOVE);
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(MainDialogTest, EscapeEndsTheWindow) {
  ASSERT_NE(Open(), nullptr);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_TRAY_OPEN, 0), 0);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // what Escape sends
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(dialog.Handle(), nullptr);
}

TEST_F(MainDialogTest, WithoutDatabaseShowsTheConnectionStringAndEndsAtOnce) {
  test::TempFolder empty;
  WriteProfileValue("AppPath", "before");
  test::ScriptedPrompt script{IDOK};
  CMainDialog bare(empty.File("Tidewell.exe"));
  HWND created = bare.Create(GetModuleHandleA(nullptr), IDD_MAIN_DIALOG, nullptr);
  EXPECT_FALSE(bare.Started());
  EXPECT_TRUE(created == nullptr || !IsWindow(created));
  auto requests = script.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].text, BuildConnectionString(empty.Text() + "\\bhodb.mdb"));
  EXPECT_EQ(ReadProfileValue("AppPath"), "before");
}

TEST_F(MainDialogTest, RecordsTheDatabasePathAndSetsUpTabsListAndAbout) {
  WriteProfileValue("AppPath", "before");
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ReadProfileValue("AppPath"), folder.Text() + "\\bhodb.mdb");
  EXPECT_EQ(dialog.ConnectionString(), folder.ConnectionString());
  EXPECT_TRUE(dialog.Database().IsOpen());

  HWND tabs = Control(IDC_MAIN_TABS);
  const char* names[] = {"BHO manager", "Spyware Scanner", "Backup manager", "Startup manager", "Products",
                         "Browser add-ons"};
  ASSERT_EQ(TabCtrl_GetItemCount(tabs), 6);
  for (int i = 0; i < 6; ++i) {
    char text[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, names[i]);
    EXPECT_EQ(item.iImage, i);
  }
  EXPECT_EQ(ImageList_GetImageCount(TreeView_GetImageList(dialog.Tree(), TVSIL_NORMAL)), 12);

  HWND list = dialog.List();
  char title[64] = {};
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = title;
  column.cchTextMax = sizeof title;
  ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
  EXPECT_STREQ(title, "Bakup name");
  EXPECT_EQ(column.cx, 320);
  ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
  EXPECT_STREQ(title, "Bakup size");
  EXPECT_EQ(column.cx, 90);
  DWORD extended = ListView_GetExtendedListViewStyle(list);
  EXPECT_EQ(extended & (LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP | LVS_EX_HEADERDRAGDROP),
            static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP | LVS_EX_HEADERDRAGDROP));

  HMENU system = GetSystemMenu(window, FALSE);
  int last = GetMenuItemCount(system) - 1;
  char about[64] = {};
  GetMenuStringA(system, last, about, sizeof about, MF_BYPOSITION);
  EXPECT_STREQ(about, "&About Tidewell...");
  EXPECT_EQ(GetMenuItemID(system, last), static_cast<UINT>(IDM_ABOUTBOX));
  EXPECT_FALSE(IsWindowEnabled(Control(IDB_STOP_SCAN)));
  EXPECT_FALSE(BrowserShown());
}

TEST_F(MainDialogTest, GaugeShowsTheMeasuredPercentage) {
  ASSERT_NE(Open(), nullptr);
  // Measured on a worker: the gauge shows the figure once the walk ends.
  ASSERT_TRUE(PumpUntil([&] { return !dialog.Clutter().text.empty(); }, 60s));
  const ClutterReading& reading = dialog.Clutter();
  EXPECT_EQ(test::WindowText(Control(IDC_CLUTTER_PERCENT)), reading.text);
  EXPECT_TRUE(reading.text.ends_with("%"));
  PBRANGE range{};
  SendMessageA(Control(IDC_CLUTTER_BAR), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iHigh, reading.rangeMegabytes);
  EXPECT_EQ(SendMessageA(Control(IDC_CLUTTER_BAR), PBM_GETPOS, 0, 0), reading.positionMegabytes);
}

TEST_F(MainDialogTest, TabChangeShowsAndHidesTheControlsOfTheTable) {
  test::LoopbackHttpServer site("HTTP/1.1 200 OK\r\nContent-Length: 32\r\n\r\n<a href=\"/tools.html\">Tools</a>");
  WriteProfileValue(kProductHostKey, site.Host());
  ASSERT_NE(Open(), nullptr);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_TRAY_OPEN, 0), 0);

  const std::vector<int> watched{IDC_BHO_TREE,       IDC_SHARED_LIST,    IDB_SPYWARE_SCAN,   IDB_BACKUP_RESTORE,
                                 IDB_BACKUP_DELETE,  IDB_STARTUP_DISABLE, IDB_STARTUP_DELETE};
  const std::map<int, std::set<int>> shown{
      {0, {IDC_BHO_TREE}},
      {1, {IDC_BHO_TREE, IDB_SPYWARE_SCAN}},
      {2, {IDC_SHARED_LIST, IDB_BACKUP_RESTORE, IDB_BACKUP_DELETE}},
      {3, {IDC_SHARED_LIST, IDB_STARTUP_DISABLE, IDB_STARTUP_DELETE}},
      {4, {}},
  };
  for (int tab : {1, 2, 3, 0, 4}) {
    SCOPED_TRACE("tab " + std::to_string(tab));
    dialog.SelectTab(tab);
    for (int id : watched) EXPECT_EQ(HasVisibleStyle(Control(id)), shown.at(tab).count(id) == 1) << id;
    for (int id : LegendControls()) EXPECT_EQ(HasVisibleStyle(Control(id)), tab == 0) << id;
    if (tab == 0 || tab == 1) {
      EXPECT_EQ((GetWindowLongPtrA(dialog.Tree(), GWL_STYLE) & TVS_CHECKBOXES) != 0, tab == 1);
    }
    if (tab != 4) {
      EXPECT_FALSE(BrowserShown());
    }
  }

  // Products: the site's links in the browser's place, exactly over the list's area.
  ASSERT_TRUE(PumpUntil([&] { return !Products().Links().empty(); }));
  EXPECT_TRUE(BrowserShown());
  RECT browser = ChildRect(window, Control(IDC_BROWSER)), list = ChildRect(window, dialog.List());
  EXPECT_TRUE(EqualRect(&browser, &list));
  EXPECT_EQ(Products().Links()[0].text, "Tools");
  EXPECT_EQ(Products().Links()[0].address, "http://" + site.Host() + "/tools.html");
  EXPECT_EQ(ListView_GetItemCount(Control(IDC_BROWSER)), 1);
  ASSERT_FALSE(site.Requests().empty());
  EXPECT_TRUE(site.Requests()[0].starts_with("GET /links.html HTTP/1.1\r\nHost: " + site.Host() + "\r\n"));

  // Resizing keeps it over the list; back on tab 0 it is out of sight again, also after a resize.
  RECT bounds{};
  GetWindowRect(window, &bounds);
  SetWindowPos(window, nullptr, 0, 0, bounds.right - bounds.left + 120, bounds.bottom - bounds.top + 80,
               SWP_NOMOVE | SWP_NOZORDER);
  browser = ChildRect(window, Control(IDC_BROWSER));
  list = ChildRect(window, dialog.List());
  EXPECT_TRUE(EqualRect(&browser, &list));
  dialog.SelectTab(0);
  SetWindowPos(window, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
               SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_FALSE(BrowserShown());
}

TEST_F(MainDialogTest, ProductsTabShowsAMessageWhenTheSiteCannotBeReached) {
  std::string host = test::LoopbackHttpServer::UnusedHost();
  WriteProfileValue(kProductHostKey, host);
  ASSERT_NE(Open(), nullptr);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_TRAY_OPEN, 0), 0);
  dialog.SelectTab(4);  // "Products"
  HWND message = Control(IDC_PRODUCTS_MESSAGE);
  ASSERT_TRUE(PumpUntil([&] { return test::WindowText(message) == UnreachableSiteMessage(host); }));
  EXPECT_TRUE(IsWindowVisible(message));
  EXPECT_FALSE(IsWindowVisible(Control(IDC_BROWSER)));
  EXPECT_TRUE(Products().Links().empty());
}

TEST_F(MainDialogTest, TreeMenuOpensOnlyForTopLevelItems) {
  ASSERT_NE(Open(), nullptr);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_TRAY_OPEN, 0), 0);
  HWND tree = dialog.Tree();
  TVINSERTSTRUCTA insert{};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<char*>("Helper BHO");
  HTREEITEM bho = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  insert.hParent = bho;
  insert.item.pszText = const_cast<char*>("iexplore.exe");
  HTREEITEM process =
      reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  TreeView_Expand(tree, bho, TVE_EXPAND);
  auto PointOn = [&](HTREEITEM item) {
    RECT rect{};
    TreeView_GetItemRect(tree, item, &rect, TRUE);
    POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(tree, &point);
    return point;
  };

  EXPECT_FALSE(PrepareTreeMenu(tree, PointOn(process)));
  EXPECT_EQ(TreeView_GetSelection(tree), process) << "the item under the mouse is selected first";
  EXPECT_TRUE(PrepareTreeMenu(tree, PointOn(bho)));
  EXPECT_EQ(TreeView_GetSelection(tree), bho);
  // Beside the items the selection stays as it was.
  RECT client{};
  GetClientRect(tree, &client);
  POINT empty{client.right - 2, client.bottom - 2};
  ClientToScreen(tree, &empty);
  EXPECT_TRUE(PrepareTreeMenu(tree, empty));
  EXPECT_EQ(TreeView_GetSelection(tree), bho);
}

TEST_F(MainDialogTest, RegistryCleanupAsksAboutABackupFirst) {
  ASSERT_NE(Open(), nullptr);
  test::ScriptedPrompt script{IDCANCEL};
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDB_REGISTRY_CLEANUP, BN_CLICKED), 0);
  auto requests = script.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].text, "Would you like to backup your registries first?");
  EXPECT_EQ(requests[0].caption, "Tidewell");
  EXPECT_EQ(requests[0].type, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
}

TEST_F(MainDialogTest, SkinButtonsAreOwnerDrawn) {
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDB_LIST_BHOS, IDB_SCAN_BHOS, IDB_STOP_SCAN, IDB_REGISTRY_BACKUP, IDB_REGISTRY_CLEANUP, IDB_LOG,
                 IDB_CLUTTER_METER, IDB_UPDATE, IDB_SPYWARE_SCAN, IDB_BACKUP_RESTORE, IDB_BACKUP_DELETE,
                 IDB_STARTUP_DISABLE, IDB_STARTUP_DELETE, IDB_NET_WATCH})
    EXPECT_EQ(GetWindowLongPtrA(Control(id), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << id;
}

TEST_F(MainDialogTest, RunValuesAddedTogetherMakeOnePopupThatWaitsForTheBhoOneAndLeadsToTheStartupTab) {
  constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  std::string prefix = test::UniqueName("runwatch");
  // This run's values, and any an earlier failed run left.
  struct OwnRunValues {
    OwnRunValues() { Delete(); }
    ~OwnRunValues() { Delete(); }
    void Delete() {
      UniqueKey key = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_READ | KEY_SET_VALUE);
      if (!key) return;
      for (const RegistryValue& value : Values(key.Get()))
        if (value.name.rfind("runwatch-", 0) == 0) RegDeleteValueA(key.Get(), value.name.c_str());
    }
  } own;
  ASSERT_NE(Open(), nullptr);
  Pump();
  test::PumpFor(1s);  // the watch reads the keys on its worker
  dialog.Announce(*dialog.FindPage<BhoPage>(), "Toolbar");
  for (const char* end : {"-1", "-2", "-3"}) {
    WriteString(CreateKey(HKEY_CURRENT_USER, kRunKey).Get(), prefix + end, "C:\\planted.exe");
    test::PumpFor(300ms);
  }
  test::PumpFor(std::chrono::milliseconds(kRunWatchBatchMs) + 2s);
  const CTaskbarNotifier& notifier = dialog.Notifier();
  EXPECT_EQ(notifier.Caption(), "Toolbar") << "the startup popup waits";
  // The BHO popup slides back as its timers would make it.
  SendMessageA(notifier.Handle(), WM_TIMER, CTaskbarNotifier::kTimerWait, 0);
  for (int tick = 0; tick < 1000 && notifier.Status() != CTaskbarNotifier::kIdle; ++tick)
    SendMessageA(notifier.Handle(), WM_TIMER, CTaskbarNotifier::kTimerDisappear, 0);
  EXPECT_TRUE(PumpUntil([&] { return notifier.Caption() != "Toolbar"; }));
  EXPECT_EQ(notifier.Caption(), "3 new startup entries");
  EXPECT_TRUE(IsWindowVisible(notifier.Handle()));
  SendMessageA(window, WM_NOTIFIER_CLICKED, 0, 0);
  EXPECT_EQ(dialog.SelectedTab(), 3) << "the Startup manager";
}

}  // namespace
}  // namespace tidewell
