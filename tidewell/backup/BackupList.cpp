#include "tidewell/backup/BackupList.h"

#include <commctrl.h>

#include <memory>
#include <vector>

#include "shared/win/ListView.h"
#include "tidewell/backup/BackupWaitBox.h"

namespace tidewell {

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

void StartRestore(IMainWindow& window, const std::string& appFolder, HWND owner, const SelectedBackup& selected) {
  CRegistryBackup backup(window.Database(), appFolder, owner, WaitBoxObserver(owner));
  if (!backup.ConfirmRestore(selected.name)) return;
  WindowReach reach = window.Reach();
  IMainWindow* main = &window;
  window.Workers().Start([backup, selected, reach, main, appFolder, owner](const StopToken& stop) mutable {
    auto result = std::make_shared<RestoreResult>(backup.ImportBackup(selected.name, selected.time, stop));
    // The answer goes to the main window, which outlives a closed Restore manager.
    reach.Post([result, main, appFolder, owner] {
      HWND answerOwner = IsWindow(owner) ? owner : main->Window();
      CRegistryBackup(main->Database(), appFolder, answerOwner).ReportRestore(*result);
    });
  });
}

}  // namespace tidewell
