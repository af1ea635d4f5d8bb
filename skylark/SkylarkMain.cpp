// Skylark's entry point: the updater window, run modally, is the program.

#include <windows.h>

#include <commctrl.h>

#include "shared/win/RunningMark.h"
#include "skylark/SkylarkDialog.h"
#include "skylark/SkylarkResource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  tidewell::HoldRunningMark(tidewell::kSkylarkRunningName);  // an installer waits while it is held
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  auto* dialog = new tidewell::CSkylarkDialog;
  dialog->DoModal(instance, IDD_SKYLARK, nullptr);
  // A worker that did not stop in time still holds the database: leave it be
  // and end the process rather than close the connection under it.
  if (!dialog->WorkersEnded()) ExitProcess(0);
  dialog->Database().Close();
  delete dialog;
  return 0;
}
