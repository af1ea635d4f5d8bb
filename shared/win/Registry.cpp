#include "shared/win/Registry.h"

namespace tidewell {

UniqueKey OpenKey(HKEY root, const std::string& path, REGSAM access) {
  UniqueKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, access, key.Put()) != ERROR_SUCCESS) key.Release();
  return key;
}

UniqueKey CreateKey(HKEY root, const std::string& path, REGSAM access) {
  UniqueKey key;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
    key.Release();
  return key;
}

std::optional<std::string> ReadString(HKEY key, const std::string& name) {
  DWORD type = 0, length = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &length) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::string value(length + 1, '\0');
  length = static_cast<DWORD>(value.size());
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &length) !=
      ERROR_SUCCESS)
    return std::nullopt;
  // Stored strings may or may not carry their terminating NUL.
  value.resize(std::min<size_t>(length, value.size()));
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

std::optional<DWORD> ReadDword(HKEY key, const std::string& name) {
  DWORD type = 0, value = 0, length = sizeof value;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &length) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return std::nullopt;
  return value;
}

bool WriteString(HKEY key, const std::string& name, const std::string& value, DWORD type) {
  return RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool WriteDword(HKEY key, const std::string& name, DWORD value) {
  return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[256];  // the longest key name the registry allows is 255
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) names.emplace_back(name, length);
    else if (result != ERROR_MORE_DATA) break;
  }
  return names;
}

std::vector<RegistryValue> Values(HKEY key) {
  std::vector<RegistryValue> values;
  DWORD maxName = 0, maxData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return values;
  std::string name(maxName + 1, '\0');
  std::vector<BYTE> data(maxData + 1);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
    LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
    if (result != ERROR_SUCCESS) break;
    values.push_back({name.substr(0, nameLength), type, std::vector<BYTE>(data.begin(), data.begin() + dataLength)});
  }
  return values;
}

std::string RootKeyName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (root == HKEY_USERS) return "HKEY_USERS";
  if (root == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG";
  return {};
}

}  // namespace tidewell
