#pragma once
// The application object: runs the main window modally for the whole run.

#include <windows.h>

namespace tidewell {

// The exit code when a worker did not end within the bounded wait at quit
// and the process had to be ended around it.
inline constexpr UINT kExitWorkersStuck = 3;

class CMainApp {
 public:
  // Returns the exit code: 0 for a clean end (kExitWorkersStuck otherwise).
  int Run(HINSTANCE instance);
};

}  // namespace tidewell
