#pragma once
// How much of the fixed drives temporary and leftover files take: the nine
// cleanup folders and the recycle bins. Feeds the main window's gauge and the
// Clutter-Meter.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

struct CleanupCategory {
  const char* name;
  const char* folderPattern;  // expanded with ExpandEnvironmentPattern
};
const std::array<CleanupCategory, 9>& CleanupCategories();

// Replaces each %name% by the environment value (empty when unset), until no
// pair of % signs is left. A lone % stays as it is.
std::string ExpandEnvironmentPattern(const std::string& pattern);

struct FolderMeasure {
  uint32_t fileCount = 0;  // files directly in the folder
  uint64_t bytes = 0;      // all files, subfolders included
};
// A folder that cannot be read measures 0 files and 0 bytes.
FolderMeasure MeasureFolder(const std::string& folder);

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

// What the measurement reads from the machine; the default reads the real one.
struct ClutterSources {
  std::function<std::vector<std::string>()> categoryFolders;  // the nine, expanded
  std::function<std::vector<std::string>()> fixedDriveRoots;  // "C:\", in drive-list order, at most 13 entries examined
  std::function<std::optional<DriveSpace>(const std::string& root)> driveSpace;
  std::function<std::optional<RecycleBin>(const std::string& root)> recycleBin;
  std::function<std::string()> homeDrive;  // "C:"
};
ClutterSources SystemClutterSources();

// All sizes in kilobytes.
struct ClutterMeasurement {
  uint64_t totalKb = 0;          // all fixed drives
  uint64_t usedKb = 0;
  uint64_t freeKb = 0;
  uint64_t clutterKb = 0;        // the nine folders plus the recycle bins
  uint64_t homeDriveTotalKb = 0; // the drive named by HomeDrive
  std::string report;            // the "System information" text
};

ClutterMeasurement MeasureClutter(const ClutterSources& sources = SystemClutterSources());

}  // namespace tidewell
