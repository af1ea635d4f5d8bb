#include "tidewell/backup/BackupPage.h"

#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "shared/win/AppFolder.h"
#include "tidewell/backup/BackupList.h"
#include "tidewell/backup/BackupWaitBox.h"
#include "tidewell/backup/RestoreManagerDlg.h"

namespace tidewell {

PageLayout BackupPage::Layout() const {
  return {.title = "Backup manager", .tabIcon = IDI_REGISTRY, .view = PageView::List,
          .buttons = {{IDB_BACKUP_RESTORE, IDBMP_RESTORE}, {IDB_BACKUP_DELETE, IDBMP_DELETE}}};
}

void BackupPage::Shown() {
  list_ = main_.BorrowList();
  Fill();
}

void BackupPage::Fill() {
  CRegistryBackup backup(main_.Database(), GetAppFolder(), main_.Window());
  FillBackupList(main_.List(), backup, BackupListKind::MainWindow);
}

bool BackupPage::OnCommand(int id) {
  switch (id) {
    case IDB_BACKUP_RESTORE: RestoreSelected(); return true;
    case IDB_BACKUP_DELETE: DeleteSelected(); return true;
    case IDB_REGISTRY_BACKUP: RunRegistryBackup(); return true;
    case IDB_REGISTRY_RESTORE: {
      CRestoreManagerDlg dialog(main_, GetAppFolder());
      dialog.DoModal(GetModuleHandleA(nullptr), main_.Window());
      return true;
    }
    default: return false;
  }
}

CRegistryBackup BackupPage::MainWindowBackup() {
  HWND main = main_.Window();
  BackupObserver observer = WaitBoxObserver(main_.Reach());
  // The list shows startup entries on another tab; only this page's list is refilled.
  observer.listChanged = [this, list = list_] {
    if (GetWindowThreadProcessId(list.Window(), nullptr) != GetCurrentThreadId())
      list.Post([this] { Fill(); });
    else if (list.Live())
      Fill();
  };
  return CRegistryBackup(main_.Database(), GetAppFolder(), main, std::move(observer));
}

void BackupPage::RestoreSelected() {
  StartRestore(main_, GetAppFolder(), main_.Window(), GetSelectedBackup(main_.List()));
}

void BackupPage::DeleteSelected() {
  SelectedBackup selected = GetSelectedBackup(main_.List());
  MainWindowBackup().DeleteBackup(selected.name, selected.time);
}

void BackupPage::RunRegistryBackup(std::function<void()> then) {
  CRegistryBackup backup = MainWindowBackup();
  if (!backup.ConfirmBackup()) {
    if (then) then();
    return;
  }
  WindowReach reach = main_.Reach();
  main_.Workers().Start([backup, reach, then](const StopToken& stop) mutable {
    auto failed = std::make_shared<std::vector<std::string>>(backup.WriteGeneralBackup(stop));
    reach.Post([backup, failed, then]() mutable {
      backup.ReportGeneralBackup(*failed);
      if (then) then();
    });
  });
}

}  // namespace tidewell
