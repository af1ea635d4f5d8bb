#pragma once
// The "Spyware Scanner" tab of the main window: the location tree, the "Scan"
// button and the results. The main window's handlers call these.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "tidewell/shell/MainWindow.h"

namespace tidewell {

// Each showing of the tab: a worker lists the drives, and the tree is rebuilt
// only for the latest request and only while the tab is still selected.
void FillScanLocations(IMainWindow& window);
// The tree's notifications while the tab is selected.
INT_PTR OnScanTreeNotify(IMainWindow& window, const NMHDR& header);
// "Scan": one scan at a time, its scope read once now.
void StartSpywareScan(IMainWindow& window);

// For tests: whether a scan (or its results dialog) is still open, and the
// results dialog's window while it is shown.
bool SpywareScanRunning();
HWND SpywareResultsWindow();
// For tests: where the definitions are read from instead of beside the
// database (empty: beside the database).
void SetDefinitionsPathForTests(const std::string& path);

}  // namespace tidewell
