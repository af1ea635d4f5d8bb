// Tidewell's entry point.

#include <windows.h>

#include "tidewell/app/CommandLineRun.h"
#include "tidewell/app/MainApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (std::optional<int> exitCode = tidewell::RunCommandLine()) return *exitCode;
  tidewell::CMainApp application;
  return application.Run(instance);
}
