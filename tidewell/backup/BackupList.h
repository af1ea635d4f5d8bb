#pragma once
// The backup list of the main window's "Backup manager" tab and of the
// Restore manager, and the main window's backup commands.

#include <windows.h>

#include <cstdint>
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

// The main window's backups: the wait box during exports, the list refreshed
// while the "Backup manager" tab shows it. Usable from worker threads.
CRegistryBackup MainWindowBackup(IMainWindow& window);

// The main window's handlers.
void FillBackupTab(IMainWindow& window);
void RestoreFromBackupTab(IMainWindow& window);
void DeleteFromBackupTab(IMainWindow& window);
void RunRegistryBackup(IMainWindow& window);
void ShowRestoreManager(IMainWindow& window);

}  // namespace tidewell
