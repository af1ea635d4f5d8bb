#pragma once
// The four steps of removing a BHO: end its processes, unregister it, delete
// its file, clean its registry traces.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"
#include "tidewell/bho/BhoListing.h"

namespace tidewell {

// False (and nothing removed) for an empty class ID. Cleans the one registry
// view the BHO was found in; keys the views share go too.
bool RemoveBhoRegistryTraces(const std::string& clsid, RegistryView view = RegistryView::Native);

// Whether the process with the listed ID is still the program that was
// listed: the same image name and, when `file` is given, the file still
// loaded as `modules` found it. An ID can be reused between the listing and
// the uninstall.
bool IsStillLinked(const LinkedProcess& listed, const std::string& file, const ModuleIndex& modules);

// Ends every listed process that can be opened and is still linked (never
// this program itself); false when one of them could be opened but not ended
// (after "Unable to terminate process (name)").
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

// The four steps in order: ends the linked processes, unregisters the BHO,
// deletes its file and cleans its registry traces, calling `done` after each.
void RunUninstallSteps(CADODatabase& database, const SelectedBho& bho, HWND owner, const UninstallTiming& timing,
                       const std::function<void(UninstallStep)>& done);

}  // namespace tidewell
