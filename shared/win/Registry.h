#pragma once
// Reading and writing registry keys without bare handles.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "shared/win/Handles.h"

namespace tidewell {

// On 64-bit Windows the registry shows 32-bit programs a view of their own
// beside the 64-bit one. Native is the view of this build of the program.
enum class RegistryView { Native, Bits32, Bits64 };

// The views to walk: the 32-bit and the 64-bit one where Windows has both
// (also when this build is 32-bit), the native one alone otherwise.
std::vector<RegistryView> RegistryViews();
// The KEY_WOW64_* flag that opens a key in the view; 0 for Native.
REGSAM ViewAccess(RegistryView view);
// "32-bit" / "64-bit" where two views exist, so a row can say which it came
// from; "" for Native.
std::string ViewLabel(RegistryView view);

UniqueKey OpenKey(HKEY root, const std::string& path, REGSAM access = KEY_READ,
                  RegistryView view = RegistryView::Native);
UniqueKey CreateKey(HKEY root, const std::string& path, REGSAM access = KEY_ALL_ACCESS,
                    RegistryView view = RegistryView::Native);

// Deletes root\path with all its subkeys, depth first; never the root
// itself (empty path). True when it is gone.
bool DeleteKeyTree(HKEY root, const std::string& path, RegistryView view = RegistryView::Native);
// Deletes root\path while it still opens (a merged HKCR view can show the
// same key again from another hive). Ends when a pass leaves it in place.
void CleanKey(HKEY root, const std::string& path, RegistryView view = RegistryView::Native);

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
// A value that cannot be read whole (still growing) is skipped and counted in `unreadable`.
std::vector<RegistryValue> Values(HKEY key, int* unreadable = nullptr);

// "HKEY_LOCAL_MACHINE" for HKEY_LOCAL_MACHINE and so on; empty for other
// handles. Kept with the short names in RegistryLocation.cpp.
std::string RootKeyName(HKEY root);

}  // namespace tidewell
