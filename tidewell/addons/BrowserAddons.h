#pragma once
// The add-ons of today's browsers, for the running user (every profile of
// theirs) and machine-wide (policies and outside registrations): one row per
// add-on or registration, with where it was found, so that a removal can
// reach exactly that place. No window; the page and the report share it.

#include <windows.h>

#include <string>
#include <vector>

#include "shared/win/RegistryLocation.h"
#include "shared/win/Workers.h"
#include "tidewell/addons/AddonKinds.h"

namespace tidewell {

// Where the row was read: what a removal has to change.
enum class AddonSource {
  ProfileRecord,        // a Chromium profile's Preferences / Secure Preferences
  ForcelistValue,       // value `valueName` ("1", "2", ...) of ExtensionInstallForcelist at `key`
  SettingsEntry,        // entry `id` of the ExtensionSettings JSON in value `valueName` at `key`
  FirefoxInstallValue,  // value `valueName` of Firefox's Extensions\Install policy at `key`
  OutsideKey,           // Chromium: the whole key `key` (...\Extensions\<id>); Firefox: value `valueName` at `key`
  PoliciesFile,         // entry `id` of the policies.json at `addonFile`, in its list `valueName`
                        // ("ExtensionSettings" or "Extensions.Install")
  FirefoxProfileAddon,  // an add-on of extensions.json in `profileFolder`, its file or folder `addonFile`
};

struct BrowserAddon {
  std::string browser;  // display name: "Google Chrome", "Mozilla Firefox", ...
  std::string profile;  // the profile's folder name; "" for machine-wide rows
  std::string name;     // the manifest's name; the id when there is none
  std::string id;
  std::string version;
  AddonState state = AddonState::Enabled;
  AddonOrigin origin = AddonOrigin::Store;
  std::string folder;  // the add-on's folder to open; may be empty

  AddonSource source = AddonSource::ProfileRecord;
  RegistryLocation key;       // registry sources: the key, its hive and view
  std::string valueName;      // registry sources that are one value of `key`
  std::string profileFolder;  // full path of the profile (Chromium and Firefox)
  std::string addonFile;      // Firefox add-on: its .xpi or folder; policies.json: the file
  std::string processName;    // "chrome.exe", "firefox.exe", ...: must not run while its files change
  std::string extensionsPage;  // "chrome://extensions", "about:addons", ...
};

struct AddonListing {
  std::vector<BrowserAddon> addons;
  // A damaged or oversize file, one line each: it cost only its own rows.
  std::vector<std::string> notes;
};

// Where the listing looks. Tests point these at planted folders and keys; a
// registry root's path is put before every key path read below it ("" for
// the hive itself), and both views of each are read.
struct AddonPlaces {
  std::string localAppData;  // %LOCALAPPDATA%
  std::string appData;       // %APPDATA%
  RegistryLocation machine{HKEY_LOCAL_MACHINE, ""};
  RegistryLocation user{HKEY_CURRENT_USER, ""};

  // The running user's folders and the real hives.
  static AddonPlaces FromEnvironment();
};

// Every browser's add-ons and registrations found at `places`, sorted by
// browser, profile and name. Ends early (with what it has) when stopped.
AddonListing ListBrowserAddons(const AddonPlaces& places, const StopToken& stop = {});

}  // namespace tidewell
