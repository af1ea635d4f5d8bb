#pragma once
// The scan engine: checks the definitions' signatures in the chosen scope and
// returns what exists. No window here; progress goes to a status sink and the
// caller records and shows the detections.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Environment.h"
#include "shared/win/Registry.h"
#include "shared/win/Workers.h"
#include "tidewell/spyware/Definitions.h"

namespace tidewell {

// What the user chose on the location tree, read once when a scan starts.
struct ScanScope {
  bool memory = false;
  bool registry = false;
  bool cookies = false;
  bool myComputer = false;
  std::vector<std::string> includedFolders;  // file-system paths of included drives and folders

  bool Any() const { return memory || registry || cookies || myComputer; }
};

inline constexpr const char* kTypeMemory = "MEMORY";
inline constexpr const char* kTypeRegKey = "REGKEY";
inline constexpr const char* kTypeRegValue = "REGVALUE";
inline constexpr const char* kTypeDir = "DIR";
inline constexpr const char* kTypeFile = "FILE";
inline constexpr const char* kTypeCookie = "COOKIE";

struct Detection {
  std::string name;   // SPW_NAME: the entry's NAME
  std::string type;   // one of the kType* texts
  std::string entry;  // ENTRY as the row shows it
  // Registry detections keep their parts, so a value name holding a
  // backslash is still removed from the right key.
  Hive hive = Hive::LocalMachine;
  std::string keyPath, valueName;
  std::vector<RegistryView> views;  // where it was found
};

struct ScanHooks {
  EnvironmentLookup environment;                      // empty: the process environment
  std::function<void(const std::string&)> status;     // may be called often; the caller coalesces
  StopToken stop;
  HWND reportTo = nullptr;  // the window that shows what the process list cannot read
};

HKEY HiveKey(Hive hive);
// The registry views a hive is looked at in: both on 64-bit Windows for the
// machine-wide hives, the native one otherwise.
std::vector<RegistryView> ViewsOf(Hive hive);

// The running Windows' own cookie folder (INetCookies from Windows 8 on); "" without one.
std::string ShellCookieFolder();
// The profile's Cookies folder, the shell's folder and its Low subfolder, each once.
std::vector<std::string> CookieFolders(const EnvironmentLookup& environment, const std::string& shellFolder);

// Memory, cookies, then per entry registry, folders and files. Empty when stopped.
std::vector<Detection> ScanForSpyware(const SpywareDefinitions& definitions, const ScanScope& scope,
                                      const ScanHooks& hooks);

// ---- The database side

// Drops a table left by an interrupted run, then creates spw_repair afresh.
bool CreateRepairTable(CADODatabase& database);
// One insert per detection, in one transaction; true only when every row is kept.
bool RecordDetections(CADODatabase& database, const std::vector<Detection>& detections);
int CountRepairRows(CADODatabase& database);
void DropRepairTable(CADODatabase& database);

}  // namespace tidewell
