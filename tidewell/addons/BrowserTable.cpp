#include "tidewell/addons/BrowserTable.h"

namespace tidewell {
namespace {

constexpr BrowserInfo kBrowsers[] = {
    {.name = "Google Chrome", .layout = ProfileLayout::ManyProfiles, .roaming = false,
     .profileRoot = "Google\\Chrome\\User Data", .policyKey = "SOFTWARE\\Policies\\Google\\Chrome",
     .outsideKey = "Software\\Google\\Chrome\\Extensions", .processName = "chrome.exe",
     .extensionsPage = "chrome://extensions"},
    {.name = "Microsoft Edge", .layout = ProfileLayout::ManyProfiles, .roaming = false,
     .profileRoot = "Microsoft\\Edge\\User Data", .policyKey = "SOFTWARE\\Policies\\Microsoft\\Edge",
     .outsideKey = "Software\\Microsoft\\Edge\\Extensions", .processName = "msedge.exe",
     .extensionsPage = "edge://extensions"},
    {.name = "Brave", .layout = ProfileLayout::ManyProfiles, .roaming = false,
     .profileRoot = "BraveSoftware\\Brave-Browser\\User Data", .policyKey = "SOFTWARE\\Policies\\BraveSoftware\\Brave",
     .outsideKey = "", .processName = "brave.exe", .extensionsPage = "brave://extensions"},
    {.name = "Vivaldi", .layout = ProfileLayout::ManyProfiles, .roaming = false, .profileRoot = "Vivaldi\\User Data",
     .policyKey = "", .outsideKey = "", .processName = "vivaldi.exe", .extensionsPage = "vivaldi://extensions"},
    {.name = "Opera", .layout = ProfileLayout::OneProfile, .roaming = true,
     .profileRoot = "Opera Software\\Opera Stable", .policyKey = "", .outsideKey = "", .processName = "opera.exe",
     .extensionsPage = "opera://extensions"},
    {.name = "Mozilla Firefox", .layout = ProfileLayout::Firefox, .roaming = true, .profileRoot = "Mozilla\\Firefox",
     .policyKey = "SOFTWARE\\Policies\\Mozilla\\Firefox", .outsideKey = "Software\\Mozilla\\Firefox\\Extensions",
     .processName = "firefox.exe", .extensionsPage = "about:addons"},
};

}  // namespace

std::span<const BrowserInfo> Browsers() { return kBrowsers; }

}  // namespace tidewell
