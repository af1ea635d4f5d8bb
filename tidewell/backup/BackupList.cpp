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

// Runs work on one of the window's workers and then done, with its result, on
// the window's thread. Nothing runs once the workers take no more (quitting).
template <class Result>
void RunInBackground(IMainWindow& window, std::function<Result(const StopToken&)> work,
                     std::function<void(Result&)> done) {
  HWND main = window.Window();
  window.Workers().Start([main, work = std::move(work), done = std::move(done)](const StopToken& stop) {
    auto result = std::make_shared<Result>(work(stop));
    PostToWindow(main, [done, result] { done(*result); });
  });
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
  BackupObserver observer = WaitBoxObserver(main);
  // The list shows startup entries on another tab; only the backup tab is refilled.
  observer.listChanged = [main, &window] {
    auto refill = [&window] {
      if (window.SelectedTab() != kBackupManagerTab) return;
      CRegistryBackup backup(window.Database(), GetAppFolder(), window.Window());
      FillBackupList(window.List(), backup, BackupListKind::MainWindow);
    };
    if (GetWindowThreadProcessId(main, nullptr) == GetCurrentThreadId())
      refill();
    else
      PostToWindow(main, refill);
  };
  return CRegistryBackup(window.Database(), GetAppFolder(), main, std::move(observer));
}

void StartRestore(IMainWindow& window, const std::string& appFolder, HWND owner, const SelectedBackup& selected) {
  CRegistryBackup backup(window.Database(), appFolder, owner, WaitBoxObserver(owner));
  if (!backup.ConfirmRestore(selected.name)) return;
  RunInBackground<RestoreResult>(
      window,
      [backup, selected](const StopToken& stop) mutable {
        return backup.ImportBackup(selected.name, selected.time, stop);
      },
      // The answer goes to the main window, which outlives a closed Restore manager.
      [&window, appFolder, owner](RestoreResult& result) {
        HWND answerOwner = IsWindow(owner) ? owner : window.Window();
        CRegistryBackup(window.Database(), appFolder, answerOwner).ReportRestore(result);
      });
}

void FillBackupTab(IMainWindow& window) {
  CRegistryBackup backup(window.Database(), GetAppFolder(), window.Window());
  FillBackupList(window.List(), backup, BackupListKind::MainWindow);
}

void RestoreFromBackupTab(IMainWindow& window) {
  StartRestore(window, GetAppFolder(), window.Window(), GetSelectedBackup(window.List()));
}

void DeleteFromBackupTab(IMainWindow& window) {
  SelectedBackup selected = GetSelectedBackup(window.List());
  MainWindowBackup(window).DeleteBackup(selected.name, selected.time);
}

void RunRegistryBackup(IMainWindow& window, std::function<void()> then) {
  CRegistryBackup backup = MainWindowBackup(window);
  if (!backup.ConfirmBackup()) {
    if (then) then();
    return;
  }
  RunInBackground<std::vector<std::string>>(
      window, [backup](const StopToken& stop) mutable { return backup.WriteGeneralBackup(stop); },
      [backup, then](std::vector<std::string>& failed) mutable {
        backup.ReportGeneralBackup(failed);
        if (then) then();
      });
}

void ShowRestoreManager(IMainWindow& window) {
  CRestoreManagerDlg dialog(window, GetAppFolder());
  dialog.DoModal(GetModuleHandleA(nullptr), window.Window());
}

}  // namespace tidewell
