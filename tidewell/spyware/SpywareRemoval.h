#pragma once
// Removal of detected spyware by type, through the removal service: every
// target is checked against its guards and kept before it goes, so one press
// of the remove button can be undone from the Backup manager. A removal says
// "gone" only when its target no longer exists.

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tidewell/removal/ModuleIndex.h"
#include "tidewell/removal/RemovalService.h"
#include "tidewell/spyware/Definitions.h"
#include "tidewell/spyware/SpywareScan.h"

namespace tidewell {

// Paths whose upper-case form holds this are never deleted (cookies aside).
inline constexpr const char* kProductMarker = "TIDEWELL";

struct RemovalSettings {
  CADODatabase* database = nullptr;  // files the Backup manager's row of each removal
  std::string appFolder;          // never deleted, nor any folder above it
  EnvironmentLookup environment;  // empty: the process environment
  DWORD processWaitMs = 5000;     // how long an ended process may take to go
  // The window that shows what the removal's worker cannot do.
  HWND reportTo = nullptr;
};

struct RemovalOutcome {
  bool gone = false;
  std::string reason;  // why it stays, for the user
};

bool IsProtectedPath(const std::string& path);

// The Backup manager's name for one press of the remove button: "Removed
// spyware: " and the entries' names, each once, cut to fit the column with
// "and <n> more".
std::string RemovedSpywareComment(const std::vector<std::string>& names);

RemovalGuards SpywareGuards(const RemovalSettings& settings);

class SpywareRemover {
 public:
  SpywareRemover(RemovalSettings settings, RemovalAction& action);
  RemovalOutcome Remove(const Detection& detection);

 private:
  RemovalOutcome RemoveFile(const std::string& path, bool endUsers);
  RemovalOutcome RemovePieces(const std::vector<Piece>& pieces);
  // Ends every process with the file loaded; false (and nothing ended) when
  // one of them must not be ended.
  bool EndUsers(const std::string& path, std::string& reason);

  RemovalSettings settings_;
  RemovalAction& action_;
  RemovalGuards guards_;
  // One module snapshot for the whole removal rather than one per file.
  std::optional<ModuleIndex> modules_;
  std::set<DWORD> ended_;
};

}  // namespace tidewell
