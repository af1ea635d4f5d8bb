#pragma once
// The small topmost "Please wait ..." box shown while reg.exe exports a key.
// The UI thread is blocked meanwhile, so the box is drawn once, up front.

#include "shared/win/Dialog.h"

namespace tidewell {

class CBackupWaitDlg : public Dialog {
 public:
  // Owned by the foreground window of this program, looked for during about a
  // second, else by the desktop.
  void Open(HINSTANCE instance);
  void Close();

 protected:
  bool OnInit() override;

 private:
  HWND owner_ = nullptr;
  HCURSOR previousCursor_ = nullptr;
};

}  // namespace tidewell
