#pragma once
// Reading and writing registry keys without bare handles.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "shared/win/Handles.h"

namespace tidewell {

UniqueKey OpenKey(HKEY root, const std::string& path, REGSAM access = KEY_READ);
UniqueKey CreateKey(HKEY root, const std::string& path, REGSAM access = KEY_ALL_ACCESS);

// REG_SZ and REG_EXPAND_SZ values as stored (not expanded); "" names the unnamed value.
std::optional<std::string> ReadString(HKEY key, const std::string& name);
std::optional<DWORD> ReadDword(HKEY key, const std::string& name);
bool WriteString(HKEY key, const std::string& name, const std::string& value, DWORD type = REG_SZ);
bool WriteDword(HKEY key, const std::string& name, DWORD value);

struct RegistryValue {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

std::vector<std::string> SubkeyNames(HKEY key);
std::vector<RegistryValue> Values(HKEY key);

// "HKEY_LOCAL_MACHINE" for HKEY_LOCAL_MACHINE and so on; empty for other handles.
std::string RootKeyName(HKEY root);

}  // namespace tidewell
