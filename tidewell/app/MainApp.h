#pragma once
// The application object: runs the main window modally for the whole run.

#include <windows.h>

namespace tidewell {

class CMainApp {
 public:
  // Returns the exit code: 0 however the run ended.
  int Run(HINSTANCE instance);
};

}  // namespace tidewell
