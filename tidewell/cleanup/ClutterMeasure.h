#pragma once
// How much of the fixed drives temporary and leftover files take: the nine
// cleanup folders and the recycle bins. One measurement feeds both the main
// window's gauge and the Clutter-Meter's list and report.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shared/win/Workers.h"

namespace tidewell {

// One row of the Clutter-Meter per category, in list order.
struct CleanupCategory {
  const char* name;
  const char* folderPattern;     // expanded with ExpandEnvironmentPattern
  int image = 3;                 // of the list's six icons; 3 is the folder
  bool purgesUrlCache = false;   // its cleanup also deletes the URL cache's cookie entries
};
const std::array<CleanupCategory, 9>& CleanupCategories();
// The category of that name; nothing for a row of another kind.
const CleanupCategory* FindCleanupCategory(std::string_view name);

// Replaces each %name% by the environment value (empty when unset), until no
// pair of % signs is left. A lone % stays as it is.
std::string ExpandEnvironmentPattern(const std::string& pattern);

// Whether an expanded folder may be measured and cleaned: an absolute path
// below a drive ("C:\x"), no % left, never a drive root. An unset variable
// leaves "\recent", which would mean the current drive's root folder.
bool IsCleanableFolder(const std::string& folder);

struct FolderMeasure {
  uint32_t fileCount = 0;  // files directly in the folder
  uint64_t bytes = 0;      // all files, subfolders included
};
// A folder that cannot be read measures 0 files and 0 bytes. Links
// (reparse points) are not followed.
FolderMeasure MeasureFolder(const std::string& folder, const StopToken& stop = {});

// "%.2f %s": bytes, "Kb" above 1,024 or "Mb" above 1,048,576.
std::string FormatSizeText(uint64_t bytes);

struct DriveSpace {
  uint64_t totalBytes = 0;
  uint64_t freeBytes = 0;  // free on the whole drive, not only for this user
};
struct RecycleBin {
  int64_t items = 0;
  uint64_t bytes = 0;
};
struct FixedDrive {
  std::string root;  // "C:\"
  int position = 0;  // 10 per entry of the drive list before it: where its rows go
};

// What the measurement reads from the machine; the default reads the real one.
struct ClutterSources {
  std::function<std::vector<std::string>()> categoryFolders;  // the nine, expanded
  std::function<std::vector<FixedDrive>()> fixedDrives;       // drive-list order, at most 13 entries examined
  std::function<std::optional<DriveSpace>(const std::string& root)> driveSpace;
  std::function<std::optional<RecycleBin>(const std::string& root)> recycleBin;
  std::function<std::string()> homeDrive;  // "C:"
  // Every drive answers with the same one bin (Wine's trash); unset: one bin per drive.
  std::function<bool()> oneRecycleBin;
};
ClutterSources SystemClutterSources();

struct CategoryMeasure {
  std::string name;
  std::string folder;     // expanded
  bool cleanable = false; // see IsCleanableFolder; otherwise measured as 0
  FolderMeasure measure;
  bool counted = false;   // in the total: not already walked as part of another category
};
struct DriveMeasure {
  FixedDrive drive;
  RecycleBin bin;  // 0 when it cannot be read
};

// All sizes in kilobytes.
struct ClutterMeasurement {
  uint64_t totalKb = 0;          // all fixed drives
  uint64_t usedKb = 0;
  uint64_t freeKb = 0;
  uint64_t clutterKb = 0;        // the nine folders plus the recycle bins, each file once
  uint64_t clutterBytes = 0;
  uint64_t homeDriveTotalKb = 0; // the drive named by HomeDrive
  std::string report;            // the "System information" text
  std::vector<CategoryMeasure> categories;
  std::vector<DriveMeasure> drives;
};

// Whether the folder is walked as part of the outer one: the same folder or
// below it, reached without a link (a walk never enters one).
bool WalkedWithin(const std::string& folder, const std::string& outer);

// With a stop request the walk ends early and the result is incomplete.
ClutterMeasurement MeasureClutter(const ClutterSources& sources = SystemClutterSources(), const StopToken& stop = {});

}  // namespace tidewell
