#pragma once
// Watches the BHO key for changes, one change per thread: after a change the
// list is refreshed, just-written BHO keys are announced, and the main window
// is asked to start the next watcher.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Workers.h"

namespace tidewell {

struct KeyWatchTarget {
  HWND mainWindow = nullptr;  // receives WM_REFRESH_BHOS and WM_START_KEY_WATCH
  CADODatabase* database = nullptr;
  // Called on the watcher thread for each new BHO key, in turn; it hands the
  // popup to the UI thread and returns at once.
  std::function<void(const std::string& clsid, const std::string& name)> announce;
};

// The thread's whole work: 0 after a handled change, 1 after an error (the
// user has been told, and no further watcher is started), 2 when `stop`
// ended the wait (nothing is posted then).
DWORD WatchBhoKey(const KeyWatchTarget& target, const StopToken& stop = {});

// Announces every BHO key written within the last few seconds.
void CheckForNewBho(const KeyWatchTarget& target);

// The BHO subkeys (among the first 1000 of each registry view) written
// within the last few seconds, in key order; nothing when no view's BHO key
// can be opened.
std::optional<std::vector<std::string>> FindJustWrittenBhoKeys();

}  // namespace tidewell
