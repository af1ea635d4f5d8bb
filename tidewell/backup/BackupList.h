#pragma once
// The backup list of the main window's "Backup manager" tab and of the
// Restore manager, and the restore both start.

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

// Restores the selected backup after the question; `owner` owns the
// question, the wait box and, while it lives, the answer.
void StartRestore(IMainWindow& window, const std::string& appFolder, HWND owner, const SelectedBackup& selected);

}  // namespace tidewell
