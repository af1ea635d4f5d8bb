#include "tidewell/bho/UninstallProgressDlg.h"

#include <commctrl.h>
#include <windowsx.h>

#include "resources/resource.h"
#include "shared/win/Prompt.h"
#include "tidewell/shell/Messages.h"
#include "tidewell/bho/BhoCatalog.h"

namespace tidewell {

bool CUninstallProgressDlg::OnInit() {
  SendMessageA(Item(IDC_UNINSTALL_PROGRESS), PBM_SETRANGE32, 0, 4);
  return true;
}

void CUninstallProgressDlg::Tick(int checkId, int position) {
  Button_SetCheck(Item(checkId), BST_CHECKED);
  SendMessageA(Item(IDC_UNINSTALL_PROGRESS), PBM_SETPOS, position, 0);
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

INT_PTR CUninstallProgressDlg::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
  handled = true;
  switch (message) {
    case WM_UNINSTALL_TERMINATED: Tick(IDC_UNINSTALL_TERMINATE_CHECK, 1); break;
    case WM_UNINSTALL_UNREGISTERED: Tick(IDC_UNINSTALL_UNREGISTER_CHECK, 2); break;
    case WM_UNINSTALL_DELETED: Tick(IDC_UNINSTALL_DELETE_CHECK, 3); break;
    case WM_UNINSTALL_CLEANED:
      Tick(IDC_UNINSTALL_REGISTRY_CHECK, 4);
      Sleep(finalPause_);
      break;
    case WM_UNINSTALL_CLOSE: Destroy(); break;
    default: handled = false; break;
  }
  return handled ? TRUE : FALSE;
}


int UninstallBho(HWND mainWindow, CADODatabase& database, const SelectedBho& bho, const UninstallTiming& timing) {
  if (Prompt(mainWindow, "Tidewell will terminate all linked processes (including IE). Do you want to proceed?",
             "Warning", MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
    return 0;
  // Resolved once: the unregistration removes the class key that names the file.
  std::string file = BhoFile(bho.clsid, bho.view);
  std::string name = BhoName(database, bho.clsid);

  CUninstallProgressDlg progress(timing.finalPause);
  HWND window = progress.Create(GetModuleHandleA(nullptr), IDD_UNINSTALL_PROGRESS, mainWindow);
  if (window) ShowWindow(window, SW_SHOW);
  auto step = [&](UINT message) {
    if (window) SendMessageA(window, message, 0, 0);
  };

  if (!TerminateLinkedProcesses(bho.processes, mainWindow))
    Prompt(mainWindow, "BHO might not uninstall properly", "Tidewell", MB_OK);
  step(WM_UNINSTALL_TERMINATED);
  Sleep(timing.stepPause);

  UnregisterBho(database, file, name, mainWindow, timing.unregister);
  step(WM_UNINSTALL_UNREGISTERED);
  Sleep(timing.stepPause);

  if (!file.empty()) DeleteFileA(file.c_str());
  step(WM_UNINSTALL_DELETED);
  Sleep(timing.stepPause);

  RemoveBhoRegistryTraces(bho.clsid, bho.view);
  step(WM_UNINSTALL_CLEANED);
  step(WM_UNINSTALL_CLOSE);

  PostMessageA(mainWindow, WM_REFRESH_BHOS, 0, 0);
  return 1;
}

}  // namespace tidewell
