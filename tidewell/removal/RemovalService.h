#pragma once
// Every removal of one user action goes through here: each target is checked
// against one table of guards, kept in the action's own backup folder before
// it goes, and listed in a manifest there, so the whole action can be put
// back from the Backup manager. No window is shown; callers run it on a
// worker and keep their prompts and wait boxes to themselves.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/text/EnvironmentText.h"
#include "shared/win/RegistryLocation.h"
#include "tidewell/removal/ActionManifest.h"
#include "tidewell/removal/RegFileReader.h"
#include "tidewell/removal/RegTool.h"

namespace tidewell {

// Why a piece stays; shown to the user after the piece's name.
inline constexpr const char* kLeftLink = "left: link";
inline constexpr const char* kAccessDenied = "access denied";

enum class PieceKind { File, Folder, Key, Value };

// One thing to remove: a file or folder by its full path, a key or one
// value of a key. A key in HKEY_CLASSES_ROOT stands for all its real copies.
struct Piece {
  PieceKind kind = PieceKind::File;
  std::string path;
  RegistryLocation key;
  std::string valueName;  // "" names the unnamed value

  static Piece File(std::string path) { return {PieceKind::File, std::move(path), {}, {}}; }
  static Piece Folder(std::string path) { return {PieceKind::Folder, std::move(path), {}, {}}; }
  static Piece Key(RegistryLocation key) { return {PieceKind::Key, {}, std::move(key), {}}; }
  static Piece Value(RegistryLocation key, std::string name) {
    return {PieceKind::Value, {}, std::move(key), std::move(name)};
  }
  // The path, the key's display name, or the key's and ": " and the value's ("(Default)").
  std::string DisplayName() const;
};

struct PieceOutcome {
  bool gone = false;
  std::string reason;  // why it is left, empty when gone
};

// The one table of what a removal never touches.
struct RemovalGuards {
  std::string appFolder;          // Tidewell's own folder; only what the service kept in BKUP may go
  EnvironmentLookup environment;  // empty: the process environment

  // "" when the file or folder may be removed, else why not: a drive root,
  // a known system folder (Windows, System32, Program Files, the profiles
  // and the like) or any folder above one, Tidewell's own folder and
  // everything in it, a name that cannot be used safely.
  std::string PathRefusal(const std::string& path) const;
  // "" when the key may be removed, else why not: less than two names below
  // its hive, or one of the well-known keys (and any key above one).
  std::string KeyRefusal(const RegistryLocation& key) const;
  // "" when the value may be removed: values of the well-known keys (Run)
  // may, those of the system's own trees and the ones Windows starts by not.
  std::string ValueRefusal(const RegistryLocation& key, const std::string& name) const;
  // "" when the process may be ended: never Tidewell itself nor a process
  // the session cannot live without.
  std::string ProcessRefusal(DWORD processId, const std::string& exeName) const;

  // The folders guarded with everything above them: full, upper case.
  std::vector<std::string> GuardedFolders() const;
  // appFolder made whole, or the running program's folder without one.
  std::string ApplicationFolder() const;
};

// The session's processes whose end brings Windows (or the Wine session) down.
bool IsCriticalProcess(const std::string& exeName);

struct RemovalHooks {
  RegTool regTool = MachineRegTool();
};

// One user action: one backup time, one folder BKUP\reg<time>, one regbk row.
class RemovalAction {
 public:
  // comment: the regbk comment the Backup manager shows for the action.
  RemovalAction(CADODatabase& database, RemovalGuards guards, std::string comment, RemovalHooks hooks = {});
  RemovalAction(const RemovalAction&) = delete;
  RemovalAction& operator=(const RemovalAction&) = delete;
  ~RemovalAction();  // commits what was kept

  // Checks the guards, keeps the piece and then removes it; a piece that
  // could not be kept is not removed. A folder's files are kept and removed
  // one by one, links inside it are left ("left: link"), never followed.
  PieceOutcome Remove(const Piece& piece);
  // Keeps a piece without removing it, for a piece a program removes itself
  // (a BHO's keys, which its unregistration deletes); true when kept whole.
  // A later Remove of the same piece does not keep it again.
  bool Keep(const Piece& piece);
  // Writes a value in place of removed ones (the rest of a numbered list
  // moved up after a removal) and keeps what it wrote, so that a restore
  // deletes it again before it puts the removed values back. Refused where a
  // removal would be and where the value exists; true when written and kept.
  bool WriteValue(const RegistryLocation& key, const std::string& name, DWORD type, const std::vector<BYTE>& data);

  // Writes the manifest and files the action's regbk row (once; nothing when
  // nothing was kept). True when the row is filed.
  bool Commit();

  int32_t Time() const { return time_; }
  // The action's backup folder, whole path.
  std::string Folder() const;

 private:
  struct Impl;
  CADODatabase& database_;
  RemovalGuards guards_;
  std::string comment_;
  RemovalHooks hooks_;
  int32_t time_ = 0;
  bool committed_ = false;
  std::vector<KeptPiece> kept_;     // one manifest line each
  std::set<std::string> keptIds_;  // pieces kept whole by Keep, not kept again by Remove
  int keptFiles_ = 0;              // names the next kept file
  std::string folder_;             // the action folder once made
  std::string ownFolder_;          // the guard table, read once per action
  std::vector<std::string> guardedFolders_;
};

// Whether a regbk file names an action's manifest rather than a .reg file.
bool IsActionManifest(const std::string& file);

struct ActionRestoreResult {
  int restored = 0;                     // pieces back in place
  std::vector<std::string> notRestored; // the display names of the others, with why
};

// Puts every piece of an action back: keys and values into their hive and
// view (a value that exists again is kept, never overwritten), files and
// folders moved back under their names with their attributes and times,
// missing parent folders made again. A place taken again is not overwritten.
ActionRestoreResult RestoreAction(const std::string& manifest);

// Whether RestoreAction put the key (or a key below it) back in the last
// minute: the BHO key watcher does not take Tidewell's own restore for a new
// registration.
bool RestoredLately(const RegistryLocation& key);
// Whether a restore put this value of key back in the last minute, alone or
// with its key: the Run-key watch does not take it for a new entry.
bool RestoredLately(const RegistryLocation& key, const std::string& value);
// Whether a restore put this value of key back at or after `since` (a
// GetTickCount64 time within the last day), alone or with its key.
bool RestoredSince(const RegistryLocation& key, const std::string& value, ULONGLONG since);
// Notes the values a .reg file is about to put back, for RestoredLately.
void NoteRestoredValues(const std::vector<RegFileKey>& keys);

// Deletes what an action kept (its folder, within BKUP only); true when it is gone.
bool FreeAction(const std::string& manifest);

}  // namespace tidewell
