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

// The row's image: what a policy or another program put there stands out,
// a disabled add-on is unknown, the rest carry none.
enum class AddonMark { None, HighRisk, Unknown };
AddonMark AddonMarkOf(AddonOrigin origin, AddonState state);

}  // namespace tidewell
