#include "tidewell/spyware/SpywareRemoval.h"

#include <algorithm>
#include <array>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "shared/text/Text.h"

namespace tidewell {

namespace {

// The regbk comment column's width.
constexpr size_t kCommentRoom = 255;

}  // namespace

bool IsProtectedPath(const std::string& path) {
  // The marker is ASCII, so ASCII case folding finds it in any spelling.
  return UpperAscii(path).find(kProductMarker) != std::string::npos;
}

std::string RemovedSpywareComment(const std::vector<std::string>& names) {
  std::vector<std::string> unique;
  for (const std::string& name : names)
    if (std::find(unique.begin(), unique.end(), name) == unique.end()) unique.push_back(name);
  const std::string prefix = "Removed spyware: ";
  std::string all = prefix;
  for (size_t i = 0; i < unique.size(); ++i) all += (i ? ", " : "") + unique[i];
  if (all.size() <= kCommentRoom) return all;
  // As many whole names as leave room for the count of the rest.
  std::string text = prefix;
  size_t shown = 0;
  for (; shown < unique.size(); ++shown) {
    std::string next = text + (shown ? ", " : "") + unique[shown];
    std::string more = " and " + std::to_string(unique.size() - shown - 1) + " more";
    if (next.size() + more.size() > kCommentRoom) break;
    text = std::move(next);
  }
  if (shown == 0) return prefix + std::to_string(unique.size()) + " entries";
  return text + " and " + std::to_string(unique.size() - shown) + " more";
}

RemovalGuards SpywareGuards(const RemovalSettings& settings) {
  return RemovalGuards{settings.appFolder, settings.environment};
}

SpywareRemover::SpywareRemover(RemovalSettings settings, RemovalAction& action)
    : settings_(std::move(settings)), action_(action), guards_(SpywareGuards(settings_)) {}

RemovalOutcome SpywareRemover::Remove(const Detection& detection) {
  if (detection.type == kTypeDir) return RemovePieces({Piece::Folder(detection.entry)});
  if (detection.type == kTypeFile || detection.type == kTypeMemory) return RemoveFile(detection.entry, true);
  if (detection.type == kTypeCookie) return RemoveFile(detection.entry, false);
  bool isKey = detection.type == kTypeRegKey;
  if (!isKey && detection.type != kTypeRegValue) return {false, "unknown type"};
  if (!isKey && detection.valueName.empty()) return {false, "the value is not specific"};
  std::vector<Piece> pieces;
  for (RegistryView view : detection.views) {
    RegistryLocation key{HiveKey(detection.hive), detection.keyPath, view};
    pieces.push_back(isKey ? Piece::Key(key) : Piece::Value(key, detection.valueName));
  }
  return RemovePieces(pieces);
}

RemovalOutcome SpywareRemover::RemovePieces(const std::vector<Piece>& pieces) {
  RemovalOutcome outcome{true, ""};
  for (const Piece& piece : pieces) {
    PieceOutcome result = action_.Remove(piece);
    if (result.gone) continue;
    outcome.gone = false;
    if (outcome.reason.empty()) outcome.reason = result.reason;
  }
  return outcome;
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
    if (std::string refusal = guards_.ProcessRefusal(user.processId, user.exeName); !refusal.empty()) {
      reason = refusal;
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
  if (endUsers) {
    if (IsProtectedPath(path)) return {false, "it belongs to Tidewell"};
    if (std::string refusal = guards_.PathRefusal(path); !refusal.empty()) return {false, refusal};
    std::string reason;
    if (!EndUsers(path, reason)) return {false, reason};
  }
  return RemovePieces({Piece::File(path)});
}

}  // namespace tidewell
