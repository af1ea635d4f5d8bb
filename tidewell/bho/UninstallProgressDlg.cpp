#include "tidewell/bho/UninstallProgressDlg.h"

#include <commctrl.h>
#include <windowsx.h>

#include <atomic>
#include <optional>
#include <thread>

#include "resources/resource.h"
#include "shared/win/Prompt.h"
#include "tidewell/shell/Messages.h"

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


int UninstallBho(HWND mainWindow, CADODatabase& database, const std::string& appFolder, const SelectedBho& bho,
                 const UninstallTiming& timing) {
  if (Prompt(mainWindow, "Tidewell will terminate all linked processes (including IE). Do you want to proceed?",
             "Warning", MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
    return 0;
  CUninstallProgressDlg progress(timing.finalPause);
  HWND window = progress.Create(GetModuleHandleA(nullptr), IDD_UNINSTALL_PROGRESS, mainWindow);
  if (window) ShowWindow(window, SW_SHOW);
  // The steps run on a worker while this thread keeps the windows alive, as a
  // modal dialog would: the main window takes no input meanwhile.
  bool wasEnabled = mainWindow && !EnableWindow(mainWindow, FALSE);
  std::atomic<bool> finished{false};
  bool done = false;
  std::thread worker([&] {
    done = RunUninstallSteps(database, appFolder, bho, mainWindow, timing, [window](UninstallStep step) {
      static constexpr UINT kMessages[] = {WM_UNINSTALL_TERMINATED, WM_UNINSTALL_UNREGISTERED, WM_UNINSTALL_DELETED,
                                           WM_UNINSTALL_CLEANED};
      if (window) SendMessageA(window, kMessages[static_cast<int>(step)], 0, 0);
    });
    finished = true;
  });
  std::optional<int> quit;  // for the outer loop, once this one is over
  while (!finished) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = static_cast<int>(message.wParam);
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  worker.join();
  if (wasEnabled) EnableWindow(mainWindow, TRUE);
  if (quit) PostQuitMessage(*quit);
  if (window) SendMessageA(window, WM_UNINSTALL_CLOSE, 0, 0);
  PostMessageA(mainWindow, WM_REFRESH_BHOS, 0, 0);
  return done ? 1 : 0;
}

}  // namespace tidewell
