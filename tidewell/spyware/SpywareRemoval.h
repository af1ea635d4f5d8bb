#pragma once
// Removal of detected spyware by type. Nothing that belongs to Windows or to
// Tidewell is harmed: protected paths stay, critical and own processes are
// never ended, shallow keys and system folders are never deleted. A removal
// says "gone" only when its target no longer exists.

#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tidewell/removal/ModuleIndex.h"
#include "tidewell/spyware/Definitions.h"
#include "tidewell/spyware/SpywareScan.h"

namespace tidewell {

// Paths whose upper-case form holds this are never deleted (cookies aside).
inline constexpr const char* kProductMarker = "TIDEWELL";

struct RemovalSettings {
  std::string appFolder;           // never deleted, nor any folder above it
  EnvironmentLookup environment;   // empty: the process environment
  DWORD processWaitMs = 5000;      // how long an ended process may take to go
  // The forced folder delete; replaceable so tests can watch or refuse it.
  std::function<bool(const std::string& folder)> forceDeleteTree;
  // The window that shows what the removal's worker cannot do.
  HWND reportTo = nullptr;
};

struct RemovalOutcome {
  bool gone = false;
  std::string reason;  // why it stays, for the user
};

bool IsProtectedPath(const std::string& path);
// The session's processes whose end brings Windows (or the Wine session) down.
bool IsCriticalProcessName(const std::string& exeName);
// "" when the folder may be force-deleted, else why not.
std::string FolderRefusal(const std::string& folder, const RemovalSettings& settings);

class SpywareRemover {
 public:
  explicit SpywareRemover(RemovalSettings settings);
  RemovalOutcome Remove(const Detection& detection);

 private:
  RemovalOutcome RemoveFile(const std::string& path, bool endUsers);
  RemovalOutcome RemoveFolder(const std::string& path);
  RemovalOutcome RemoveKey(const Detection& detection);
  RemovalOutcome RemoveValue(const Detection& detection);
  // Ends every process with the file loaded; false (and nothing ended) when
  // one of them must not be ended.
  bool EndUsers(const std::string& path, std::string& reason);

  RemovalSettings settings_;
  // One module snapshot for the whole removal rather than one per file.
  std::optional<ModuleIndex> modules_;
  std::set<DWORD> ended_;
};

}  // namespace tidewell
