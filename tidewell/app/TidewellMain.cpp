// Tidewell's entry point: open the database beside the program, then run the
// main window until the user quits.

#include <windows.h>
#include <commctrl.h>

#include "resource.h"
#include "shared/win/AppFolder.h"
#include "tidewell/app/Startup.h"

namespace {

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_MAIN_DATABASE_PATH, reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  tidewell::CADODatabase database;
  if (!tidewell::OpenDatabaseBesideProgram(database, tidewell::GetProgramPath(), nullptr)) return 0;

  std::string databasePath = tidewell::GetDatabasePath();
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN_DIALOG), nullptr, MainDialogProc,
                  reinterpret_cast<LPARAM>(databasePath.c_str()));
  database.Close();
  return 0;
}
