// Any bytes as each browser file the add-on listing reads: every reader must
// end without a crash or a throw, and what it gives must be whole.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tidewell/addons/BrowserJson.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto extensions = tidewell::ReadChromiumExtensions(text)) {
    for (const auto& extension : *extensions) Require(!extension.id.empty());
    auto merged = *extensions;
    tidewell::MergeChromiumExtensions(merged, *extensions);
    // Ids are unique, so a list merged with itself stays as it was.
    Require(merged.size() == extensions->size());
    for (const auto& extension : merged) (void)tidewell::ChromiumOrigin(extension);
  }
  if (auto manifest = tidewell::ReadManifest(text)) (void)tidewell::MessageKey(manifest->name);
  (void)tidewell::ReadLocaleMessage(text, "appName");
  for (const auto& profile : tidewell::ReadFirefoxProfiles(text)) Require(!profile.path.empty());
  if (auto addons = tidewell::ReadFirefoxAddons(text))
    for (const auto& addon : *addons)
      Require(!addon.id.empty() && tidewell::AddonOriginText(tidewell::FirefoxOrigin(addon.location))[0] != '\0');
  if (auto settings = tidewell::ReadExtensionSettings(text))
    for (const auto& entry : *settings) Require(!entry.id.empty());
  if (auto policies = tidewell::ReadFirefoxPolicies(text))
    for (const auto& item : policies->install) Require(!item.empty());
  (void)tidewell::ParseForcelistValue(text);
  (void)tidewell::LastPathPart(text);
  return 0;
}
