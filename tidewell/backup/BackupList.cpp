#include "tidewell/backup/BackupList.h"

#include <commctrl.h>

#include <memory>
#include <vector>

#include "shared/win/AppFolder.h"
#include "shared/win/UiThread.h"
#include "tidewell/backup/BackupWaitDlg.h"
#include "tidewell/backup/RestoreManagerDlg.h"

namespace tidewell {

namespace {

constexpr int kBackupManagerTab = 2;

void InsertColumn(HWND list, int index, const char* title, int width) {
  LVCOLUMNA column{};
  column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = const_cast<char*>(title);
  column.iSubItem = index;
  ListView_InsertColumn(list, index, &column);
}

// Runs on the window's thread: directly when already there, else posted.
void OnWindowThread(HWND window, std::function<void()> task) {
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
    task();
  else
    PostToWindow(window, std::move(task));
}

}  // namespace

void FillBackupList(HWND list, CRegistryBackup& backup, BackupListKind kind) {
  ListView_DeleteAllItems(list);
  if (kind == BackupListKind::MainWindow) {
    ListView_DeleteColumn(list, 0);
    ListView_DeleteColumn(list, 0);
    InsertColumn(list, 0, "Bakup name", 320);
    InsertColumn(list, 1, "Bakup size", 90);
  }
  int row = 0;
  for (const auto& entry : backup.ListBackups()) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = row;
    item.iImage = 0;
    item.pszText = const_cast<char*>(entry.name.c_str());
    item.lParam = entry.time;
    int index = ListView_InsertItem(list, &item);
    if (index < 0) continue;
    if (kind == BackupListKind::MainWindow)
      ListView_SetItemText(list, index, 1, const_cast<char*>(entry.sizeText.c_str()));
    ++row;
  }
}

SelectedBackup GetSelectedBackup(HWND list) {
  SelectedBackup selected;
  // The selection mark, as long as that row is still selected: a click on the
  // empty part of the list clears the selection but not the mark.
  int row = ListView_GetSelectionMark(list);
  if (row < 0 || !(ListView_GetItemState(list, row, LVIS_SELECTED) & LVIS_SELECTED))
    row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (row < 0) return selected;
  char text[512] = "";
  ListView_GetItemText(list, row, 0, text, sizeof text);
  selected.name = text;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (ListView_GetItem(list, &item)) selected.time = static_cast<int32_t>(item.lParam);
  return selected;
}

CRegistryBackup MainWindowBackup(IMainWindow& window) {
  HWND main = window.Window();
  auto box = std::make_shared<CBackupWaitDlg>();
  BackupObserver observer;
  observer.exportStarted = [main, box] { OnWindowThread(main, [box] { box->Open(GetModuleHandleA(nullptr)); }); };
  observer.exportFinished = [main, box] { OnWindowThread(main, [box] { box->Close(); }); };
  observer.busy = [](bool on) { SetCursor(LoadCursor(nullptr, on ? IDC_WAIT : IDC_ARROW)); };
  // The list shows startup entries on another tab; only the backup tab is refilled.
  observer.listChanged = [main, &window] {
    OnWindowThread(main, [&window] {
      if (window.SelectedTab() != kBackupManagerTab) return;
      CRegistryBackup backup(window.Database(), GetAppFolder(), window.Window());
      FillBackupList(window.List(), backup, BackupListKind::MainWindow);
    });
  };
  return CRegistryBackup(window.Database(), GetAppFolder(), main, std::move(observer));
}

void FillBackupTab(IMainWindow& window) {
  CRegistryBackup backup(window.Database(), GetAppFolder(), window.Window());
  FillBackupList(window.List(), backup, BackupListKind::MainWindow);
}

void RestoreFromBackupTab(IMainWindow& window) {
  SelectedBackup selected = GetSelectedBackup(window.List());
  MainWindowBackup(window).RestoreBackup(selected.name, selected.time);
}

void DeleteFromBackupTab(IMainWindow& window) {
  SelectedBackup selected = GetSelectedBackup(window.List());
  MainWindowBackup(window).DeleteBackup(selected.name, selected.time);
}

void RunRegistryBackup(IMainWindow& window) { MainWindowBackup(window).RunGeneralBackup(); }

void ShowRestoreManager(IMainWindow& window) {
  CRestoreManagerDlg dialog(window.Database(), GetAppFolder());
  dialog.DoModal(GetModuleHandleA(nullptr), window.Window());
}

}  // namespace tidewell
