#include "tidewell/backup/BackupList.h"

#include <commctrl.h>

#include <memory>
#include <vector>

#include "shared/win/AppFolder.h"
#include "shared/win/UiThread.h"
#include "shared/win/ListView.h"
#include "tidewell/backup/BackupWaitDlg.h"
#include "tidewell/backup/RestoreManagerDlg.h"

namespace tidewell {

namespace {

constexpr int kBackupManagerTab = 2;

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
  bool mainWindow = kind == BackupListKind::MainWindow;
  if (mainWindow) SetListColumns(list, {{"Bakup name", 320}, {"Bakup size", 90}});
  for (const auto& entry : backup.ListBackups()) {
    std::vector<std::string> texts{entry.name};
    if (mainWindow) texts.push_back(entry.sizeText);
    AppendListRow(list, texts, 0, entry.time);
  }
}

SelectedBackup GetSelectedBackup(HWND list) {
  SelectedBackup selected;
  int row = SelectedListRow(list);
  if (row < 0) return selected;
  selected.name = ListItemText(list, row, 0);
  if (auto time = ListItemData(list, row)) selected.time = static_cast<int32_t>(*time);
  return selected;
}

CRegistryBackup MainWindowBackup(IMainWindow& window) {
  HWND main = window.Window();
  auto box = std::make_shared<CBackupWaitDlg>();
  BackupObserver observer;
  observer.waitStarted = [main, box] { OnWindowThread(main, [box] { box->Open(GetModuleHandleA(nullptr)); }); };
  observer.waitFinished = [main, box] { OnWindowThread(main, [box] { box->Close(); }); };
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
