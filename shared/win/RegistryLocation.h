#pragma once
// A registry key named the way it is really stored: its hive, its path below
// the hive and the view it is seen in. HKEY_CLASSES_ROOT is only a merged
// view of two real places (the user's Software\Classes over the machine's),
// so a location there is resolved to its real copies before anything is
// exported or deleted.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shared/text/EnvironmentText.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"

namespace tidewell {

// True for a 64-bit Windows, whichever build asks.
bool HasTwoViews();

// "HKLM", "HKCU", "HKCR", "HKU", "HKCC": the short form reg.exe takes; empty for other handles.
std::string ShortHiveName(HKEY hive);
// The hive of a short ("HKLM") or long ("HKEY_LOCAL_MACHINE") name, any case.
std::optional<HKEY> HiveOfName(std::string_view name);

struct RegistryLocation {
  HKEY hive = nullptr;
  std::string path;  // below the hive; no leading or trailing "\"
  RegistryView view = RegistryView::Native;

  // Parses "HKLM\Software\X" or "HKEY_LOCAL_MACHINE\Software\X".
  static std::optional<RegistryLocation> Parse(std::string_view text, RegistryView view = RegistryView::Native);

  // The view spelled out: Native becomes the build's own view where Windows
  // has two, so two locations of one key compare equal.
  RegistryView ExactView() const;
  bool IsMerged() const { return hive == HKEY_CLASSES_ROOT; }
  // Names below the hive ("Software\A" is 2).
  size_t Depth() const;
  RegistryLocation Child(std::string_view name) const;

  UniqueKey Open(REGSAM access = KEY_READ) const;
  UniqueKey Create(REGSAM access = KEY_ALL_ACCESS) const;
  bool Exists() const { return static_cast<bool>(Open()); }
  // Deletes the key and all below it. Refuses the merged view and the hive
  // itself; true when the key no longer opens.
  bool Delete() const;

  // The path where the view really keeps the key: below Wow6432Node for a
  // 32-bit view that Windows redirects; the path itself otherwise, and for
  // a key the system keeps in one place for both views.
  std::string ViewPath() const;
  // The key in reg.exe's short-root form, with the Wow6432Node path where
  // the view is redirected there ("HKLM\SOFTWARE\Wow6432Node\X"), so the
  // machine's own 64-bit reg.exe exports and imports the same key.
  std::string ToolName() const;
  // The same with the long root, as .reg files name it.
  std::string FileName() const;
  // Shown to the user: the long root, the path and the view's label.
  std::string DisplayName() const;
  // The key's name in the registry's own namespace ("\REGISTRY\MACHINE\..."):
  // two locations that reach one stored key (a key both views share) give
  // the same name. Empty when the key does not open.
  std::string RealName() const;

  // For HKCR: the user's and the machine's real copies that exist, the
  // user's first (it is the one HKCR shows). Any other hive: itself.
  std::vector<RegistryLocation> RealCopies() const;

  // A file path registered in this view as its own programs see it:
  // environment variables expanded for the view (%ProgramFiles% is
  // "Program Files (x86)" for a 32-bit program) and System32 turned into the
  // folder this build reaches the view's System32 by. A caller with rules
  // of its own for the variables (only the first one, say) passes them.
  using Expansion = std::function<std::string(const std::string& text, const EnvironmentLookup& lookup)>;
  std::string ExpandPath(const std::string& registered, const Expansion& expand = {}) const;

  friend bool operator==(const RegistryLocation& a, const RegistryLocation& b);
};

// A path as the view's programs find it, for a path already expanded:
// System32 becomes SysWOW64 for a 32-bit view (in the 64-bit build) or
// Sysnative for a 64-bit view (in the 32-bit build).
std::string PathFromView(const std::string& path, RegistryView view);

}  // namespace tidewell
