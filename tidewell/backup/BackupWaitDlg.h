#pragma once
// The small topmost "Please wait ..." box shown while a backup or a restore
// waits for reg.exe on a worker.

#include "shared/win/Dialog.h"
#include "tidewell/backup/BackupWaitBox.h"

namespace tidewell {

class CBackupWaitDlg : public Dialog {
 public:
  // Owned by `owner`; without one, by the foreground window of this program,
  // looked for during about a second, else by the desktop.
  void Open(HINSTANCE instance, HWND owner = nullptr);
  void Close();

 protected:
  bool OnInit() override;

 private:
  HWND owner_ = nullptr;
  HCURSOR previousCursor_ = nullptr;
};

}  // namespace tidewell
