// Tidewell's entry point.

#include <windows.h>

#include "tidewell/app/CommandLineRun.h"
#include "tidewell/app/MainApp.h"
#include "tidewell/app/OneTidewell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (std::optional<int> exitCode = tidewell::RunCommandLine()) return *exitCode;
  if (!tidewell::BecomeTheOneTidewell()) return 0;
  tidewell::CMainApp application;
  return application.Run(instance);
}
