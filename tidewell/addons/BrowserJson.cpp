#include "tidewell/addons/BrowserJson.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "shared/text/Text.h"

namespace tidewell {
namespace {

using Json = nlohmann::json;

// Parsed only within the depth bound, and never by throwing.
std::optional<Json> ParseJson(std::string_view text) {
  if (text.size() > kMaxBrowserFileLength || !JsonDepthWithin(text)) return std::nullopt;
  Json value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded()) return std::nullopt;
  return value;
}

const Json* Member(const Json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

std::string StringMember(const Json& object, const char* name) {
  const Json* value = Member(object, name);
  return value && value->is_string() ? value->get<std::string>() : std::string();
}

std::optional<bool> BoolMember(const Json& object, const char* name) {
  const Json* value = Member(object, name);
  if (!value || !value->is_boolean()) return std::nullopt;
  return value->get<bool>();
}

std::optional<long long> IntegerMember(const Json& object, const char* name) {
  const Json* value = Member(object, name);
  if (!value || !value->is_number_integer()) return std::nullopt;
  return value->get<long long>();
}

// A member reached by a path of names, each an object's.
const Json* Path(const Json& root, std::initializer_list<const char*> names) {
  const Json* at = &root;
  for (const char* name : names)
    if (!(at = Member(*at, name))) return nullptr;
  return at;
}

// Chromium keeps a disabled extension's reasons as a bit mask, newer
// versions as a list; either non-empty means disabled.
std::optional<bool> ChromiumEnabled(const Json& settings) {
  if (const Json* reasons = Member(settings, "disable_reasons")) {
    if (reasons->is_number_integer() && reasons->get<long long>() != 0) return false;
    if (reasons->is_array() && !reasons->empty()) return false;
  }
  if (std::optional<long long> state = IntegerMember(settings, "state")) return *state == 1;
  if (Member(settings, "disable_reasons")) return true;
  return std::nullopt;
}

}  // namespace

AddonMark AddonMarkOf(AddonOrigin origin, AddonState state) {
  if (origin == AddonOrigin::Policy || origin == AddonOrigin::Outside) return AddonMark::HighRisk;
  return state == AddonState::Disabled ? AddonMark::Unknown : AddonMark::None;
}

const char* AddonOriginText(AddonOrigin origin) {
  switch (origin) {
    case AddonOrigin::Store: return "store";
    case AddonOrigin::Policy: return "forced by policy";
    case AddonOrigin::Outside: return "installed from outside the browser";
    case AddonOrigin::Unpacked: return "unpacked";
    case AddonOrigin::BrowserFolder: return "from the browser's own folder";
  }
  return "";
}

const char* AddonStateText(AddonState state) { return state == AddonState::Enabled ? "enabled" : "disabled"; }

bool JsonDepthWithin(std::string_view text, int maxDepth) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > maxDepth) return false;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return true;
}

std::optional<std::vector<ChromiumExtension>> ReadChromiumExtensions(std::string_view preferences) {
  std::optional<Json> root = ParseJson(preferences);
  if (!root || !root->is_object()) return std::nullopt;
  std::vector<ChromiumExtension> extensions;
  const Json* settings = Path(*root, {"extensions", "settings"});
  if (!settings || !settings->is_object()) return extensions;
  for (const auto& [id, entry] : settings->items()) {
    if (!entry.is_object() || id.empty()) continue;
    ChromiumExtension extension;
    extension.id = id;
    if (const Json* manifest = Member(entry, "manifest")) {
      extension.name = StringMember(*manifest, "name");
      extension.version = StringMember(*manifest, "version");
    }
    extension.path = StringMember(entry, "path");
    extension.enabled = ChromiumEnabled(entry);
    std::optional<long long> location = IntegerMember(entry, "location");
    if (location && *location > 0 && *location < 100) extension.location = static_cast<int>(*location);
    extension.fromWebstore = BoolMember(entry, "from_webstore").value_or(false);
    extension.installedByDefault = BoolMember(entry, "was_installed_by_default").value_or(false);
    extensions.push_back(std::move(extension));
  }
  return extensions;
}

void MergeChromiumExtensions(std::vector<ChromiumExtension>& into, const std::vector<ChromiumExtension>& more) {
  for (const ChromiumExtension& extra : more) {
    auto found = std::find_if(into.begin(), into.end(), [&](const ChromiumExtension& e) { return e.id == extra.id; });
    if (found == into.end()) {
      into.push_back(extra);
      continue;
    }
    if (found->name.empty()) found->name = extra.name;
    if (found->version.empty()) found->version = extra.version;
    if (found->path.empty()) found->path = extra.path;
    if (!found->enabled) found->enabled = extra.enabled;
    if (found->location == 0) found->location = extra.location;
    found->fromWebstore = found->fromWebstore || extra.fromWebstore;
    found->installedByDefault = found->installedByDefault || extra.installedByDefault;
  }
}

bool IsExtensionStub(const ChromiumExtension& extension) {
  return extension.location == 0 && extension.name.empty() && extension.path.empty();
}

AddonOrigin ChromiumOrigin(const ChromiumExtension& extension) {
  switch (extension.location) {
    case 2:   // external preferences file
    case 3:   // external registry
    case 6:   // external preferences, downloaded
      return AddonOrigin::Outside;
    case 4:   // unpacked
    case 8:   // command line
      return AddonOrigin::Unpacked;
    case 5:   // component
    case 10:  // external component
      return AddonOrigin::BrowserFolder;
    case 7:   // external policy, downloaded
    case 9:   // external policy
      return AddonOrigin::Policy;
    default:
      return extension.installedByDefault && !extension.fromWebstore ? AddonOrigin::BrowserFolder : AddonOrigin::Store;
  }
}

std::optional<ManifestFacts> ReadManifest(std::string_view manifest) {
  std::optional<Json> root = ParseJson(manifest);
  if (!root || !root->is_object()) return std::nullopt;
  return ManifestFacts{StringMember(*root, "name"), StringMember(*root, "version"),
                       StringMember(*root, "default_locale")};
}

std::optional<std::string> MessageKey(std::string_view name) {
  constexpr std::string_view prefix = "__MSG_", suffix = "__";
  if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix ||
      name.substr(name.size() - suffix.size()) != suffix)
    return std::nullopt;
  return std::string(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
}

std::optional<std::string> ReadLocaleMessage(std::string_view messages, std::string_view key) {
  std::optional<Json> root = ParseJson(messages);
  if (!root || !root->is_object()) return std::nullopt;
  for (const auto& [name, entry] : root->items()) {
    if (!EqualsNoCase(name, key)) continue;
    std::string message = StringMember(entry, "message");
    if (!message.empty()) return message;
  }
  return std::nullopt;
}

std::vector<FirefoxProfile> ReadFirefoxProfiles(std::string_view profilesIni) {
  std::vector<FirefoxProfile> profiles;
  std::optional<FirefoxProfile> current;
  auto finish = [&] {
    if (current && !current->path.empty()) profiles.push_back(*current);
    current.reset();
  };
  size_t start = 0;
  while (start <= profilesIni.size()) {
    size_t end = profilesIni.find('\n', start);
    if (end == std::string_view::npos) end = profilesIni.size();
    std::string_view line = Trim(profilesIni.substr(start, end - start), " \t\r");
    start = end + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      finish();
      if (StartsWithNoCase(line.substr(1), "Profile")) current.emplace();
      continue;
    }
    size_t equals = line.find('=');
    if (!current || equals == std::string_view::npos) continue;
    std::string_view name = Trim(line.substr(0, equals), " \t");
    std::string_view value = Trim(line.substr(equals + 1), " \t");
    if (EqualsNoCase(name, "Path")) current->path = std::string(value);
    else if (EqualsNoCase(name, "IsRelative")) current->relative = value == "1";
  }
  finish();
  return profiles;
}

std::optional<std::vector<FirefoxAddon>> ReadFirefoxAddons(std::string_view extensionsJson) {
  std::optional<Json> root = ParseJson(extensionsJson);
  if (!root || !root->is_object()) return std::nullopt;
  std::vector<FirefoxAddon> addons;
  const Json* list = Member(*root, "addons");
  if (!list || !list->is_array()) return addons;
  for (const Json& entry : *list) {
    FirefoxAddon addon;
    addon.id = StringMember(entry, "id");
    if (addon.id.empty()) continue;
    const Json* locale = Member(entry, "defaultLocale");
    addon.name = locale ? StringMember(*locale, "name") : std::string();
    if (addon.name.empty()) addon.name = StringMember(entry, "name");
    addon.version = StringMember(entry, "version");
    addon.type = StringMember(entry, "type");
    addon.location = StringMember(entry, "location");
    addon.path = StringMember(entry, "path");
    addon.active = BoolMember(entry, "active").value_or(false);
    addon.userDisabled = BoolMember(entry, "userDisabled").value_or(false);
    addons.push_back(std::move(addon));
  }
  return addons;
}

AddonOrigin FirefoxOrigin(std::string_view location) {
  if (location == "app-profile") return AddonOrigin::Store;
  if (location == "app-temporary") return AddonOrigin::Unpacked;
  if (location == "app-system-defaults" || location == "app-builtin" || location == "app-system-addons")
    return AddonOrigin::BrowserFolder;
  // app-global, app-system-user, app-system-local, app-system-share: put
  // there by another program.
  return AddonOrigin::Outside;
}

namespace {

std::vector<PolicyExtension> ExtensionSettingsOf(const Json& settings) {
  std::vector<PolicyExtension> entries;
  if (!settings.is_object()) return entries;
  for (const auto& [id, entry] : settings.items()) {
    if (id.empty() || !entry.is_object()) continue;
    std::string url = StringMember(entry, "update_url");
    if (url.empty()) url = StringMember(entry, "install_url");
    entries.push_back({id, StringMember(entry, "installation_mode"), url});
  }
  return entries;
}

}  // namespace

std::optional<std::vector<PolicyExtension>> ReadExtensionSettings(std::string_view json) {
  std::optional<Json> root = ParseJson(json);
  if (!root || !root->is_object()) return std::nullopt;
  return ExtensionSettingsOf(*root);
}

bool InstallsExtension(const PolicyExtension& entry) {
  return entry.id != "*" && (entry.mode == "force_installed" || entry.mode == "normal_installed");
}

std::optional<FirefoxPolicies> ReadFirefoxPolicies(std::string_view policiesJson) {
  std::optional<Json> root = ParseJson(policiesJson);
  if (!root || !root->is_object()) return std::nullopt;
  FirefoxPolicies policies;
  if (const Json* settings = Path(*root, {"policies", "ExtensionSettings"}))
    policies.settings = ExtensionSettingsOf(*settings);
  if (const Json* install = Path(*root, {"policies", "Extensions", "Install"}); install && install->is_array())
    for (const Json& item : *install)
      if (item.is_string() && !item.get<std::string>().empty()) policies.install.push_back(item.get<std::string>());
  return policies;
}

ForcelistEntry ParseForcelistValue(std::string_view value) {
  value = Trim(value, " \t");
  size_t semicolon = value.find(';');
  if (semicolon == std::string_view::npos) return {std::string(value), ""};
  return {std::string(Trim(value.substr(0, semicolon), " \t")), std::string(Trim(value.substr(semicolon + 1), " \t"))};
}

std::string LastPathPart(std::string_view pathOrUrl) {
  size_t end = pathOrUrl.find_first_of("?#");
  if (end != std::string_view::npos) pathOrUrl = pathOrUrl.substr(0, end);
  while (!pathOrUrl.empty() && (pathOrUrl.back() == '/' || pathOrUrl.back() == '\\')) pathOrUrl.remove_suffix(1);
  size_t slash = pathOrUrl.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? pathOrUrl : pathOrUrl.substr(slash + 1));
}

std::optional<std::string> WithoutSettingsEntry(std::string_view json, std::string_view id) {
  std::optional<Json> settings = ParseJson(json);
  if (!settings || !settings->is_object() || settings->erase(std::string(id)) == 0) return std::nullopt;
  return settings->dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tidewell
