#include "tidewell/addons/BrowserAddons.h"

#include <algorithm>
#include <map>

#include "shared/text/Text.h"
#include "shared/win/Environment.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "tidewell/addons/AddonSources.h"
#include "tidewell/addons/BrowserJson.h"

namespace tidewell {
namespace {

// Rows of a policy or registration carry only an id; a profile of the same
// browser that has the add-on knows its name.
void NameByProfiles(std::vector<BrowserAddon>& addons) {
  std::map<std::pair<std::string, std::string>, std::string> names;
  for (const BrowserAddon& addon : addons)
    if (addon.source == AddonSource::ProfileRecord || addon.source == AddonSource::FirefoxProfileAddon)
      if (addon.name != addon.id) names.emplace(std::pair(addon.browser, addon.id), addon.name);
  for (BrowserAddon& addon : addons) {
    if (addon.name != addon.id) continue;
    auto found = names.find({addon.browser, addon.id});
    if (found != names.end()) addon.name = found->second;
  }
}

bool Before(const BrowserAddon& a, const BrowserAddon& b) {
  for (auto [x, y] : {std::pair(&a.browser, &b.browser), std::pair(&a.profile, &b.profile),
                      std::pair(&a.name, &b.name), std::pair(&a.id, &b.id)}) {
    std::string lowerX = LowerAscii(*x), lowerY = LowerAscii(*y);
    if (lowerX != lowerY) return lowerX < lowerY;
  }
  return false;
}

}  // namespace

AddonPlaces AddonPlaces::FromEnvironment() {
  AddonPlaces places;
  places.localAppData = EnvironmentVariable("LOCALAPPDATA").value_or("");
  places.appData = EnvironmentVariable("APPDATA").value_or("");
  return places;
}

std::optional<std::string> ReadBrowserFile(const std::string& path, AddonListing& listing, bool* missing) {
  if (missing) *missing = false;
  UniqueHandle file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    bool absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    if (missing) *missing = absent;
    if (!absent) listing.notes.push_back("Cannot read: " + path);
    return std::nullopt;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return std::nullopt;
  if (static_cast<unsigned long long>(size.QuadPart) > kMaxBrowserFileLength) {
    listing.notes.push_back("Skipped (over 20 MB): " + path);
    return std::nullopt;
  }
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() && (!ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
                        read != text.size()))
    return std::nullopt;
  return text;
}

BrowserAddon AddonOf(const BrowserInfo& browser) {
  BrowserAddon addon;
  addon.browser = browser.name;
  addon.processName = browser.processName;
  addon.extensionsPage = browser.extensionsPage;
  return addon;
}

AddonListing ListBrowserAddons(const AddonPlaces& places, const StopToken& stop) {
  AddonListing listing;
  for (const BrowserInfo& browser : Browsers()) {
    if (stop.StopRequested()) break;
    if (browser.layout == ProfileLayout::Firefox) {
      ListFirefoxProfiles(browser, places, listing, stop);
      ListFirefoxPolicyFiles(browser, places, listing);
    } else {
      ListChromiumProfiles(browser, places, listing, stop);
    }
    ListRegistryAddons(browser, places, listing);
  }
  NameByProfiles(listing.addons);
  std::stable_sort(listing.addons.begin(), listing.addons.end(), Before);
  return listing;
}

}  // namespace tidewell
