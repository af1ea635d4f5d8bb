#pragma once
// What the add-on rows say of an add-on's state and origin, without Windows,
// so the rules that classify them are tested everywhere.

namespace tidewell {

enum class AddonState { Enabled, Disabled };

// Where the add-on came from, as the user is told.
enum class AddonOrigin { Store, Policy, Outside, Unpacked, BrowserFolder };

// "store", "forced by policy", "installed from outside the browser",
// "unpacked", "from the browser's own folder".
const char* AddonOriginText(AddonOrigin origin);
// "enabled", "disabled".
const char* AddonStateText(AddonState state);

}  // namespace tidewell
