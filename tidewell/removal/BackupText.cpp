#include "tidewell/removal/BackupText.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>

#include "shared/text/Text.h"

namespace tidewell {

std::string BackupFolderName(int32_t backupTime) {
  return std::string(kBackupRootFolder) + "\\reg" + std::to_string(backupTime);
}

std::string BackupSizeText(uint64_t bytes) {
  float value = static_cast<float>(bytes);
  const char* unit = "bytes";
  if (value > 1048576.0f) {
    value *= 1.0f / 1048576.0f;
    unit = "Mb";
  } else if (value > 1024.0f) {
    value *= 1.0f / 1024.0f;
    unit = "Kb";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %s", static_cast<double>(value), unit);
  return text;
}

std::string BackupDisplayName(std::string_view comment, std::string_view timeText) {
  if (comment.empty()) return "Registry Backup " + std::string(timeText);
  return std::string(comment) + " - " + std::string(timeText);
}

std::string RestoreEventSuffix(std::string_view displayName) {
  constexpr std::string_view general = "Registry Backup ";
  if (displayName.find(general) != std::string_view::npos) return std::string(displayName.substr(general.size()));
  size_t dash = displayName.find('-');
  std::string_view rest = dash == std::string_view::npos ? displayName : displayName.substr(dash + 1);
  size_t first = rest.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = rest.find_last_not_of(' ');
  return std::string(rest.substr(first, last - first + 1));
}

namespace {

// A registry name made a file name: a name like a URL or holding a quote
// would otherwise make no file at all, and its entry could never be backed up.
std::string SafeFileName(std::string_view name) {
  std::string fileName;
  for (char c : name) {
    if (c == ':') continue;
    if (static_cast<unsigned char>(c) < 32 || std::string_view("\\/*?\"<>|").find(c) != std::string_view::npos)
      fileName += 'x';
    else
      fileName += c;
  }
  return fileName;
}

}  // namespace

std::string RepairFileBaseName(std::string_view subkey, std::string_view replacedPart, int random) {
  return SafeFileName(ReplaceAll(subkey, replacedPart, "file" + std::to_string(random)));
}

std::string ValueBackupFileName(std::string_view valueName, std::string_view keyPath, int random) {
  return SafeFileName(ReplaceAll(valueName, keyPath, "file" + std::to_string(random))) + ".reg";
}

std::string RestoredPiecesText(int restored) {
  return std::to_string(restored) + (restored == 1 ? " piece restored." : " pieces restored.");
}

std::string CollapseDoubledBackslashes(std::string_view path) {
  std::string result;
  result.reserve(path.size());
  // A network path keeps its leading "\\".
  size_t start = path.starts_with("\\\\") ? 2 : 0;
  result.append(path.substr(0, start));
  for (char c : path.substr(start)) {
    if (c == '\\' && result.size() > start && result.back() == '\\') continue;
    result += c;
  }
  return result;
}

int32_t NewBackupTime() {
  // One time per operation, also within one second: the time names the folder
  // and keys restore and delete, which would otherwise act on both backups.
  static std::atomic<int32_t> last{0};
  int32_t now = static_cast<int32_t>(std::time(nullptr));
  int32_t previous = last.load();
  int32_t next = 0;
  do {
    next = std::max(now, previous + 1);
  } while (!last.compare_exchange_weak(previous, next));
  return next;
}

}  // namespace tidewell
