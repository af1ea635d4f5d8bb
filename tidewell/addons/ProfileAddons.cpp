// The add-ons recorded in the browsers' profile folders: Chromium's
// Preferences and Firefox's extensions.json.

#include <optional>

#include "shared/text/Text.h"
#include "shared/win/FileSystem.h"
#include "tidewell/addons/AddonSources.h"
#include "tidewell/addons/BrowserJson.h"

namespace tidewell {

bool IsFolder(const std::string& path) {
  DWORD attributes = PathAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// folder + a relative path that came from a file, only when every part of
// it is a plain name: a recorded path never climbs out of its folder.
std::optional<std::string> JoinPlain(const std::string& folder, std::string_view relative) {
  std::string path = folder;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = std::min(relative.find_first_of("\\/", start), relative.size());
    std::string_view part = relative.substr(start, end - start);
    if (!IsPlainName(part)) return std::nullopt;
    path += "\\" + std::string(part);
    start = end + 1;
  }
  return path;
}

// An absolute path recorded in a file, made whole; empty for anything else.
std::string AbsolutePath(const std::string& recorded) {
  std::string path = ReplaceAll(recorded, "/", "\\");
  bool drive = path.size() > 2 && path[1] == ':' && path[2] == '\\';
  bool share = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
  return drive || share ? FullFolderPath(path) : std::string();
}

std::string FolderOf(const std::string& recorded) {
  std::string path = AbsolutePath(recorded);
  if (path.empty()) return {};
  if (IsFolder(path)) return path;
  std::string parent = ParentFolder(path);
  return IsFolder(parent) ? parent : std::string();
}

namespace {

// A JSON file of the profile: nothing, with a note, when it is damaged.
template <typename Result, typename Reader>
std::optional<Result> ReadProfileJson(const std::string& path, AddonListing& listing, Reader read) {
  bool missing = false;
  std::optional<std::string> text = ReadBrowserFile(path, listing, &missing);
  if (!text) return std::nullopt;
  std::optional<Result> result = read(*text);
  if (!result) listing.notes.push_back("Damaged: " + path);
  return result;
}

std::string ChromiumExtensionFolder(const std::string& profile, const ChromiumExtension& extension) {
  std::string extensions = profile + "\\Extensions";
  if (!extension.path.empty()) {
    std::string absolute = AbsolutePath(extension.path);
    std::optional<std::string> path = absolute.empty() ? JoinPlain(extensions, extension.path) : absolute;
    return path && IsFolder(*path) ? *path : std::string();
  }
  if (!IsPlainName(extension.id)) return {};
  std::string idFolder = extensions + "\\" + extension.id;
  if (IsPlainName(extension.version))
    for (const char* suffix : {"_0", ""})
      if (IsFolder(idFolder + "\\" + extension.version + suffix)) return idFolder + "\\" + extension.version + suffix;
  std::string found;
  ForEachFolderEntry(idFolder, [&](const FolderEntry& entry) {
    if (entry.IsFolder() && !entry.IsLink()) found = entry.path;
    return found.empty();
  });
  return found;
}

// The manifest's name, its __MSG_ key resolved from the default locale.
std::string ManifestName(const std::string& folder, std::string name, AddonListing& listing) {
  std::optional<ManifestFacts> manifest;
  if (name.empty() || MessageKey(name)) {
    manifest = ReadProfileJson<ManifestFacts>(folder + "\\manifest.json", listing, ReadManifest);
    if (manifest && name.empty()) name = manifest->name;
  }
  std::optional<std::string> key = MessageKey(name);
  if (!key) return name;
  if (!manifest || !IsPlainName(manifest->defaultLocale)) return {};
  bool missing = false;
  std::optional<std::string> messages =
      ReadBrowserFile(folder + "\\_locales\\" + manifest->defaultLocale + "\\messages.json", listing, &missing);
  return messages ? ReadLocaleMessage(*messages, *key).value_or("") : std::string();
}

void ListChromiumProfile(const BrowserInfo& browser, const std::string& profileName, const std::string& profile,
                         AddonListing& listing) {
  // Secure Preferences holds what newer versions protect; Preferences fills the rest.
  std::vector<ChromiumExtension> extensions;
  for (const char* file : {"Secure Preferences", "Preferences"})
    if (auto more = ReadProfileJson<std::vector<ChromiumExtension>>(profile + "\\" + file, listing,
                                                                     ReadChromiumExtensions))
      MergeChromiumExtensions(extensions, *more);
  for (const ChromiumExtension& extension : extensions) {
    if (IsExtensionStub(extension)) continue;
    BrowserAddon addon = AddonOf(browser);
    addon.profile = profileName;
    addon.id = extension.id;
    addon.version = extension.version;
    addon.state = extension.enabled.value_or(true) ? AddonState::Enabled : AddonState::Disabled;
    addon.origin = ChromiumOrigin(extension);
    addon.source = AddonSource::ProfileRecord;
    addon.profileFolder = profile;
    addon.folder = ChromiumExtensionFolder(profile, extension);
    std::string name = extension.name;
    if (!addon.folder.empty()) name = ManifestName(addon.folder, name, listing);
    addon.name = name.empty() || MessageKey(name) ? extension.id : name;
    listing.addons.push_back(std::move(addon));
  }
}

}  // namespace

void ListChromiumProfiles(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing,
                          const StopToken& stop) {
  const std::string& base = browser.roaming ? places.appData : places.localAppData;
  if (base.empty()) return;
  std::string root = base + "\\" + browser.profileRoot;
  if (browser.layout == ProfileLayout::OneProfile) {
    if (PathAttributes(root + "\\Preferences") != INVALID_FILE_ATTRIBUTES)
      ListChromiumProfile(browser, LastPathPart(browser.profileRoot), root, listing);
    return;
  }
  ForEachFolderEntry(root, [&](const FolderEntry& entry) {
    if (entry.IsFolder() && !entry.IsLink() && PathAttributes(entry.path + "\\Preferences") != INVALID_FILE_ATTRIBUTES)
      ListChromiumProfile(browser, entry.name, entry.path, listing);
    return !stop.StopRequested();
  });
}

void ListFirefoxProfiles(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing,
                         const StopToken& stop) {
  const std::string& base = browser.roaming ? places.appData : places.localAppData;
  if (base.empty()) return;
  std::string root = base + "\\" + browser.profileRoot;
  std::optional<std::string> ini = ReadBrowserFile(root + "\\profiles.ini", listing);
  if (!ini) return;
  for (const FirefoxProfile& entry : ReadFirefoxProfiles(*ini)) {
    if (stop.StopRequested()) return;
    std::optional<std::string> profile = entry.relative ? JoinPlain(root, entry.path) : AbsolutePath(entry.path);
    if (!profile || profile->empty()) continue;
    auto addons = ReadProfileJson<std::vector<FirefoxAddon>>(*profile + "\\extensions.json", listing, ReadFirefoxAddons);
    if (!addons) continue;
    for (const FirefoxAddon& found : *addons) {
      BrowserAddon addon = AddonOf(browser);
      addon.profile = LastPathPart(*profile);
      addon.id = found.id;
      addon.name = found.name.empty() ? found.id : found.name;
      addon.version = found.version;
      addon.state = found.active && !found.userDisabled ? AddonState::Enabled : AddonState::Disabled;
      addon.origin = FirefoxOrigin(found.location);
      addon.source = AddonSource::FirefoxProfileAddon;
      addon.profileFolder = *profile;
      addon.addonFile = AbsolutePath(found.path);
      addon.folder = FolderOf(addon.addonFile);
      listing.addons.push_back(std::move(addon));
    }
  }
}

}  // namespace tidewell
