#pragma once
// Removing what the Clutter-Meter measured: the contents of a temporary
// folder, the log files below the Windows folder, the URL cache and a drive's
// recycle bin. Links (junctions, symbolic links) are never followed and never
// removed: under Wine the profile's Desktop and Documents are links into the
// Linux home. Nothing the removal guards keep is taken.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shared/win/Workers.h"

namespace tidewell {

struct CleanupResult {
  uint64_t deletedFiles = 0;
  std::vector<std::string> scheduled;  // could not be deleted; will go at the next reboot
  std::vector<std::string> failed;     // neither deleted nor scheduled
  uint32_t skippedLinks = 0;
  uint32_t unreadable = 0;             // names that are not plain or do not convert: left alone
  bool refused = false;                // the folder is not one that may be cleaned
  std::optional<size_t> purgedUrls;    // the URL cache was purged too: how many entries went
  bool stopped = false;

  void Add(const CleanupResult& other);
};

// Whether a folder may be emptied: a usable absolute folder (IsCleanableFolder),
// not a link itself, and none of the system's own folders (the Windows and
// system folders, Program Files, the profile itself).
bool MayCleanFolder(const std::string& folder);

// Deletes every file in the folder and its subfolders, then the subfolders;
// the folder itself stays. A file that cannot be deleted is scheduled for
// deletion at the next reboot. A file counts as deleted only when a look-up
// afterwards no longer finds it.
CleanupResult CleanFolder(const std::string& folder, const StopToken& stop = {});

// "*.log" in any case, but not "install.log".
bool IsLogFileName(const std::string& name);

// Counts the log files below a folder (lengths in whole kilobytes, rounded
// down per file); `progress` hears the running totals after each file.
struct LogFileTotals {
  uint32_t count = 0;
  uint64_t kilobytes = 0;
};
LogFileTotals ScanLogFiles(const std::string& folder, const StopToken& stop,
                           const std::function<void(const LogFileTotals&)>& progress = {});

// Deletes the log files below a folder, as CleanFolder deletes files.
CleanupResult DeleteLogFiles(const std::string& folder, const StopToken& stop = {});

// Deletes every entry of the system's URL cache; returns how many went.
size_t PurgeUrlCache();

// Empties a drive's recycle bin; flags as for SHEmptyRecycleBin (0: the
// system's own confirmation, progress and sound). True when it held something
// and was emptied.
bool EmptyRecycleBin(HWND owner, const std::string& root, DWORD flags = 0);

}  // namespace tidewell
