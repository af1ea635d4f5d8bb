#pragma once
// "Restore manager": the backups by name, with "Restore" and "Delete backup".
// A restore runs on one of the main window's workers.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/shell/MainWindow.h"

namespace tidewell {

class CRestoreManagerDlg : public Dialog {
 public:
  CRestoreManagerDlg(IMainWindow& main, std::string appFolder);
  ~CRestoreManagerDlg() override;

  INT_PTR DoModal(HINSTANCE instance, HWND owner) { return Dialog::DoModal(instance, IDD, owner); }
  HWND List() const;

  static constexpr int IDD = 191;

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;

 private:
  void OnRestore();
  void OnDeleteBackup();
  void Fill();

  IMainWindow& main_;
  std::string appFolder_;
  UniqueImageList images_;
};

}  // namespace tidewell
