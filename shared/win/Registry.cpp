#include "shared/win/Registry.h"

#include <algorithm>
#include <cstring>

#include "shared/win/RegistryLocation.h"
#include "shared/win/Utf8.h"

namespace tidewell {

namespace {

constexpr int kCleanPassLimit = 8;
// The A functions carry UTF-8 text: up to three bytes for each of the 255
// UTF-16 units a key name may hold.
constexpr DWORD kKeyNameBytes = 255 * 3 + 1;
constexpr int kGrowLimit = 4;

}  // namespace

std::vector<RegistryView> RegistryViews() {
  if (!HasTwoViews()) return {RegistryView::Native};
  return {RegistryView::Bits64, RegistryView::Bits32};
}

REGSAM ViewAccess(RegistryView view) {
  switch (view) {
    case RegistryView::Bits32: return KEY_WOW64_32KEY;
    case RegistryView::Bits64: return KEY_WOW64_64KEY;
    default: return 0;
  }
}

std::string ViewLabel(RegistryView view) {
  switch (view) {
    case RegistryView::Bits32: return "32-bit";
    case RegistryView::Bits64: return "64-bit";
    default: return "";
  }
}

UniqueKey OpenKey(HKEY root, const std::string& path, REGSAM access, RegistryView view) {
  UniqueKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, access | ViewAccess(view), key.Put()) != ERROR_SUCCESS) key.Release();
  return key;
}

UniqueKey CreateKey(HKEY root, const std::string& path, REGSAM access, RegistryView view) {
  UniqueKey key;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access | ViewAccess(view), nullptr, key.Put(), nullptr) !=
      ERROR_SUCCESS)
    key.Release();
  return key;
}

bool DeleteKeyTree(HKEY root, const std::string& path, RegistryView view) {
  if (path.empty() || path.find_first_not_of('\\') == std::string::npos) return false;  // never the root itself
  std::vector<std::string> children;
  // Names first: deleting while enumerating by index would skip every other subkey.
  if (UniqueKey key = OpenKey(root, path, KEY_READ, view)) children = SubkeyNames(key.Get());
  for (const std::string& child : children) DeleteKeyTree(root, path + "\\" + child, view);
  return RegDeleteKeyExA(root, path.c_str(), ViewAccess(view), 0) == ERROR_SUCCESS;
}

void CleanKey(HKEY root, const std::string& path, RegistryView view) {
  for (int pass = 0; pass < kCleanPassLimit && OpenKey(root, path, KEY_READ, view); ++pass) {
    if (!DeleteKeyTree(root, path, view)) break;  // no rights: it would stay for ever
  }
}

std::optional<std::string> ReadString(HKEY key, const std::string& name) {
  DWORD type = 0, length = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &length) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::string value;
  LONG result = ERROR_MORE_DATA;
  // The size asked first may fall short of the converted text; grow and ask again.
  for (int attempt = 0; attempt < kGrowLimit && result == ERROR_MORE_DATA; ++attempt) {
    value.assign(std::max<size_t>(length + 1, value.size() * 2), '\0');
    length = static_cast<DWORD>(value.size());
    result = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &length);
  }
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
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
  char name[kKeyNameBytes];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) names.emplace_back(name, length);
    else if (result != ERROR_MORE_DATA) break;
  }
  return names;
}

std::vector<RegistryValue> Values(HKEY key, int* unreadable) {
  std::vector<RegistryValue> values;
  DWORD maxName = 0, maxData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return values;
  // The maxima count UTF-16: a name's units and a string's bytes, which in
  // UTF-8 take up to three and one and a half times as many bytes.
  std::string name(std::max<DWORD>(maxName * 3 + 1, kKeyNameBytes), '\0');
  std::vector<BYTE> data(maxData + maxData / 2 + 2);
  int grown = 0;
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
    LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
    if (result == ERROR_MORE_DATA && grown++ < kGrowLimit) {
      // A value written since the maxima were read: grow and read it again.
      name.resize(name.size() * 2);
      data.resize(std::max<size_t>(data.size() * 2, dataLength));
      continue;
    }
    if (result == ERROR_SUCCESS)
      values.push_back({name.substr(0, nameLength), type, std::vector<BYTE>(data.begin(), data.begin() + dataLength)});
    else if (result != ERROR_MORE_DATA)
      break;  // no more values, or the key is gone
    else if (unreadable)
      ++*unreadable;
    ++index;
    grown = 0;
  }
  return values;
}

}  // namespace tidewell
