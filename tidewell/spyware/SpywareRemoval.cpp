#include "tidewell/spyware/SpywareRemoval.h"

#include <algorithm>
#include <array>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/ForceDelete.h"
#include "tidewell/removal/RemovalService.h"

namespace tidewell {

namespace {

size_t KeyDepth(const std::string& path) {
  size_t depth = 0;
  bool inName = false;
  for (char c : path) {
    if (c == '\\') {
      inName = false;
    } else if (!inName) {
      inName = true;
      ++depth;
    }
  }
  return depth;
}

}  // namespace

bool IsProtectedPath(const std::string& path) {
  // The marker is ASCII, so ASCII case folding finds it in any spelling.
  std::string upper = path;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper.find(kProductMarker) != std::string::npos;
}

// Forwards to the removal service's one guard table.
bool IsCriticalProcessName(const std::string& exeName) { return IsCriticalProcess(exeName); }

std::string FolderRefusal(const std::string& folder, const RemovalSettings& settings) {
  if (IsProtectedPath(folder)) return "it belongs to Tidewell";
  return RemovalGuards{settings.appFolder, settings.environment}.PathRefusal(folder);
}

SpywareRemover::SpywareRemover(RemovalSettings settings) : settings_(std::move(settings)) {
  if (!settings_.environment) settings_.environment = ProcessEnvironment();
  if (!settings_.forceDeleteTree) settings_.forceDeleteTree = [reportTo = settings_.reportTo](const std::string& folder) {
    return ForceDeleteTree(folder, reportTo);
  };
}

RemovalOutcome SpywareRemover::Remove(const Detection& detection) {
  if (detection.type == kTypeDir) return RemoveFolder(detection.entry);
  if (detection.type == kTypeFile || detection.type == kTypeMemory) return RemoveFile(detection.entry, true);
  if (detection.type == kTypeCookie) return RemoveFile(detection.entry, false);
  if (detection.type == kTypeRegKey) return RemoveKey(detection);
  if (detection.type == kTypeRegValue) return RemoveValue(detection);
  return {false, "unknown type"};
}

bool SpywareRemover::EndUsers(const std::string& path, std::string& reason) {
  if (!modules_) modules_.emplace().Build(settings_.reportTo);
  std::vector<LinkedProcess> users = modules_->ProcessesWith(path);
  // In the order of their IDs, so which refusal is given does not depend on the list's order.
  std::sort(users.begin(), users.end(),
            [](const LinkedProcess& a, const LinkedProcess& b) { return a.processId < b.processId; });
  std::vector<const LinkedProcess*> toEnd;
  for (const LinkedProcess& user : users) {
    if (ended_.count(user.processId)) continue;
    if (user.processId == GetCurrentProcessId()) {
      reason = "Tidewell itself uses it";
      return false;
    }
    if (IsCriticalProcessName(user.exeName)) {
      reason = "the system process " + user.exeName + " uses it";
      return false;
    }
    toEnd.push_back(&user);
  }
  for (const LinkedProcess* user : toEnd) {
    UniqueHandle handle(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, user->processId));
    if (!handle) {
      if (GetLastError() == ERROR_INVALID_PARAMETER) {  // ended meanwhile
        ended_.insert(user->processId);
        continue;
      }
      reason = "the process " + user->exeName + " cannot be ended";
      return false;
    }
    if (!TerminateProcess(handle.Get(), 0) ||
        WaitForSingleObject(handle.Get(), settings_.processWaitMs) != WAIT_OBJECT_0) {
      reason = "the process " + user->exeName + " did not end";
      return false;
    }
    ended_.insert(user->processId);
  }
  return true;
}

RemovalOutcome SpywareRemover::RemoveFile(const std::string& path, bool endUsers) {
  if (IsGone(path)) return {true, ""};
  FolderScope folder(ParentFolder(path));
  if (!folder.Contains(path)) return {false, "its name cannot be used safely"};
  if (endUsers) {
    if (IsProtectedPath(path)) return {false, "it belongs to Tidewell"};
    std::string reason;
    if (!EndUsers(path, reason)) return {false, reason};
  }
  if (folder.DeleteFile(path)) return {true, ""};
  return {false, "it is in use or access is denied"};
}

RemovalOutcome SpywareRemover::RemoveFolder(const std::string& path) {
  if (IsGone(path)) return {true, ""};
  if (std::string refusal = FolderRefusal(path, settings_); !refusal.empty()) return {false, refusal};
  if (!FolderScope(ParentFolder(path)).Contains(path)) return {false, "its name cannot be used safely"};
  settings_.forceDeleteTree(path);
  if (IsGone(path)) return {true, ""};
  return {false, "part of it could not be deleted"};
}

RemovalOutcome SpywareRemover::RemoveKey(const Detection& detection) {
  if (KeyDepth(detection.keyPath) < 2) return {false, "the key is too close to its hive"};
  HKEY hive = HiveKey(detection.hive);
  bool gone = true;
  for (RegistryView view : detection.views) {
    DeleteKeyTree(hive, detection.keyPath, view);
    if (OpenKey(hive, detection.keyPath, KEY_READ, view)) gone = false;
  }
  return {gone, gone ? "" : "access is denied"};
}

RemovalOutcome SpywareRemover::RemoveValue(const Detection& detection) {
  if (KeyDepth(detection.keyPath) < 2 || detection.valueName.empty()) return {false, "the value is not specific"};
  HKEY hive = HiveKey(detection.hive);
  bool gone = true;
  for (RegistryView view : detection.views) {
    UniqueKey key = OpenKey(hive, detection.keyPath, KEY_QUERY_VALUE | KEY_SET_VALUE, view);
    if (!key) {
      if (OpenKey(hive, detection.keyPath, KEY_QUERY_VALUE, view)) gone = false;  // there, but not ours to change
      continue;
    }
    RegDeleteValueA(key.Get(), detection.valueName.c_str());
    if (RegQueryValueExA(key.Get(), detection.valueName.c_str(), nullptr, nullptr, nullptr, nullptr) !=
        ERROR_FILE_NOT_FOUND)
      gone = false;
  }
  return {gone, gone ? "" : "access is denied"};
}

}  // namespace tidewell
