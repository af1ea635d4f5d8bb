#include "tidewell/app/MainApp.h"

#include <commctrl.h>
#include <objbase.h>

#include "resources/resource.h"
#include "shared/win/AppFolder.h"
#include "tidewell/app/MainDialog.h"

namespace tidewell {

int CMainApp::Run(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // for the shell's "open"
  {
    CMainDialog dialog(GetProgramPath());
    dialog.DoModal(instance, IDD_MAIN_DIALOG, nullptr);
    // A quit message ends the modal run; make sure the window (and with it the
    // tray icon) is gone before the database closes.
    if (dialog.Handle()) DestroyWindow(dialog.Handle());
    // Ended at once, without the libraries' exit code running beside a
    // stuck worker, and before the database closes under it; the exit code
    // says so, since no clean end could be had.
    if (!dialog.WorkersStopped()) TerminateProcess(GetCurrentProcess(), kExitWorkersStuck);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace tidewell
