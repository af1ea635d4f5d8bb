#pragma once
// The backup list of the main window's "Backup manager" tab and of the
// Restore manager, and the main window's backup commands. Backups and
// restores ask on the UI thread, wait for reg.exe on one of the main window's
// workers behind the wait box, and answer on the UI thread again.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "tidewell/shell/MainWindow.h"
#include "tidewell/backup/RegistryBackup.h"

namespace tidewell {

enum class BackupListKind {
  MainWindow,      // report view: "Bakup name" and "Bakup size", re-created on every fill
  RestoreManager,  // names only
};

// Fills the list newest first; each row's item data is the backup time.
void FillBackupList(HWND list, CRegistryBackup& backup, BackupListKind kind);

struct SelectedBackup {
  std::string name;  // empty when no row is selected
  int32_t time = 0;
};
SelectedBackup GetSelectedBackup(HWND list);

// The main window's backups: the wait box while reg.exe runs, the list
// refreshed while the "Backup manager" tab shows it. Usable from worker threads.
CRegistryBackup MainWindowBackup(IMainWindow& window);

// Restores the selected backup after the question; `owner` owns the
// question, the wait box and, while it lives, the answer.
void StartRestore(IMainWindow& window, const std::string& appFolder, HWND owner, const SelectedBackup& selected);

// The main window's handlers. `then` runs on the UI thread once the general
// backup has answered, or was declined.
void FillBackupTab(IMainWindow& window);
void RestoreFromBackupTab(IMainWindow& window);
void DeleteFromBackupTab(IMainWindow& window);
void RunRegistryBackup(IMainWindow& window, std::function<void()> then = {});
void ShowRestoreManager(IMainWindow& window);

}  // namespace tidewell
