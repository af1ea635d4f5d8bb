#include "tidewell/backup/RestoreManagerDlg.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "tidewell/backup/BackupList.h"

namespace tidewell {

static_assert(CRestoreManagerDlg::IDD == IDD_RESTORE_MANAGER);

CRestoreManagerDlg::CRestoreManagerDlg(IMainWindow& main, std::string appFolder)
    : main_(main), appFolder_(std::move(appFolder)) {}

CRestoreManagerDlg::~CRestoreManagerDlg() = default;

HWND CRestoreManagerDlg::List() const { return Item(IDC_RESTORE_LIST); }

bool CRestoreManagerDlg::OnInit() {
  // The same picture the main window's list gives a backup, when the program carries it.
  if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_REGISTRY))) {
    images_.Reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1));
    ImageList_AddIcon(images_.Get(), icon);
    DestroyIcon(icon);
    ListView_SetImageList(List(), images_.Get(), LVSIL_SMALL);
  }
  Fill();
  return true;
}

bool CRestoreManagerDlg::OnCommand(int id, int code) {
  static const CommandEntry<CRestoreManagerDlg> commands[] = {
      {IDB_RESTORE_SELECTED, BN_CLICKED, &CRestoreManagerDlg::OnRestore},
      {IDB_DELETE_BACKUP, BN_CLICKED, &CRestoreManagerDlg::OnDeleteBackup},
  };
  return DispatchCommand(this, commands, id, code) || Dialog::OnCommand(id, code);
}

void CRestoreManagerDlg::Fill() {
  CRegistryBackup backup(main_.Database(), appFolder_, Handle());
  FillBackupList(List(), backup, BackupListKind::RestoreManager);
}

void CRestoreManagerDlg::OnRestore() {
  StartRestore(main_, appFolder_, Handle(), GetSelectedBackup(List()));
}

void CRestoreManagerDlg::OnDeleteBackup() {
  SelectedBackup selected = GetSelectedBackup(List());
  BackupObserver observer;
  observer.listChanged = [this] { Fill(); };
  CRegistryBackup backup(main_.Database(), appFolder_, Handle(), std::move(observer));
  backup.DeleteBackup(selected.name, selected.time);
}

}  // namespace tidewell
