#include "tidewell/backup/BackupList.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "shared/win/Registry.h"
#include "shared/win/ListView.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tidewell/shell/EventLog.h"
#include "tidewell/backup/BackupPage.h"
#include "tidewell/backup/BackupWaitDlg.h"
#include "tidewell/backup/RestoreManagerDlg.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
constexpr const char* kNoKey = "HKCU\\Software\\TidewellTests\\c\\none";

class BackupListTest : public ::testing::Test {
 protected:
  BackupListTest() {
    EXPECT_TRUE(database.Open(folder.ConnectionString()));
    backup.ExportRegistryKey(kNoKey, "Old", 3000, "");
    backup.ExportRegistryKey(kNoKey, "New", 4000, "Startup entries backup");
  }

  test::TestAppFolder folder;
  CADODatabase database;
  CRegistryBackup backup{database, folder.Text()};
  test::FakeMainWindow window{&database};
  BackupPage page{window};
};

TEST_F(BackupListTest, MainWindowListShowsNameAndSizeColumnsNewestFirst) {
  FillBackupList(window.List(), backup, BackupListKind::MainWindow);
  FillBackupList(window.List(), backup, BackupListKind::MainWindow);  // columns re-created, not added

  EXPECT_EQ(test::ColumnTitles(window.List()), (std::vector<std::string>{"Bakup name", "Bakup size"}));
  EXPECT_EQ(ListView_GetColumnWidth(window.List(), 0), 320);
  EXPECT_EQ(ListView_GetColumnWidth(window.List(), 1), 90);
  ASSERT_EQ(ListView_GetItemCount(window.List()), 2);
  EXPECT_EQ(ListItemText(window.List(), 0, 0), "Startup entries backup - " + FormatEventTime(4000));
  EXPECT_EQ(ListItemText(window.List(), 1, 0), "Registry Backup " + FormatEventTime(3000));
  EXPECT_EQ(ListItemText(window.List(), 0, 1), "0.00 bytes");
  EXPECT_EQ(*ListItemData(window.List(), 0), 4000);
  EXPECT_EQ(*ListItemData(window.List(), 1), 3000);
  EXPECT_EQ(test::ItemImage(window.List(), 0), 0);
}

TEST_F(BackupListTest, SelectionGivesNameAndTimeAndNothingWhenTheSelectionIsCleared) {
  FillBackupList(window.List(), backup, BackupListKind::MainWindow);
  EXPECT_EQ(GetSelectedBackup(window.List()).name, "");

  test::SelectRow(window.List(), 1);
  SelectedBackup selected = GetSelectedBackup(window.List());
  EXPECT_EQ(selected.name, "Registry Backup " + FormatEventTime(3000));
  EXPECT_EQ(selected.time, 3000);

  // The selection mark outlives a cleared selection; a restore must not.
  ListView_SetItemState(window.List(), -1, 0, LVIS_SELECTED);
  EXPECT_EQ(GetSelectedBackup(window.List()).name, "");
}

TEST_F(BackupListTest, BackupTabRestoreWithoutSelectionShowsTheError) {
  page.Shown();
  test::ScriptedPrompt script{IDOK};
  page.RestoreSelected();
  ASSERT_EQ(script.Requests().size(), 1u);
  EXPECT_EQ(script.Requests()[0].text, "ERROR: No backup entry selected");
  EXPECT_EQ(script.Requests()[0].owner, window.Window());
}

TEST_F(BackupListTest, BackupTabDeleteRefreshesTheList) {
  page.Shown();
  test::SelectRow(window.List(), 0);
  test::ScriptedPrompt script{IDYES};
  page.DeleteSelected();
  ASSERT_EQ(ListView_GetItemCount(window.List()), 1);
  EXPECT_EQ(*ListItemData(window.List(), 0), 3000);
}

TEST_F(BackupListTest, ExportsRefreshTheListOnlyWhileTheBackupTabShows) {
  page.Shown();
  window.BorrowList();  // the startup tab takes the list
  ListView_DeleteAllItems(window.List());
  page.MainWindowBackup().ExportRegistryKey(kNoKey, "Third", 5000, "Elsewhere");
  EXPECT_EQ(ListView_GetItemCount(window.List()), 0);  // the startup tab keeps its rows

  page.Shown();
  page.MainWindowBackup().ExportRegistryKey(kNoKey, "Fourth", 6000, "Shown");
  ASSERT_EQ(ListView_GetItemCount(window.List()), 4);
  EXPECT_EQ(*ListItemData(window.List(), 0), 6000);
}

TEST_F(BackupListTest, ExportFromAWorkerRefreshesTheListOnTheWindowThread) {
  page.Shown();
  CRegistryBackup main = page.MainWindowBackup();
  std::thread worker([&] { main.ExportRegistryKey(kNoKey, "Worker", 7000, "From a worker"); });
  EXPECT_TRUE(test::PumpUntil([&] { return ListView_GetItemCount(window.List()) == 3; }, 60s));
  worker.join();
  EXPECT_EQ(*ListItemData(window.List(), 0), 7000);
}

TEST_F(BackupListTest, RestoreFromTheBackupTabAnswersOnlyAfterItsWorkerIsDone) {
  test::ScratchKey key("tab-restore");
  WriteString(key.Key(), "V", "kept");
  backup.ExportRegistryKey(key.ShortPath(), "Tab", 5000, "Tab restore");
  WriteString(key.Key(), "V", "changed");
  page.Shown();
  test::SelectRow(window.List(), 0);
  test::ScriptedPrompt script{IDYES, IDOK};
  page.RestoreSelected();
  // Back with only the question asked: the import runs on a worker, not on the window's thread.
  EXPECT_EQ(script.Requests().size(), 1u);
  ASSERT_TRUE(test::PumpUntil([&] { return script.Requests().size() == 2; }, 60s));
  EXPECT_EQ(script.Requests()[1].text, "Operation completed");
  EXPECT_EQ(script.Requests()[1].owner, window.Window());
  EXPECT_EQ(ReadString(key.Key(), "V"), "kept");
}

TEST_F(BackupListTest, WaitBoxShowsItsTextWhileOpen) {
  CBackupWaitDlg box;
  box.Open(GetModuleHandleA(nullptr));
  ASSERT_TRUE(IsWindow(box.Handle()));
  EXPECT_TRUE(IsWindowVisible(box.Handle()));
  char text[128] = "";
  GetDlgItemTextA(box.Handle(), IDC_BACKUP_WAIT_TEXT, text, sizeof text);
  EXPECT_STREQ(text, "Tidewell registry backup\nPlease wait ...");
  EXPECT_TRUE(GetWindowLongA(box.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  HWND handle = box.Handle();
  box.Close();
  EXPECT_FALSE(IsWindow(handle));
}

TEST_F(BackupListTest, RestoreManagerListsNamesAndDeletesTheSelectedBackup) {
  CRestoreManagerDlg dialog(window, folder.Text());
  ASSERT_TRUE(dialog.Create(GetModuleHandleA(nullptr), IDD_RESTORE_MANAGER, nullptr));
  HWND list = dialog.List();
  ASSERT_EQ(ListView_GetItemCount(list), 2);
  EXPECT_EQ(ListItemText(list, 0, 0), "Startup entries backup - " + FormatEventTime(4000));
  EXPECT_EQ(test::ColumnTitles(list).size(), 0u);

  {
    test::ScriptedPrompt script{IDOK};
    SendMessageA(dialog.Handle(), WM_COMMAND, MAKEWPARAM(IDB_RESTORE_SELECTED, BN_CLICKED), 0);
    ASSERT_EQ(script.Requests().size(), 1u);
    EXPECT_EQ(script.Requests()[0].text, "ERROR: No backup entry selected");
  }
  test::SelectRow(list, 1);
  {
    test::ScriptedPrompt script{IDYES};
    SendMessageA(dialog.Handle(), WM_COMMAND, MAKEWPARAM(IDB_DELETE_BACKUP, BN_CLICKED), 0);
    EXPECT_EQ(script.Requests()[0].text, "Are you sure you want to delete Registry Backup " + FormatEventTime(3000) + " ?");
  }
  ASSERT_EQ(ListView_GetItemCount(list), 1);
  EXPECT_EQ(*ListItemData(list, 0), 4000);
  EXPECT_EQ(test::RegbkRows(database).size(), 1u);
  dialog.Destroy();
}

}  // namespace
}  // namespace tidewell
