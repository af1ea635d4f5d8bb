// The BHO manager in a stand-in main window: the tree, the deep scan, the
// information dialog and the key watcher.

#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "resources/resource.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/bho/BhoTestSupport.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoInfoDialog.h"
#include "tidewell/bho/BhoKeyWatcher.h"
#include "tidewell/bho/BhoManager.h"
#include "tidewell/bho/BhoText.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Every text a control is given, however quickly the next one replaces it.
class TextRecorder {
 public:
  explicit TextRecorder(HWND control) : control_(control) {
    SetPropA(control, kProp, this);
    original_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~TextRecorder() {
    SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    RemovePropA(control_, kProp);
  }
  std::vector<std::string> texts;

 private:
  static constexpr const char* kProp = "TidewellTextRecorder";
  static LRESULT CALLBACK Proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TextRecorder*>(GetPropA(control, kProp));
    if (message == WM_SETTEXT && lParam) self->texts.emplace_back(reinterpret_cast<const char*>(lParam));
    return CallWindowProcA(self->original_, control, message, wParam, lParam);
  }
  HWND control_;
  WNDPROC original_ = nullptr;
};

class BhoManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(database.Open(folder.ConnectionString()));
    manager = std::make_unique<BhoManager>(window);
    manager->Attach([this] { ++tabSelections; }, [this](const std::string& text) { popups.push_back(text); });
    window.onRefresh = [this] { manager->StartListing(); };
  }
  void TearDown() override {
    EXPECT_TRUE(test::PumpUntil([&] { return !manager->Busy(); }, 120s));
    test::PumpFor(50ms);
    EXPECT_TRUE(window.Workers().StopAndWait());
  }

  bool WaitIdle() { return test::PumpUntil([&] { return !manager->Busy(); }, 60s); }
  int Count(const std::string& text) {
    auto texts = window.TopLevelTexts();
    return static_cast<int>(std::count(texts.begin(), texts.end(), text));
  }
  bool Enabled(int id) { return IsWindowEnabled(window.Item(id)); }
  std::string Text(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
  }

  test::TestAppFolder folder;
  CADODatabase database;
  test::FakeMainWindow window{&database};
  std::unique_ptr<BhoManager> manager;
  int tabSelections = 0;
  std::vector<std::string> popups;
};

TEST_F(BhoManagerTest, TwoQuickRefreshesListEveryBhoOnceWithItsProcesses) {
  test::TempFolder bin;
  std::string dll = bin.File("listed.dll");
  ASSERT_TRUE(test::CopyFixtureDll(dll));
  test::HostProcess host(dll);
  ASSERT_TRUE(host.WaitUntilLoaded(dll, 10s));
  test::RegisteredBho linked(dll), plain(std::nullopt);
  test::InsertBhoRow(database, linked.Clsid(), "Linked test helper", "medium");
  test::InsertBhoRow(database, plain.Clsid(), "Plain test helper", "none");

  PostMessageA(window.Handle(), WM_USER + 2, 0, 0);
  PostMessageA(window.Handle(), WM_USER + 2, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return window.refreshes == 2; }, 5s));
  ASSERT_TRUE(WaitIdle());
  test::PumpFor(200ms);

  EXPECT_EQ(Count(test::Shown("Linked test helper")), 1);
  EXPECT_EQ(Count(test::Shown("Plain test helper")), 1);
  EXPECT_EQ(window.ChildTexts(test::Shown("Linked test helper")), std::vector<std::string>{"test_bho_host.exe"});
  EXPECT_TRUE(window.ChildTexts(test::Shown("Plain test helper")).empty());

  // Item data leads back to the class ID; a process item carries its id.
  HTREEITEM item = window.FindTopLevel(test::Shown("Linked test helper"));
  TreeView_SelectItem(window.Tree(), item);
  auto selected = manager->Selected();
  ASSERT_TRUE(selected);
  EXPECT_EQ(selected->clsid, linked.Clsid());
  ASSERT_EQ(selected->processes.size(), 1u);
  EXPECT_EQ(selected->processes[0].processId, host.Id());
  TVITEMA data{};
  data.mask = TVIF_IMAGE;
  data.hItem = item;
  TreeView_GetItem(window.Tree(), &data);
  EXPECT_EQ(data.iImage, kImageMediumRisk);

  TreeView_SelectItem(window.Tree(), TreeView_GetChild(window.Tree(), item));
  EXPECT_FALSE(manager->Selected()) << "a process line is no BHO";
}

TEST_F(BhoManagerTest, DeepScanFindsKnownClassesAndStopKeepsWhatItFound) {
  // A class the table knows, registered as a class but not as a BHO.
  std::string clsid = test::NewClassId();
  ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, "CLSID\\" + clsid));
  test::InsertBhoRow(database, clsid, "Hidden test helper", "high");

  manager->StartDeepScan();
  EXPECT_EQ(tabSelections, 1);
  EXPECT_TRUE(Enabled(IDB_STOP_SCAN));
  EXPECT_FALSE(Enabled(IDB_SCAN_BHOS));
  EXPECT_FALSE(Enabled(IDB_LIST_BHOS));
  EXPECT_FALSE(Enabled(IDC_MAIN_TABS));
  ASSERT_TRUE(WaitIdle());
  test::PumpFor(200ms);
  EXPECT_EQ(Count(test::Shown("Hidden test helper")), 1);
  EXPECT_FALSE(Enabled(IDB_STOP_SCAN));
  EXPECT_TRUE(Enabled(IDB_SCAN_BHOS));
  EXPECT_TRUE(Enabled(IDB_LIST_BHOS));
  EXPECT_TRUE(Enabled(IDC_MAIN_TABS));
  char status[64] = "x";
  GetDlgItemTextA(window.Handle(), IDC_STATUS_LINE, status, sizeof status);
  EXPECT_STREQ(status, "");

  // Stopped at once: the buttons come back and the scan ends early, keeping
  // its finds (here: whatever it reached). A fast scan may end within one
  // pump, so the status line's texts are recorded rather than sampled.
  TextRecorder statusTexts(window.Item(IDC_STATUS_LINE));
  manager->StartDeepScan();
  EXPECT_TRUE(test::PumpUntil([&] {
    return std::ranges::any_of(statusTexts.texts, [](const std::string& text) { return text.starts_with("CLSID\\{"); });
  }, 10s)) << "the status line names the class";
  size_t before = window.TopLevelTexts().size();
  manager->StopDeepScan();
  EXPECT_FALSE(Enabled(IDB_STOP_SCAN));
  EXPECT_TRUE(Enabled(IDB_SCAN_BHOS));
  GetDlgItemTextA(window.Handle(), IDC_STATUS_LINE, status, sizeof status);
  EXPECT_STREQ(status, "");
  ASSERT_TRUE(WaitIdle());
  test::PumpFor(200ms);
  EXPECT_GE(window.TopLevelTexts().size(), before) << "found items stay";
  test::RemoveBhoKeys(clsid);
}

TEST_F(BhoManagerTest, ADeepScanStartedDuringAListingOwnsTheTreeAlone) {
  // Enough BHOs that the listing is still at work when the scan starts; the
  // scan finds only the three the table knows.
  std::vector<std::unique_ptr<test::RegisteredBho>> bhos;
  for (int i = 0; i < 300; ++i)
    bhos.push_back(std::make_unique<test::RegisteredBho>("C:\\nowhere\\owned-" + std::to_string(i) + ".dll"));
  for (int i = 0; i < 3; ++i)
    test::InsertBhoRow(database, bhos[i * 100]->Clsid(), "Owned test helper " + std::to_string(i), "none");
  manager->StartListing();
  manager->StartDeepScan();
  ASSERT_TRUE(WaitIdle());
  test::PumpFor(300ms);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Count(test::Shown("Owned test helper " + std::to_string(i))), 1) << i;
  EXPECT_EQ(Count(test::Shown("Unknown BHO")), 0) << "the listing's result came after the scan began";
}

TEST_F(BhoManagerTest, InformationOfAnUnknownBhoSavesANewRowAndTheEvent) {
  test::RegisteredBho bho("C:\\Tools\\helper.dll");
  BhoInfoFields fields = LoadBhoInfo(database, bho.Clsid(), BhoInfoSource::TreeItem);
  EXPECT_EQ(fields.name, "Unknown BHO");
  EXPECT_EQ(fields.risk, "unknown");
  EXPECT_EQ(fields.comments, "");
  EXPECT_EQ(fields.file, "C:\\Tools\\helper.dll");
  EXPECT_NE(fields.lastWriteTime, "unknown");
  EXPECT_EQ(LoadBhoInfo(database, test::NewClassId(), BhoInfoSource::Notifier).lastWriteTime, "unknown");

  int refreshes = 0;
  CBhoInfoDialog dialog(database, fields, [&] { ++refreshes; });
  HWND handle = dialog.Create(GetModuleHandleA(nullptr), IDD_BHO_INFO, window.Handle());
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Text(handle, IDC_BHO_NAME), "Unknown BHO");
  EXPECT_EQ(Text(handle, IDC_BHO_CLASS_ID), bho.Clsid());
  EXPECT_EQ(Text(handle, IDC_BHO_RISK), "unknown");
  EXPECT_EQ(SendDlgItemMessageA(handle, IDC_BHO_RISK, CB_GETCOUNT, 0, 0), 4);
  EXPECT_FALSE(dialog.Changed());

  SetDlgItemTextA(handle, IDC_BHO_NAME, "O'Brien's helper");
  EXPECT_TRUE(dialog.Changed());
  dialog.SaveChanges();
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(test::CountRows(database, FormatSql("select * from BHOS where clsid='%s' and name='%s' and modified=1 and "
                                                "files='C:\\Tools\\helper.dll' and comments=' ' and risk='unknown'",
                                                bho.Clsid(), "O'Brien's helper")),
            1);
  EXPECT_EQ(test::CountEvents(database, "Modifications made to \"O'Brien's helper\" were saved"), 1);
  EXPECT_TRUE(IsWindow(handle)) << "the dialog stays open";
  EXPECT_EQ(Text(handle, IDC_BHO_NAME), "O'Brien's helper");
  dialog.Destroy();
}

TEST_F(BhoManagerTest, SubmittedNamesLoseTheirSuffixOnSaveAndTypedRisksAreKept) {
  test::RegisteredBho bho(std::nullopt);
  test::InsertBhoRow(database, bho.Clsid(), "Sent helper", "high", "old comment", 2);
  CBhoInfoDialog dialog(database, LoadBhoInfo(database, bho.Clsid(), BhoInfoSource::Notifier), nullptr);
  HWND handle = dialog.Create(GetModuleHandleA(nullptr), IDD_BHO_INFO, window.Handle());
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Text(handle, IDC_BHO_NAME), "Sent helper (submited)");
  EXPECT_EQ(Text(handle, IDC_BHO_COMMENTS), "old comment");
  SetDlgItemTextA(handle, IDC_BHO_RISK, "low");
  SetDlgItemTextA(handle, IDC_BHO_COMMENTS, "");
  dialog.SaveChanges();
  EXPECT_EQ(test::CountRows(database, FormatSql("select * from BHOS where clsid='%s' and name='Sent helper' and "
                                                "risk='low' and modified=1 and comments=' '",
                                                bho.Clsid())),
            1);
  EXPECT_EQ(BhoRiskImage(database, bho.Clsid()), kImageUnknownRisk);
  dialog.Destroy();
}

TEST_F(BhoManagerTest, ClosingAsksOnlyAfterAnEditAndCancelKeepsTheDialog) {
  test::RegisteredBho bho(std::nullopt);
  {
    CBhoInfoDialog dialog(database, LoadBhoInfo(database, bho.Clsid(), BhoInfoSource::TreeItem), nullptr);
    HWND handle = dialog.Create(GetModuleHandleA(nullptr), IDD_BHO_INFO, window.Handle());
    test::ScriptedPrompt prompt;
    dialog.CloseDialog();
    EXPECT_TRUE(prompt.Requests().empty());
    EXPECT_FALSE(IsWindow(handle));
  }
  CBhoInfoDialog dialog(database, LoadBhoInfo(database, bho.Clsid(), BhoInfoSource::TreeItem), nullptr);
  HWND handle = dialog.Create(GetModuleHandleA(nullptr), IDD_BHO_INFO, window.Handle());
  // Typed, as a user would: a multi-line edit reports no change for a set text.
  SendDlgItemMessageA(handle, IDC_BHO_COMMENTS, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("edited"));
  EXPECT_TRUE(dialog.Changed());
  test::ScriptedPrompt prompt({IDCANCEL, IDYES});
  dialog.CloseDialog();
  ASSERT_EQ(prompt.Requests().size(), 1u);
  EXPECT_EQ(prompt.Requests()[0].text, "Save changes?");
  EXPECT_EQ(prompt.Requests()[0].caption, "Tidewell registry backup");
  EXPECT_EQ(prompt.Requests()[0].type, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
  EXPECT_TRUE(IsWindow(handle));
  EXPECT_EQ(test::CountRows(database, FormatSql("select * from BHOS where clsid='%s'", bho.Clsid())), 0);
  dialog.CloseDialog();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(test::CountRows(database, FormatSql("select * from BHOS where clsid='%s' and comments='edited'", bho.Clsid())), 1);
}

TEST_F(BhoManagerTest, KeyWatcherAnnouncesANewBhoAndChainsItsSuccessor) {
  std::string clsid = test::NewClassId();
  std::vector<std::pair<std::string, std::string>> announced;
  std::mutex mutex;
  KeyWatchTarget target;
  target.mainWindow = window.Handle();
  target.database = &database;
  target.announce = [&](const std::string& id, const std::string& name) {
    std::lock_guard lock(mutex);
    announced.emplace_back(id, name);
  };
  std::atomic<DWORD> result{99};
  std::thread watcher([&] { result = WatchBhoKey(target); });
  Sleep(300);  // let it start waiting
  test::RegisteredBho bho(std::nullopt, clsid);
  ASSERT_TRUE(test::PumpUntil([&] { return result.load() != 99; }, 10s));
  watcher.join();
  EXPECT_EQ(result.load(), 0u);
  ASSERT_TRUE(test::PumpUntil([&] { return window.refreshes == 1 && window.keyWatchStarts == 1; }, 2s));
  std::lock_guard lock(mutex);
  ASSERT_EQ(announced.size(), 1u) << "only the key just written";
  EXPECT_EQ(announced[0].first, clsid);
  EXPECT_EQ(announced[0].second, "Unknown BHO");
}

TEST_F(BhoManagerTest, KeyWatcherHandsThePopupToTheUiThreadAndRemembersTheClass) {
  window.onRefresh = nullptr;
  std::string clsid = test::NewClassId();
  test::InsertBhoRow(database, clsid, "Announced helper", "medium");
  manager->StartKeyWatch();
  Sleep(300);
  test::RegisteredBho bho(std::nullopt, clsid);
  ASSERT_TRUE(test::PumpUntil([&] { return !popups.empty() && window.keyWatchStarts == 1; }, 10s));
  EXPECT_EQ(popups, std::vector<std::string>{"Announced helper"});
  EXPECT_EQ(manager->NotifiedClsid(), clsid);
  // Removing a key also wakes the next watcher, but announces nothing.
  manager->StartKeyWatch();
  Sleep(300);
  test::RemoveBhoKeys(clsid);
  ASSERT_TRUE(test::PumpUntil([&] { return window.keyWatchStarts == 2; }, 10s));
  EXPECT_EQ(popups.size(), 1u);
}

TEST_F(BhoManagerTest, OnlyJustWrittenKeysCountAsNew) {
  test::RegisteredBho old(std::nullopt);
  Sleep(3500);
  auto fresh = FindJustWrittenBhoKeys();
  ASSERT_TRUE(fresh);
  EXPECT_EQ(std::count(fresh->begin(), fresh->end(), old.Clsid()), 0);
  // A value written inside the key makes it new again.
  UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + old.Clsid(), KEY_SET_VALUE);
  WriteString(key.Get(), "touched", "yes");
  fresh = FindJustWrittenBhoKeys();
  ASSERT_TRUE(fresh);
  EXPECT_EQ(std::count(fresh->begin(), fresh->end(), old.Clsid()), 1);
}

}  // namespace
}  // namespace tidewell
