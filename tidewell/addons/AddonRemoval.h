#pragma once
// Taking a browser add-on out through the removal service: its policy value
// or outside registration, or a Firefox add-on's file while Firefox is not
// running. All of one add-on is one action, kept and undoable from the
// Backup manager. An add-on the browser itself must remove is only pointed at.

#include <string>

#include "shared/db/AdoDatabase.h"
#include "tidewell/addons/BrowserAddons.h"

namespace tidewell {

enum class AddonRemovalWay {
  Registry,     // a policy value, an ExtensionSettings entry or an outside registration
  ProfileFile,  // a Firefox add-on's file or folder in its profile
  Browser,      // recorded by the browser (a store extension): only the browser removes it
  PolicyFile,   // an entry of Firefox's policies.json: edited by hand, never by Tidewell
};
AddonRemovalWay RemovalWayOf(const BrowserAddon& addon);

// "Removed browser add-on: <name or id> (<browser>)", the Backup manager's row.
std::string RemovedAddonComment(const BrowserAddon& addon);

struct AddonRemovalOutcome {
  bool gone = false;
  std::string reason;  // why it stays, empty when gone
};

// Removes what put the add-on there, kept in one action. A numbered list
// (ExtensionInstallForcelist, Firefox's Install) closes its gap: the values
// after the removed one move up, and a restore puts the old numbers back.
AddonRemovalOutcome RemoveBrowserAddon(CADODatabase& database, const std::string& appFolder,
                                       const BrowserAddon& addon);

// Whether a process of this file name runs in the session.
bool IsProgramRunning(const std::string& exeName);
// Starts the browser on its extensions page; false when it could not be started.
bool OpenExtensionsPage(const BrowserAddon& addon);

}  // namespace tidewell
