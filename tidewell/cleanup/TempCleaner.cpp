#include "tidewell/cleanup/TempCleaner.h"

#include <shellapi.h>
#include <wininet.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "shared/text/Text.h"
#include "shared/win/AppFolder.h"
#include "shared/win/Environment.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"
#include "tidewell/cleanup/ClutterMeasure.h"
#include "tidewell/removal/RemovalService.h"

namespace tidewell {

namespace {

constexpr DWORD kUrlEntryStart = 4096;
constexpr DWORD kUrlEntryLimit = 256 * 1024;  // no real entry comes near; a larger ask is not trusted

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

bool IsLink(DWORD attributes) { return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT); }

// Deletes one file, or schedules it for the next reboot when it stays.
void RemoveFile(const FolderScope& scope, const std::string& path, CleanupResult& result) {
  if (scope.DeleteFile(path)) {
    ++result.deletedFiles;
    return;
  }
  // Needs administrator rights; without them the file stays for good.
  if (scope.ScheduleDelete(path))
    result.scheduled.push_back(path);
  else
    result.failed.push_back(path);
}

// What no cleanup takes, whatever a category's folder holds: Tidewell's own
// folder, and the system's folders and those above them.
const RemovalGuards& CleanupGuards() {
  static const RemovalGuards guards{GetAppFolder(), {}};
  return guards;
}

// Visits a folder's entries below the scope's folder, never entering or
// touching links. `files` decides which files go; subfolders are emptied
// and, when `removeFolders`, removed. A guarded entry stays and counts as failed.
template <class FileFilter>
void CleanEntries(const FolderScope& scope, const std::string& folder, const FileFilter& files, bool removeFolders,
                  const StopToken& stop, CleanupResult& result) {
  ForEachFolderEntry(
      folder,
      [&](const FolderEntry& entry) {
        if (stop.StopRequested()) {
          result.stopped = true;
          return false;
        }
        if (entry.IsLink()) {
          ++result.skippedLinks;
        } else if ((entry.IsFolder() || files(entry.name)) && !CleanupGuards().PathRefusal(entry.path).empty()) {
          result.failed.push_back(entry.path);
        } else if (entry.IsFolder()) {
          CleanEntries(scope, entry.path, files, removeFolders, stop, result);
          if (removeFolders && !result.stopped) scope.RemoveFolder(entry.path);  // stays silently when not empty
        } else if (files(entry.name)) {
          RemoveFile(scope, entry.path, result);
        }
        return true;
      },
      &result.unreadable);
}

void ScanLogEntries(const std::string& folder, const StopToken& stop, LogFileTotals& totals,
                    const std::function<void(const LogFileTotals&)>& progress) {
  ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
    if (stop.StopRequested()) return false;
    if (entry.IsLink()) return true;
    if (entry.IsFolder()) {
      ScanLogEntries(entry.path, stop, totals, progress);
    } else if (IsLogFileName(entry.name)) {
      ++totals.count;
      totals.kilobytes += entry.size / 1024;
      if (progress) progress(totals);
    }
    return true;
  });
}

std::string Environment(const char* name) { return EnvironmentVariable(name, MAX_PATH - 1).value_or(""); }

struct UrlCacheFindTraits : NullEmptyTraits<HANDLE> {
  static void Close(HANDLE h) { FindCloseUrlCache(h); }
};
using UniqueUrlCacheFind = UniqueResource<HANDLE, UrlCacheFindTraits>;

}  // namespace

void CleanupResult::Add(const CleanupResult& other) {
  deletedFiles += other.deletedFiles;
  scheduled.insert(scheduled.end(), other.scheduled.begin(), other.scheduled.end());
  failed.insert(failed.end(), other.failed.begin(), other.failed.end());
  skippedLinks += other.skippedLinks;
  unreadable += other.unreadable;
  if (other.purgedUrls) purgedUrls = purgedUrls.value_or(0) + *other.purgedUrls;
  refused = refused || other.refused;
  stopped = stopped || other.stopped;
}

bool MayCleanFolder(const std::string& folder) {
  if (!IsCleanableFolder(folder)) return false;
  DWORD attributes = PathAttributes(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || IsLink(attributes))
    return false;
  std::string target = WithoutTrailingSeparator(folder);
  std::string windows = Environment("windir");
  for (const std::string& system :
       {windows, windows + "\\system32", windows + "\\syswow64", Environment("SystemRoot"), Environment("ProgramFiles"),
        Environment("ProgramFiles(x86)"), Environment("ProgramData"), Environment("USERPROFILE"),
        Environment("APPDATA"), Environment("LOCALAPPDATA"), Environment("PUBLIC")}) {
    if (!system.empty() && SameNameIgnoringCase(target, WithoutTrailingSeparator(system))) return false;
  }
  return true;
}

CleanupResult CleanFolder(const std::string& folder, const StopToken& stop) {
  CleanupResult result;
  if (!MayCleanFolder(folder)) {
    result.refused = true;
    return result;
  }
  CleanEntries(FolderScope(folder), folder, [](const std::string&) { return true; }, true, stop, result);
  return result;
}

bool IsLogFileName(const std::string& name) {
  std::string lower = LowerAscii(name);
  return lower.size() > 4 && lower.ends_with(".log") && lower != "install.log";
}

LogFileTotals ScanLogFiles(const std::string& folder, const StopToken& stop,
                           const std::function<void(const LogFileTotals&)>& progress) {
  LogFileTotals totals;
  if (IsCleanableFolder(folder)) ScanLogEntries(folder, stop, totals, progress);
  return totals;
}

CleanupResult DeleteLogFiles(const std::string& folder, const StopToken& stop) {
  CleanupResult result;
  DWORD attributes = PathAttributes(folder);
  if (!IsCleanableFolder(folder) || attributes == INVALID_FILE_ATTRIBUTES || IsLink(attributes)) {
    result.refused = true;
    return result;
  }
  CleanEntries(FolderScope(folder), folder, IsLogFileName, false, stop, result);
  return result;
}

size_t PurgeUrlCache() {
  size_t deleted = 0;
  DWORD capacity = kUrlEntryStart;
  auto buffer = std::make_unique<BYTE[]>(capacity);
  auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.get());
  DWORD size = capacity;
  UniqueUrlCacheFind find(FindFirstUrlCacheEntryA(nullptr, entry, &size));
  while (!find && GetLastError() == ERROR_INSUFFICIENT_BUFFER && size > capacity && size <= kUrlEntryLimit) {
    capacity = size;
    buffer = std::make_unique<BYTE[]>(capacity);
    entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.get());
    find.Reset(FindFirstUrlCacheEntryA(nullptr, entry, &size));
  }
  if (!find) return 0;
  for (;;) {
    if (entry->lpszSourceUrlName && DeleteUrlCacheEntryA(entry->lpszSourceUrlName)) ++deleted;
    size = capacity;
    if (FindNextUrlCacheEntryA(find.Get(), entry, &size)) continue;
    // Grows only to what the system asks for, once per entry, and never without bound.
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= capacity || size > kUrlEntryLimit) break;
    capacity = size;
    buffer = std::make_unique<BYTE[]>(capacity);
    entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.get());
    if (!FindNextUrlCacheEntryA(find.Get(), entry, &size)) break;
  }
  return deleted;
}

bool EmptyRecycleBin(HWND owner, const std::string& root, DWORD flags) {
  // An empty bin is not emptied: Windows refuses it, Wine would say it did.
  SHQUERYRBINFO bin{.cbSize = sizeof(SHQUERYRBINFO)};
  if (SUCCEEDED(SHQueryRecycleBinA(root.c_str(), &bin)) && bin.i64NumItems == 0) return false;
  return SUCCEEDED(SHEmptyRecycleBinA(owner, root.c_str(), flags));
}

}  // namespace tidewell
