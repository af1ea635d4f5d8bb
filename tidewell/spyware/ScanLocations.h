#pragma once
// The scan-location tree of the "Spyware Scanner" tab and its table spwscan:
// every check-box change is saved at once as "include" or "exclude", and a
// scan reads its scope from the table once, when it starts.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "tidewell/spyware/SpywareScan.h"

namespace tidewell {

inline constexpr LPARAM kFileSystemItem = 1010;
inline constexpr const char* kScanRootText = "Scan my PC";
inline constexpr const char* kMyComputerPrefix = "Scan my PC\\My computer\\";

// Texts from the root down joined by backslashes, without doubling one that
// an ancestor's text (a drive) already ends with.
std::string JoinLocation(const std::vector<std::string>& texts);
std::string LocationPath(HWND tree, HTREEITEM item);
// A drive or folder item's path on disk; "" for the other items.
std::string FileSystemPath(HWND tree, HTREEITEM item);

// The drives the tree offers (worker side): "C:\" and so on.
std::vector<std::string> ListScanDrives();
// Rebuilds the tree unchecked and empties spwscan (UI thread).
void BuildLocationTree(HWND tree, const std::vector<std::string>& drives, CADODatabase& database);

void SaveLocationChoice(CADODatabase& database, const std::string& location, bool include);
// Every loaded descendant (placeholders aside) takes the state and gets its row.
void ApplyChoiceToChildren(CADODatabase& database, HWND tree, HTREEITEM item, bool checked);
// A check box about to flip by mouse or space bar: children and row follow.
void ToggleLocation(CADODatabase& database, HWND tree, HTREEITEM item);
// The tree's notifications on the scanner tab: expanding, check clicks, space bar.
INT_PTR OnLocationTreeNotify(CADODatabase& database, HWND tree, const NMHDR& header);

// The five questions of a scan, asked once.
bool IsMemoryIncluded(CADODatabase& database);
bool IsRegistryIncluded(CADODatabase& database);
bool IsCookiesIncluded(CADODatabase& database);
bool IsMyComputerIncluded(CADODatabase& database);
std::vector<std::string> GetIncludedFolders(CADODatabase& database);
bool HasAnyLocationRow(CADODatabase& database);
ScanScope ReadScanScope(CADODatabase& database);

}  // namespace tidewell
