// The browser add-on listing over 10 planted Chrome profiles of 50
// extensions each, half of them named through their _locales; the target is
// under 1 s. Every planted extension must be one row, by its resolved name.

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchReport.h"
#include "tidewell/addons/BrowserAddons.h"

using namespace tidewell;
namespace fs = std::filesystem;

namespace {

constexpr int kProfiles = 10, kExtensionsPerProfile = 50;
constexpr double kTargetSeconds = 1.0;

void Plant(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// A 32-letter id of the letters a to p, as Chromium makes them.
std::string ExtensionId(int profile, int extension) {
  std::string id(32, 'a');
  int number = profile * 1000 + extension;
  for (int i = 0; i < 8; ++i, number /= 16) id[31 - i] = static_cast<char>('a' + number % 16);
  return id;
}

}  // namespace

int main() {
  fs::path folder = fs::temp_directory_path() / ("tidewell-bench-addons-" + std::to_string(GetCurrentProcessId()));
  fs::path userData = folder / "Local" / "Google" / "Chrome" / "User Data";
  for (int p = 0; p < kProfiles; ++p) {
    fs::path profile = userData / ("Profile " + std::to_string(p));
    std::string settings;
    for (int e = 0; e < kExtensionsPerProfile; ++e) {
      std::string id = ExtensionId(p, e);
      bool localised = e % 2 == 0;
      std::string name = localised ? "__MSG_extName__" : "Bench extension " + std::to_string(e);
      settings += (e ? "," : "") + ("\"" + id + "\":{\"manifest\":{\"name\":\"" + name +
                                    "\",\"version\":\"1.0\",\"permissions\":[\"tabs\",\"storage\"]},"
                                    "\"location\":1,\"state\":1,\"from_webstore\":true}");
      fs::path version = profile / "Extensions" / id / "1.0_0";
      Plant(version / "manifest.json", "{\"name\":\"" + name + "\",\"version\":\"1.0\",\"default_locale\":\"en\"}");
      if (localised)
        Plant(version / "_locales" / "en" / "messages.json",
              "{\"extName\":{\"message\":\"Bench extension " + std::to_string(e) + "\"}}");
    }
    Plant(profile / "Secure Preferences", "{\"extensions\":{\"settings\":{" + settings + "}}}");
    Plant(profile / "Preferences", "{\"browser\":{\"window_placement\":{}},\"extensions\":{\"settings\":{}}}");
  }

  AddonPlaces places;
  places.localAppData = (folder / "Local").string();
  places.appData = (folder / "Roaming").string();
  // Keys that are not there: only the files are measured.
  places.machine = {HKEY_LOCAL_MACHINE, "Software\\TidewellBench\\absent"};
  places.user = {HKEY_CURRENT_USER, "Software\\TidewellBench\\absent"};

  AddonListing listing;
  double seconds = bench::MeasureSeconds([&] { listing = ListBrowserAddons(places); });
  bench::Report("browser add-ons: 10 profiles x 50", seconds, "s", kTargetSeconds);
  long long named = 0;
  for (const BrowserAddon& addon : listing.addons) named += addon.name.starts_with("Bench extension ");
  bench::SameCount("listed extensions", static_cast<long long>(listing.addons.size()), kProfiles * kExtensionsPerProfile);
  bench::SameCount("extensions by their name", named, kProfiles * kExtensionsPerProfile);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return bench::ExitStatus();
}
