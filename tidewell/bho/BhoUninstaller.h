#pragma once
// The four steps of removing a BHO: end its processes, unregister it, delete
// its file, clean its registry traces. Its keys and its file are kept first,
// as one action the Backup manager can put back.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"
#include "tidewell/bho/BhoListing.h"
#include "tidewell/removal/RemovalService.h"

namespace tidewell {

// The keys a BHO leaves in the view it was found in, each real copy on its
// own: its registration, its class and what the class names (ProgID,
// type library, AppID, interface) and the places a toolbar or an extension
// of it is listed. Only keys that exist; none for an empty class ID.
std::vector<Piece> BhoRegistryPieces(const std::string& clsid, RegistryView view = RegistryView::Native);

// The Backup manager's name for one uninstall.
std::string UninstalledBhoComment(const std::string& name);

// Ends every listed process that can be opened and is still linked (never
// this program itself nor a process the session needs); false when one of
// them could be opened but not ended (after "Unable to terminate process (name)").
bool TerminateLinkedProcesses(const std::vector<LinkedProcess>& processes, const std::string& file, HWND owner);

struct UnregisterTiming {
  DWORD toolWaitLimit = 10000;  // how long regsvr32 may keep the file loaded
  DWORD pauseAfter = 1000;
};

// Runs regsvr32 "/u /s" on the file through the shell and logs the
// "uninstalled" event. A missing file is reported and gives false, with no
// tool and no event; an empty path skips the tool but still logs.
bool UnregisterBho(CADODatabase& database, const std::string& file, const std::string& name, HWND owner,
                   const UnregisterTiming& timing = {});

// The BHO item chosen in the tree: its class ID and the processes listed
// under it.
struct SelectedBho {
  std::string clsid;
  std::vector<LinkedProcess> processes;
  RegistryView view = RegistryView::Native;  // where the item was found
};

struct UninstallTiming {
  DWORD stepPause = 1000;
  DWORD finalPause = 500;
  UnregisterTiming unregister;
};

enum class UninstallStep { Terminated, Unregistered, Deleted, Cleaned };

// Keeps the BHO's keys first (nothing is changed when they cannot be kept,
// and false is returned), then the four steps in order: ends the linked
// processes, unregisters the BHO, removes its file and its registry
// traces, calling `done` after each. appFolder: where BKUP is.
bool RunUninstallSteps(CADODatabase& database, const std::string& appFolder, const SelectedBho& bho, HWND owner,
                       const UninstallTiming& timing, const std::function<void(UninstallStep)>& done);

}  // namespace tidewell
