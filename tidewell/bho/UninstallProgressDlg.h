#pragma once
// The small window that ticks off the four uninstall steps. It is driven by
// messages the uninstall's worker sends it, so it repaints itself on each one.

#include <windows.h>

#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Registry.h"
#include "tidewell/bho/BhoListing.h"
#include "tidewell/bho/BhoUninstaller.h"

namespace tidewell {

inline constexpr UINT WM_UNINSTALL_TERMINATED = WM_USER + 4;    // 1028
inline constexpr UINT WM_UNINSTALL_UNREGISTERED = WM_USER + 5;  // 1029
inline constexpr UINT WM_UNINSTALL_DELETED = WM_USER + 6;       // 1030
inline constexpr UINT WM_UNINSTALL_CLEANED = WM_USER + 7;       // 1031
inline constexpr UINT WM_UNINSTALL_CLOSE = 0xC0DE;

class CUninstallProgressDlg : public Dialog {
 public:
  explicit CUninstallProgressDlg(DWORD finalPause = 500) : finalPause_(finalPause) {}

 protected:
  bool OnInit() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void Tick(int checkId, int position);
  DWORD finalPause_;
};


// Asks first; then ends the linked processes, unregisters the BHO, deletes
// its file and cleans its registry traces, ticking them off in the progress
// window, and posts WM_REFRESH_BHOS to the main window. Its keys and file
// are kept in appFolder's BKUP first. 1 when it ran, 0 when the user
// declined or the keys could not be kept.
int UninstallBho(HWND mainWindow, CADODatabase& database, const std::string& appFolder, const SelectedBho& bho,
                 const UninstallTiming& timing = {});

}  // namespace tidewell
