#pragma once
// "Restore manager": the backups by name, with "Restore" and "Delete backup".

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "tidewell/backup/RegistryBackup.h"

namespace tidewell {

class CRestoreManagerDlg : public Dialog {
 public:
  CRestoreManagerDlg(CADODatabase& database, std::string appFolder);
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

  CADODatabase& database_;
  std::string appFolder_;
  HIMAGELIST images_ = nullptr;
};

}  // namespace tidewell
