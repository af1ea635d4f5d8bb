#pragma once
// The main window's list on the "Startup manager" tab: the Run-key entries,
// their info tips, the "Submit information" menu and the list's commands.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/WindowReach.h"
#include "shared/win/Workers.h"
#include "tidewell/startup/StartupManager.h"

namespace tidewell {

// Columns "Application name", "Application path", "View" where the machine
// has two registry views, and "Signer" (filled in by CheckStartupSigners);
// image 1; item data = root code.
void FillStartupList(HWND list);
// Checks the signer of every row's program on one of workers and fills in its
// column through reach (take it from borrowing the list) as each is known.
void CheckStartupSigners(HWND list, const WindowReach& reach, WorkerGroup& workers);

// The selected row as an entry; empty texts when nothing is selected.
StartupEntry GetSelectedStartupEntry(HWND list);

// "Disable" and "Delete": refill the list when something was done.
void DisableSelectedStartupEntry(CADODatabase& database, const std::string& appFolder, HWND list, HWND owner);
void DeleteSelectedStartupEntry(CADODatabase& database, const std::string& appFolder, HWND list, HWND owner);

// LVN_GETINFOTIP: the description of the program of the row under the cursor.
void FillStartupInfoTip(CADODatabase& database, HWND list, NMLVGETINFOTIPA& tip);

// NM_RCLICK: the row under the cursor becomes the selection; for an unknown
// program the popup menu (with "Submit information") is shown at the cursor
// and its command goes to window. True when the menu was shown.
bool ShowStartupListMenu(CADODatabase& database, HWND list, HWND window, HMENU popup);

// The list's notifications while the "Startup manager" tab shows it: info
// tips (ANSI or wide) and the right-click menu. Returns the notification's result.
INT_PTR OnStartupListNotify(CADODatabase& database, HWND list, HWND window, HMENU popup, const NMHDR& header);

// ID_SUBMIT_INFORMATION: sends the selected entry on a worker; the answer's
// message is shown on window's thread when it arrives.
void SubmitStartupInfo(HWND list, const WindowReach& window, const std::string& host, WorkerGroup& workers);

}  // namespace tidewell
