#include "tidewell/cleanup/ClutterMeasure.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "shared/text/Text.h"
#include "shared/win/Environment.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"

namespace tidewell {

namespace {

constexpr uint64_t kMegabyte = 1024 * 1024;
constexpr size_t kDriveListLength = 128;  // the drive list is read into this much
constexpr size_t kDriveEntryStep = 10;    // so at most 13 entries are examined

void AddFolder(const std::string& folder, FolderMeasure& measure, bool top, const StopToken& stop) {
  ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
    if (stop.StopRequested()) return false;
    if (!entry.IsFolder()) {
      if (top) ++measure.fileCount;
      measure.bytes += entry.size;
    } else if (!entry.IsLink()) {
      AddFolder(entry.path, measure, false, stop);  // junctions would count their target twice or loop
    }
    return true;
  });
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

bool IsLinkFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string Format(const char* format, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

}  // namespace

const std::array<CleanupCategory, 9>& CleanupCategories() {
  static const std::array<CleanupCategory, 9> categories{{
      {.name = "Windows Temporary Files", .folderPattern = "%windir%\\temp"},
      {.name = "Cookies", .folderPattern = "%userprofile%\\cookies", .image = 4, .purgesUrlCache = true},
      {.name = "Recent files", .folderPattern = "%userprofile%\\recent", .image = 2},
      {.name = "Internet history", .folderPattern = "%userprofile%\\local settings\\history", .image = 1},
      {.name = "User temporary files", .folderPattern = "%userprofile%\\local settings\\temp"},
      {.name = "Internet cache", .folderPattern = "%userprofile%\\local settings\\temporary internet files"},
      {.name = "Windows internet cache", .folderPattern = "%windir%\\temp\\Temporary Internet Files"},
      {.name = "Windows internet history", .folderPattern = "%windir%\\temp\\History"},
      {.name = "Windows internet cookies", .folderPattern = "%windir%\\temp\\Cookies"},
  }};
  return categories;
}

const CleanupCategory* FindCleanupCategory(std::string_view name) {
  for (const CleanupCategory& category : CleanupCategories())
    if (name == category.name) return &category;
  return nullptr;
}

std::string ExpandEnvironmentPattern(const std::string& pattern) {
  constexpr int kNestingPasses = 8;  // values may name further variables
  return ExpandEnvironment(pattern, ProcessEnvironment(200), kNestingPasses);
}

bool IsCleanableFolder(const std::string& folder) {
  if (folder.size() < 4 || folder.find('%') != std::string::npos) return false;
  bool letter = (folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z');
  if (!letter || folder[1] != ':' || folder[2] != '\\') return false;
  if (folder.find("\\..") != std::string::npos) return false;  // could climb back to the root
  // Nothing but separators, dots and blanks after the drive would name the root itself.
  return folder.find_first_not_of("\\. ", 3) != std::string::npos;
}

bool WalkedWithin(const std::string& folder, const std::string& outer) {
  std::string inner = WithoutTrailingSeparators(folder), base = WithoutTrailingSeparators(outer);
  if (inner.size() < base.size() || !EqualsNoCase(inner.substr(0, base.size()), base)) return false;
  if (inner.size() == base.size()) return true;
  if (inner[base.size()] != '\\') return false;
  // Each step below the outer folder must be a plain folder for its walk to reach it.
  for (size_t at = inner.find('\\', base.size() + 1);; at = inner.find('\\', at + 1)) {
    if (IsLinkFolder(inner.substr(0, at))) return false;
    if (at == std::string::npos) return true;
  }
}

FolderMeasure MeasureFolder(const std::string& folder, const StopToken& stop) {
  FolderMeasure measure;
  AddFolder(folder, measure, true, stop);
  return measure;
}

std::string FormatSizeText(uint64_t bytes) {
  float size = static_cast<float>(bytes);
  const char* unit = "bytes";
  if (bytes > kMegabyte) {
    size /= static_cast<float>(kMegabyte);
    unit = "Mb";
  } else if (bytes > 1024) {
    size /= 1024.0f;
    unit = "Kb";
  }
  return Format("%.2f %s", static_cast<double>(size), unit);
}

ClutterSources SystemClutterSources() {
  ClutterSources sources;
  sources.categoryFolders = [] {
    std::vector<std::string> folders;
    for (const CleanupCategory& category : CleanupCategories())
      folders.push_back(ExpandEnvironmentPattern(category.folderPattern));
    return folders;
  };
  sources.fixedDrives = [] {
    std::vector<FixedDrive> roots;
    char list[kDriveListLength] = {};
    DWORD length = GetLogicalDriveStringsA(sizeof list, list);
    if (length == 0 || length > sizeof list) return roots;
    // Entries sit at the step the drive list has always been walked with.
    for (size_t k = 0, at = 0; k < kDriveListLength && at < length && list[at]; k += kDriveEntryStep) {
      std::string root = list + at;
      at += root.size() + 1;
      if (GetDriveTypeA(root.c_str()) == DRIVE_FIXED) roots.push_back({root, static_cast<int>(k)});
    }
    return roots;
  };
  sources.driveSpace = [](const std::string& root) -> std::optional<DriveSpace> {
    ULARGE_INTEGER available{}, total{}, totalFree{};
    if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &totalFree)) return std::nullopt;
    return DriveSpace{total.QuadPart, totalFree.QuadPart};
  };
  sources.recycleBin = [](const std::string& root) -> std::optional<RecycleBin> {
    SHQUERYRBINFO info{};
    info.cbSize = sizeof info;
    if (FAILED(SHQueryRecycleBinA(root.c_str(), &info))) return std::nullopt;
    return RecycleBin{info.i64NumItems, static_cast<uint64_t>(info.i64Size)};
  };
  sources.homeDrive = [] { return EnvironmentVariable("HomeDrive", 200).value_or(""); };
  sources.oneRecycleBin = RunningUnderWine;
  return sources;
}

ClutterMeasurement MeasureClutter(const ClutterSources& sources, const StopToken& stop) {
  ClutterMeasurement result;
  uint64_t clutterBytes = 0, totalBytes = 0, usedBytes = 0, freeBytes = 0;
  result.report = "\r\nSystem information\r\n\r\n";
  std::vector<std::string> folders = sources.categoryFolders();
  const auto& categories = CleanupCategories();
  for (size_t i = 0; i < folders.size(); ++i) {
    CategoryMeasure category;
    category.name = i < categories.size() ? categories[i].name : "";
    category.folder = folders[i];
    category.cleanable = IsCleanableFolder(category.folder);
    if (category.cleanable) category.measure = MeasureFolder(category.folder, stop);
    result.categories.push_back(std::move(category));
  }
  // A category inside another (the Windows folder's internet caches lie in
  // its temporary folder) has its files in that one's total already.
  for (CategoryMeasure& category : result.categories) {
    if (!category.cleanable) continue;
    category.counted = true;
    for (const CategoryMeasure& other : result.categories) {
      if (&other == &category || !other.cleanable || !WalkedWithin(category.folder, other.folder)) continue;
      // Of two names for one folder the first counts.
      if (!WalkedWithin(other.folder, category.folder) || &other < &category) category.counted = false;
    }
    if (category.counted) clutterBytes += category.measure.bytes;
  }
  const bool oneBin = sources.oneRecycleBin && sources.oneRecycleBin();
  bool binCounted = false;
  std::string homeDrive = sources.homeDrive();
  for (const FixedDrive& drive : sources.fixedDrives()) {
    if (stop.StopRequested()) break;
    const std::string& root = drive.root;
    DriveMeasure measured{drive, {}};
    if (auto bin = sources.recycleBin(root)) {
      measured.bin = *bin;
      if (!oneBin || !binCounted) clutterBytes += bin->bytes;
      binCounted = true;
    }
    result.drives.push_back(measured);
    auto space = sources.driveSpace(root);
    if (!space) continue;
    uint64_t used = space->totalBytes >= space->freeBytes ? space->totalBytes - space->freeBytes : 0;
    totalBytes += space->totalBytes;
    usedBytes += used;
    freeBytes += space->freeBytes;
    if (!homeDrive.empty() && root.find(homeDrive) != std::string::npos)
      result.homeDriveTotalKb = space->totalBytes / 1024;
    result.report += Format("*** Hard Disk: (%s) ***\r\n", root.c_str());
    result.report += Format("Total size: %llu (MB)\r\n", static_cast<unsigned long long>(space->totalBytes / kMegabyte));
    result.report += Format("Used: %llu (MB)\r\n", static_cast<unsigned long long>(used / kMegabyte));
    result.report += Format("Free: %llu (MB)\r\n", static_cast<unsigned long long>(space->freeBytes / kMegabyte));
    result.report += "\r\n\r\n";
  }
  result.report += "*************\r\n\r\nTotal size of temporary files :\r\n" + FormatSizeText(clutterBytes);
  result.totalKb = totalBytes / 1024;
  result.usedKb = usedBytes / 1024;
  result.freeKb = freeBytes / 1024;
  result.clutterBytes = clutterBytes;
  result.clutterKb = clutterBytes / 1024;
  return result;
}

}  // namespace tidewell
