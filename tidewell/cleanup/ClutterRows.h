#pragma once
// The Clutter-Meter's rows: what each says and where it stands, worked out
// from one measurement without touching a window.

#include <cstdint>
#include <string>
#include <vector>

#include "tidewell/cleanup/ClutterMeasure.h"

namespace tidewell {

enum class ClutterRowKind { Category, RecycleBin, LogFiles };

inline constexpr const char* kRecycleBinRow = "Recycle bin";
inline constexpr const char* kLogFilesRow = "Windows log files";

struct ClutterRow {
  int id = 0;  // stays with the row whatever position it takes
  ClutterRowKind kind = ClutterRowKind::Category;
  std::string name;
  std::string path;
  int image = 3;
  std::string fileNumber;
  std::string size;
  bool cleanable = true;  // false for a category whose folder did not expand to a usable path
  bool purgesUrlCache = false;  // see CleanupCategory
};

// Image of a row's name: indexes into the list's six icons.
int ClutterRowImage(const std::string& name);

// The rows in list order: the nine categories, each drive's "Recycle bin"
// row inserted at the drive's position (so the first drive's comes first)
// and then each drive's "Windows log files" row the same way. Log rows wait
// for the log-file scan ("*", "* Kb").
std::vector<ClutterRow> ArrangeClutterRows(const ClutterMeasurement& measurement, const std::string& windowsFolder);

// "500.00Kb", "2.00Mb": the log-file total, no blank before the unit.
std::string FormatLogSizeText(uint64_t kilobytes);
// The report with the log-file summary after it.
std::string AppendLogSummary(const std::string& report, uint32_t count, uint64_t kilobytes);

}  // namespace tidewell
