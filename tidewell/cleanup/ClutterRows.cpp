#include "tidewell/cleanup/ClutterRows.h"

#include <algorithm>
#include <cstdio>

namespace tidewell {

namespace {

void InsertAt(std::vector<ClutterRow>& rows, int position, ClutterRow row) {
  // A position beyond the end appends, as the list control does.
  size_t at = std::min(static_cast<size_t>(std::max(position, 0)), rows.size());
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
}

}  // namespace

int ClutterRowImage(const std::string& name) {
  if (const CleanupCategory* category = FindCleanupCategory(name)) return category->image;
  if (name.find(kLogFilesRow) != std::string::npos) return 5;
  if (name == kRecycleBinRow) return 0;
  return 3;
}

std::vector<ClutterRow> ArrangeClutterRows(const ClutterMeasurement& measurement, const std::string& windowsFolder) {
  std::vector<ClutterRow> rows;
  int id = 0;
  for (const CategoryMeasure& category : measurement.categories) {
    ClutterRow row;
    row.id = id++;
    row.name = category.name;
    row.path = category.folder;
    row.image = ClutterRowImage(category.name);
    row.fileNumber = std::to_string(category.measure.fileCount);
    row.size = FormatSizeText(category.measure.bytes);
    row.cleanable = category.cleanable;
    const CleanupCategory* kind = FindCleanupCategory(category.name);
    row.purgesUrlCache = kind && kind->purgesUrlCache;
    rows.push_back(std::move(row));
  }
  for (const DriveMeasure& drive : measurement.drives) {
    ClutterRow row;
    row.id = id++;
    row.kind = ClutterRowKind::RecycleBin;
    row.name = kRecycleBinRow;
    row.path = drive.drive.root;
    row.image = 0;
    row.fileNumber = std::to_string(drive.bin.items);
    char size[64];
    std::snprintf(size, sizeof size, "%.2f MB", static_cast<double>(drive.bin.bytes) / 1048576.0);
    row.size = size;
    InsertAt(rows, drive.drive.position, std::move(row));
  }
  for (const DriveMeasure& drive : measurement.drives) {
    ClutterRow row;
    row.id = id++;
    row.kind = ClutterRowKind::LogFiles;
    row.name = kLogFilesRow;
    row.path = windowsFolder;
    row.image = 5;
    row.fileNumber = "*";
    row.size = "* Kb";
    row.cleanable = IsCleanableFolder(windowsFolder);
    InsertAt(rows, drive.drive.position, std::move(row));
  }
  return rows;
}

std::string FormatLogSizeText(uint64_t kilobytes) {
  char text[64];
  if (kilobytes > 1024)
    std::snprintf(text, sizeof text, "%.2fMb", static_cast<double>(kilobytes) / 1024.0);
  else
    std::snprintf(text, sizeof text, "%.2fKb", static_cast<double>(kilobytes));
  return text;
}

std::string AppendLogSummary(const std::string& report, uint32_t count, uint64_t kilobytes) {
  char summary[128];
  std::snprintf(summary, sizeof summary, "\r\n\r\nLog files: %u\r\nSize: %.2f MB", count,
                static_cast<double>(kilobytes) / 1024.0);
  return report + summary;
}

}  // namespace tidewell
