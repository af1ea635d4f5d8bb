// The add-ons that policies force and other programs register: the
// browsers' policy keys, their outside-registration keys and Firefox's
// policies.json, in both registry views of the machine and the user.

#include <functional>
#include <set>

#include "shared/text/Text.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/addons/AddonSources.h"
#include "tidewell/addons/BrowserJson.h"

namespace tidewell {
namespace {

using KeyVisit = std::function<void(const RegistryLocation& location, HKEY key)>;

// The key below each root in each view; a view that shows a key already
// seen (one both views share, as most of HKCU) is left out.
void ForEachKey(const AddonPlaces& places, const std::string& path, const KeyVisit& visit,
                bool machineOnly = false) {
  std::set<std::string> seen;
  for (const RegistryLocation* root : {&places.machine, &places.user}) {
    if (machineOnly && root == &places.user) break;
    for (RegistryView view : RegistryViews()) {
      RegistryLocation location = root->Child(path);
      location.view = view;
      UniqueKey key = location.Open();
      if (!key || !seen.insert(location.RealName()).second) continue;
      visit(location, key.Get());
    }
  }
}

BrowserAddon PolicyAddon(const BrowserInfo& browser, const std::string& id, AddonSource source) {
  BrowserAddon addon = AddonOf(browser);
  addon.id = id;
  addon.name = id;
  addon.origin = AddonOrigin::Policy;
  addon.source = source;
  return addon;
}

// Values named "1", "2", ... (or anything: Chromium reads them all) of a list policy.
void ListPolicyValues(HKEY key, const std::function<void(const std::string& name, const std::string& value)>& take) {
  for (const RegistryValue& value : Values(key)) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) continue;
    std::optional<std::string> text = ReadString(key, value.name);
    if (text && !Trim(*text).empty()) take(value.name, *text);
  }
}

void ListPolicies(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing) {
  std::string policy = browser.policyKey;
  ForEachKey(places, policy + "\\ExtensionInstallForcelist", [&](const RegistryLocation& location, HKEY key) {
    ListPolicyValues(key, [&](const std::string& name, const std::string& value) {
      ForcelistEntry entry = ParseForcelistValue(value);
      if (entry.id.empty()) return;
      BrowserAddon addon = PolicyAddon(browser, entry.id, AddonSource::ForcelistValue);
      addon.key = location;
      addon.valueName = name;
      listing.addons.push_back(std::move(addon));
    });
  });
  ForEachKey(places, policy, [&](const RegistryLocation& location, HKEY key) {
    std::optional<std::string> json = ReadString(key, "ExtensionSettings");
    if (!json) return;
    std::optional<std::vector<PolicyExtension>> entries = ReadExtensionSettings(*json);
    if (!entries) {
      listing.notes.push_back("Damaged: " + location.DisplayName() + "\\ExtensionSettings");
      return;
    }
    for (const PolicyExtension& entry : *entries) {
      if (!InstallsExtension(entry)) continue;
      BrowserAddon addon = PolicyAddon(browser, entry.id, AddonSource::SettingsEntry);
      addon.key = location;
      addon.valueName = "ExtensionSettings";
      listing.addons.push_back(std::move(addon));
    }
  });
  if (browser.layout != ProfileLayout::Firefox) return;
  ForEachKey(places, policy + "\\Extensions\\Install", [&](const RegistryLocation& location, HKEY key) {
    ListPolicyValues(key, [&](const std::string& name, const std::string& value) {
      BrowserAddon addon = PolicyAddon(browser, value, AddonSource::FirefoxInstallValue);
      addon.name = LastPathPart(value);
      addon.key = location;
      addon.valueName = name;
      addon.folder = FolderOf(value);
      listing.addons.push_back(std::move(addon));
    });
  });
}

BrowserAddon OutsideAddon(const BrowserInfo& browser, const std::string& id, const RegistryLocation& key) {
  BrowserAddon addon = AddonOf(browser);
  addon.id = id;
  addon.name = id;
  addon.origin = AddonOrigin::Outside;
  addon.source = AddonSource::OutsideKey;
  addon.key = key;
  return addon;
}

void ListOutsideRegistrations(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing) {
  ForEachKey(places, browser.outsideKey, [&](const RegistryLocation& location, HKEY key) {
    if (browser.layout == ProfileLayout::Firefox) {
      // One value per add-on: its id names the file or folder it points at.
      for (const RegistryValue& value : Values(key)) {
        std::optional<std::string> path = ReadString(key, value.name);
        if (value.name.empty() || !path) continue;
        BrowserAddon addon = OutsideAddon(browser, value.name, location);
        addon.valueName = value.name;
        addon.addonFile = AbsolutePath(*path);
        addon.folder = FolderOf(*path);
        listing.addons.push_back(std::move(addon));
      }
      return;
    }
    // One key per extension: "path" to its .crx and "version", or an "update_url".
    for (const std::string& id : SubkeyNames(key)) {
      RegistryLocation child = location.Child(id);
      UniqueKey extension = child.Open();
      if (id.empty() || !extension) continue;
      BrowserAddon addon = OutsideAddon(browser, id, child);
      addon.version = ReadString(extension.Get(), "version").value_or("");
      addon.folder = FolderOf(ReadString(extension.Get(), "path").value_or(""));
      listing.addons.push_back(std::move(addon));
    }
  });
}

// Where Firefox is installed: Mozilla's own keys, then App Paths.
std::vector<std::string> FirefoxInstallFolders(const AddonPlaces& places) {
  std::vector<std::string> folders;
  auto add = [&](const std::string& folder) {
    std::string path = AbsolutePath(std::string(Trim(folder, " \"")));
    if (path.empty()) return;
    for (const std::string& known : folders)
      if (SameNameIgnoringCase(known, path)) return;
    folders.push_back(path);
  };
  ForEachKey(places, "SOFTWARE\\Mozilla\\Mozilla Firefox", [&](const RegistryLocation& location, HKEY key) {
    for (const std::string& version : SubkeyNames(key))
      if (UniqueKey main = location.Child(version + "\\Main").Open())
        add(ReadString(main.Get(), "Install Directory").value_or(""));
  }, /*machineOnly=*/true);
  ForEachKey(places, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\firefox.exe",
             [&](const RegistryLocation&, HKEY key) {
               std::string program(Trim(ReadString(key, "").value_or(""), " \""));
               add(ParentFolder(program));
             });
  return folders;
}

}  // namespace

void ListRegistryAddons(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing) {
  if (*browser.policyKey) ListPolicies(browser, places, listing);
  if (*browser.outsideKey) ListOutsideRegistrations(browser, places, listing);
}

void ListFirefoxPolicyFiles(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing) {
  for (const std::string& folder : FirefoxInstallFolders(places)) {
    std::string file = folder + "\\distribution\\policies.json";
    std::optional<std::string> text = ReadBrowserFile(file, listing);
    if (!text) continue;
    std::optional<FirefoxPolicies> policies = ReadFirefoxPolicies(*text);
    if (!policies) {
      listing.notes.push_back("Damaged: " + file);
      continue;
    }
    auto add = [&](BrowserAddon addon, const char* list) {
      addon.addonFile = file;
      addon.valueName = list;
      listing.addons.push_back(std::move(addon));
    };
    for (const PolicyExtension& entry : policies->settings)
      if (InstallsExtension(entry)) add(PolicyAddon(browser, entry.id, AddonSource::PoliciesFile), "ExtensionSettings");
    for (const std::string& item : policies->install) {
      BrowserAddon addon = PolicyAddon(browser, item, AddonSource::PoliciesFile);
      addon.name = LastPathPart(item);
      addon.folder = FolderOf(item);
      add(std::move(addon), "Extensions.Install");
    }
  }
}

}  // namespace tidewell
