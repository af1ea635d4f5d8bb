#pragma once
// Reading what browsers record of their add-ons: Chromium's Preferences,
// extension manifests and their _locales, Firefox's profiles.ini,
// extensions.json and policies.json, and the ExtensionSettings policy. Pure
// functions of the text: a damaged text, a value of the wrong type or one
// nested too deep yields nothing (or skips that entry), never a throw.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tidewell/addons/AddonKinds.h"

namespace tidewell {

// Browser files bigger than this are skipped with a note, not read.
inline constexpr size_t kMaxBrowserFileLength = 20 * 1024 * 1024;
// Deeper JSON is refused before it is parsed.
inline constexpr int kMaxJsonDepth = 64;

// Whether no array or object in the text nests deeper than maxDepth.
bool JsonDepthWithin(std::string_view text, int maxDepth = kMaxJsonDepth);

// One entry of a Chromium profile's extensions.settings. Fields the file
// does not hold stay empty (or unknown), so two files' records can merge.
struct ChromiumExtension {
  std::string id;
  std::string name;  // the manifest's, may be "__MSG_key__"
  std::string version;
  std::string path;  // relative to the profile's Extensions folder, or absolute (unpacked)
  std::optional<bool> enabled;
  int location = 0;  // Chromium's Manifest::Location; 0 unknown
  bool fromWebstore = false;
  bool installedByDefault = false;
};

// Nothing when the text is not a JSON object; no extensions is an empty list.
std::optional<std::vector<ChromiumExtension>> ReadChromiumExtensions(std::string_view preferences);
// Fills what `into` lacks from `more` (Secure Preferences and Preferences
// each hold part of a record) and appends the ids only `more` has.
void MergeChromiumExtensions(std::vector<ChromiumExtension>& into, const std::vector<ChromiumExtension>& more);
// Records that say nothing about an installed extension (no location, name or path).
bool IsExtensionStub(const ChromiumExtension& extension);
AddonOrigin ChromiumOrigin(const ChromiumExtension& extension);

struct ManifestFacts {
  std::string name;
  std::string version;
  std::string defaultLocale;
};
std::optional<ManifestFacts> ReadManifest(std::string_view manifest);
// "appName" for "__MSG_appName__"; nothing for a plain name.
std::optional<std::string> MessageKey(std::string_view name);
// messages[key].message of a _locales messages.json, the key compared
// without ASCII case as Chromium and Firefox do.
std::optional<std::string> ReadLocaleMessage(std::string_view messages, std::string_view key);

struct FirefoxProfile {
  std::string path;  // as written, "/" separated when relative
  bool relative = false;
};
// The [Profile...] sections of profiles.ini that have a Path.
std::vector<FirefoxProfile> ReadFirefoxProfiles(std::string_view profilesIni);

struct FirefoxAddon {
  std::string id;
  std::string name;
  std::string version;
  std::string type;      // "extension", "theme", ...
  std::string location;  // "app-profile", "app-system-defaults", ...
  std::string path;      // its .xpi or folder
  bool active = false;
  bool userDisabled = false;
};
std::optional<std::vector<FirefoxAddon>> ReadFirefoxAddons(std::string_view extensionsJson);
AddonOrigin FirefoxOrigin(std::string_view location);

// One entry of an ExtensionSettings policy.
struct PolicyExtension {
  std::string id;
  std::string mode;  // installation_mode: "force_installed", "normal_installed", "allowed", "blocked", ...
  std::string url;   // update_url (Chromium) or install_url (Firefox)
};
// The JSON object of ExtensionSettings (id -> settings); "*" is kept.
std::optional<std::vector<PolicyExtension>> ReadExtensionSettings(std::string_view json);
// Whether the policy puts the extension in (rather than only allows or blocks it).
bool InstallsExtension(const PolicyExtension& entry);

struct FirefoxPolicies {
  std::vector<PolicyExtension> settings;  // policies.ExtensionSettings
  std::vector<std::string> install;       // policies.Extensions.Install: URLs or paths of .xpi files
};
std::optional<FirefoxPolicies> ReadFirefoxPolicies(std::string_view policiesJson);

// An ExtensionInstallForcelist value: "<id>;<update url>" or "<id>".
struct ForcelistEntry {
  std::string id;
  std::string url;
};
ForcelistEntry ParseForcelistValue(std::string_view value);

// The ExtensionSettings JSON without the entry of id (the others as they
// were); nothing when the text is damaged or holds no such entry.
std::optional<std::string> WithoutSettingsEntry(std::string_view json, std::string_view id);

// The last part of a path or URL ("a.xpi" of "https://x/y/a.xpi?z").
std::string LastPathPart(std::string_view pathOrUrl);

}  // namespace tidewell
