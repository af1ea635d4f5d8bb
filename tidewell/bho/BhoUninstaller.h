#pragma once
// The four steps of removing a BHO: end its processes, unregister it, delete
// its file, clean its registry traces.

#include <windows.h>

#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"
#include "tidewell/bho/BhoListing.h"

namespace tidewell {

// False (and nothing removed) for an empty class ID. Cleans the one registry
// view the BHO was found in; keys the views share go too.
bool RemoveBhoRegistryTraces(const std::string& clsid, RegistryView view = RegistryView::Native);

// Ends every listed process that can be opened; false when one of them could
// be opened but not ended (after "Unable to terminate process (name)").
bool TerminateLinkedProcesses(const std::vector<LinkedProcess>& processes, HWND owner);

struct UnregisterTiming {
  DWORD toolWaitLimit = 10000;  // how long regsvr32 may keep the file loaded
  DWORD pauseAfter = 1000;
};

// Runs regsvr32 "/u /s" on the file through the shell and logs the
// "uninstalled" event. A missing file is reported and gives false, with no
// tool and no event; an empty path skips the tool but still logs.
bool UnregisterBho(CADODatabase& database, const std::string& file, const std::string& name, HWND owner,
                   const UnregisterTiming& timing = {});

}  // namespace tidewell
