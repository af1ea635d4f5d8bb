#include "tidewell/addons/AddonRemoval.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <charconv>
#include <map>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/addons/AddonSources.h"
#include "tidewell/addons/BrowserJson.h"
#include "tidewell/removal/RemovalService.h"

namespace tidewell {
namespace {

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

std::optional<RawValue> ReadRaw(const RegistryLocation& place, const std::string& name) {
  UniqueKey key = place.Open(KEY_QUERY_VALUE);
  std::wstring wide = WideFromUtf8(name);
  DWORD type = 0, size = 0;
  if (!key || RegQueryValueExW(key.Get(), wide.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  RawValue value{type, std::vector<BYTE>(size)};
  if (RegQueryValueExW(key.Get(), wide.c_str(), nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  return value;
}

std::optional<int> ListNumber(const std::string& name) {
  int number = 0;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (error != std::errc() || end != name.data() + name.size() || number < 1) return std::nullopt;
  return number;
}

// Value `name` of a numbered list goes; the values after it move up one,
// since Chromium stops reading such a list at its first gap.
AddonRemovalOutcome RemoveListValue(RemovalAction& action, const RegistryLocation& list, const std::string& name) {
  PieceOutcome removed = action.Remove(Piece::Value(list, name));
  std::optional<int> number = ListNumber(name);
  if (!removed.gone || !number) return {removed.gone, removed.reason};
  std::map<int, std::string> after;
  if (UniqueKey key = list.Open(KEY_QUERY_VALUE))
    for (const RegistryValue& value : Values(key.Get()))
      if (std::optional<int> other = ListNumber(value.name); other && *other > *number) after[*other] = value.name;
  int free = *number;
  for (const auto& [other, otherName] : after) {
    if (other != free + 1) break;  // already a gap there: nothing after it was read anyway
    // A gap would hide the rest of the list from the browser: say so.
    std::optional<RawValue> moving = ReadRaw(list, otherName);
    if (!moving || !action.Remove(Piece::Value(list, otherName)).gone ||
        !action.WriteValue(list, std::to_string(free), moving->type, moving->data))
      return {true, "the values after it could not move up; its restore puts the list back"};
    free = other;
  }
  return {true, {}};
}

AddonRemovalOutcome RemoveSettingsEntry(RemovalAction& action, const BrowserAddon& addon) {
  std::optional<std::string> json = ReadString(addon.key.Open(KEY_QUERY_VALUE).Get(), addon.valueName);
  std::optional<std::string> rest = json ? WithoutSettingsEntry(*json, addon.id) : std::nullopt;
  if (!rest) return {false, "its policy value could not be read"};
  PieceOutcome removed = action.Remove(Piece::Value(addon.key, addon.valueName));
  if (!removed.gone) return {false, removed.reason};
  std::wstring wide = WideFromUtf8(*rest);
  auto bytes = reinterpret_cast<const BYTE*>(wide.c_str());
  std::vector<BYTE> data(bytes, bytes + (wide.size() + 1) * sizeof(wchar_t));
  if (!action.WriteValue(addon.key, addon.valueName, REG_SZ, data))
    return {true, "the policy's other entries could not be written back; its restore puts them back"};
  return {true, {}};
}

// A Firefox add-on's file lies in its profile's extensions folder; anything
// else a damaged extensions.json names is never touched.
bool InProfileExtensions(const BrowserAddon& addon) {
  std::string folder = UpperCaseName(FullFolderPath(addon.profileFolder + "\\extensions"));
  std::string file = UpperCaseName(FullFolderPath(addon.addonFile));
  return !addon.profileFolder.empty() && file.size() > folder.size() + 1 && file.rfind(folder + "\\", 0) == 0 &&
         file.find("\\..") == std::string::npos;
}

}  // namespace

AddonRemovalWay RemovalWayOf(const BrowserAddon& addon) {
  switch (addon.source) {
    case AddonSource::ForcelistValue:
    case AddonSource::SettingsEntry:
    case AddonSource::FirefoxInstallValue:
    case AddonSource::OutsideKey: return AddonRemovalWay::Registry;
    case AddonSource::FirefoxProfileAddon:
      return addon.origin == AddonOrigin::BrowserFolder ? AddonRemovalWay::Browser : AddonRemovalWay::ProfileFile;
    case AddonSource::PoliciesFile: return AddonRemovalWay::PolicyFile;
    case AddonSource::ProfileRecord: break;
  }
  return AddonRemovalWay::Browser;
}

std::string RemovedAddonComment(const BrowserAddon& addon) {
  return "Removed browser add-on: " + (addon.name.empty() ? addon.id : addon.name) + " (" + addon.browser + ")";
}

AddonRemovalOutcome RemoveBrowserAddon(CADODatabase& database, const std::string& appFolder,
                                       const BrowserAddon& addon) {
  AddonRemovalWay way = RemovalWayOf(addon);
  if (way == AddonRemovalWay::Browser) return {false, addon.browser + " itself must remove it"};
  if (way == AddonRemovalWay::PolicyFile) return {false, "it is set in " + addon.addonFile};
  if (way == AddonRemovalWay::ProfileFile) {
    if (IsProgramRunning(addon.processName)) return {false, addon.browser + " is running"};
    if (!InProfileExtensions(addon)) return {false, "its file lies outside the profile's extensions folder"};
  }
  RemovalAction action(database, RemovalGuards{appFolder, {}}, RemovedAddonComment(addon));
  AddonRemovalOutcome outcome;
  if (addon.source == AddonSource::ForcelistValue || addon.source == AddonSource::FirefoxInstallValue) {
    outcome = RemoveListValue(action, addon.key, addon.valueName);
  } else if (addon.source == AddonSource::SettingsEntry) {
    outcome = RemoveSettingsEntry(action, addon);
  } else {
    Piece piece = addon.source == AddonSource::FirefoxProfileAddon
                      ? (IsFolder(addon.addonFile) ? Piece::Folder(addon.addonFile) : Piece::File(addon.addonFile))
                  : addon.valueName.empty() ? Piece::Key(addon.key)
                                            : Piece::Value(addon.key, addon.valueName);
    PieceOutcome removed = action.Remove(piece);
    outcome = {removed.gone, removed.reason};
  }
  action.Commit();
  return outcome;
}

bool IsProgramRunning(const std::string& exeName) {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return true;  // unknown counts as running: files are never changed under a browser
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    if (SameNameIgnoringCase(Utf8FromWide(entry.szExeFile).value_or(""), exeName)) return true;
  return false;
}

bool OpenExtensionsPage(const BrowserAddon& addon) {
  // The shell finds the browser through its App Paths registration.
  auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", WideFromUtf8(addon.processName).c_str(),
                                                        WideFromUtf8(addon.extensionsPage).c_str(), nullptr,
                                                        SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace tidewell
