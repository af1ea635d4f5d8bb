#pragma once
// How a RemovalAction keeps and removes each kind of piece, shared by its source files.

#include <map>
#include <string>
#include <vector>

#include "tidewell/removal/RemovalService.h"

namespace tidewell {

inline constexpr const char* kKeepFailed = "its backup could not be written";

// The path guard with its table already read: an action reads it once.
// ownFolder and guardedFolders are full and upper case.
std::string PathRefusalAmong(const std::string& path, const std::string& ownFolder,
                             const std::vector<std::string>& guardedFolders);

// The entries a folder walk had to leave, counted by why.
struct LeftEntries {
  std::map<std::string, int> byReason;
  int total = 0;
  void Add(const std::string& reason, int count = 1) {
    byReason[reason] += count;
    total += count;
  }
  // "2 entries stayed (left: link)", "3 entries stayed (access denied x1; left: link x2)".
  std::string Text() const {
    std::string text = std::to_string(total) + (total == 1 ? " entry stayed (" : " entries stayed (");
    bool first = true;
    for (const auto& [reason, count] : byReason) {
      text += (first ? "" : "; ") + reason + (byReason.size() > 1 ? " x" + std::to_string(count) : "");
      first = false;
    }
    return text + ")";
  }
};

// What is done with a file or folder: kept only (copied), kept and removed
// (moved), or removed only (kept whole before by Keep).
enum class Step { Keep, Move, Drop };

struct RemovalAction::Impl {
  // Names a piece in keptIds_.
  static std::string Id(const Piece& piece);
  // The action folder, made on first use; empty when it cannot be made.
  static std::string ReadyFolder(RemovalAction& action);
  static PieceOutcome File(RemovalAction& action, const std::string& path, Step step);
  static PieceOutcome Folder(RemovalAction& action, const std::string& path, Step step);
  // Keeps and or removes what the folder holds, then the emptied folder;
  // what stays is counted in `left`. Not empty: why the folder could not be read.
  static std::string Tree(RemovalAction& action, const std::string& folder, Step step, LeftEntries& left);
  static PieceOutcome Key(RemovalAction& action, const RegistryLocation& key, bool remove);
  static PieceOutcome Value(RemovalAction& action, const RegistryLocation& key, const std::string& name, bool remove);
  // Writes the value's file into the action folder, checks it against the
  // registry and lists it as `kind`; false when it could not be kept.
  static bool KeepValue(RemovalAction& action, const RegistryLocation& copy, const std::string& name, KeptKind kind);
  static bool Write(RemovalAction& action, const RegistryLocation& key, const std::string& name, DWORD type,
                    const std::vector<BYTE>& data);
};

}  // namespace tidewell
