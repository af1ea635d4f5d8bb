#include "tidewell/removal/RestoreCheck.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"

namespace tidewell {

namespace {

HKEY RootKey(std::string_view name) {
  const std::pair<const char*, HKEY> roots[] = {
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_USERS", HKEY_USERS},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
  };
  for (const auto& [text, key] : roots)
    if (SameNameIgnoringCase(name, text)) return key;
  return nullptr;
}

}  // namespace

std::vector<std::string> NotInRegistry(const std::vector<RegFileKey>& keys) {
  std::vector<std::string> missing;
  REGSAM view = RegistryViews().size() > 1 ? KEY_WOW64_64KEY : 0;
  std::vector<BYTE> buffer;
  for (const auto& key : keys) {
    std::string_view path = key.path;
    size_t slash = path.find('\\');
    HKEY root = RootKey(path.substr(0, slash));
    std::wstring below = slash == std::string_view::npos ? std::wstring() : WideFromUtf8(path.substr(slash + 1));
    UniqueKey opened;
    LONG status = root ? RegOpenKeyExW(root, below.c_str(), 0, KEY_QUERY_VALUE | view, opened.Put())
                       : ERROR_INVALID_HANDLE;
    if (key.deleted) {
      if (status != ERROR_FILE_NOT_FOUND) missing.push_back(key.path);
      continue;
    }
    if (status != ERROR_SUCCESS) {
      missing.push_back(key.path);
      continue;
    }
    // Each key is opened once and each value read once: a CLSID backup holds thousands.
    for (const auto& value : key.values) {
      // One byte more than the file's data: a longer value then does not fit, and differs.
      buffer.resize(value.data.size() + 1);
      DWORD type = 0, size = static_cast<DWORD>(buffer.size());
      LONG read = RegQueryValueExW(opened.Get(), WideFromUtf8(value.name).c_str(), nullptr, &type, buffer.data(), &size);
      bool holds = value.deleted ? read == ERROR_FILE_NOT_FOUND
                                 : read == ERROR_SUCCESS && type == value.type && size == value.data.size() &&
                                       std::equal(value.data.begin(), value.data.end(), buffer.begin());
      if (!holds) missing.push_back(key.path + ": " + (value.name.empty() ? "(Default)" : value.name));
    }
  }
  return missing;
}

}  // namespace tidewell
