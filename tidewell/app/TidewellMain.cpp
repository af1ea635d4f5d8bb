// Tidewell's entry point.

#include <windows.h>

#include "tidewell/app/MainApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  tidewell::CMainApp application;
  return application.Run(instance);
}
