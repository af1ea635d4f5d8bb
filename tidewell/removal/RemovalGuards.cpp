// The one table of what a removal never touches.

#include <windows.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "shared/text/EnvironmentText.h"
#include "shared/win/Environment.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/RemovalActionImpl.h"

namespace tidewell {

namespace {

// Full, upper case, without a trailing backslash (a drive keeps its "C:\");
// empty when the path is not a whole absolute one.
std::string NormalPath(const std::string& path) {
  std::string full = FullFolderPath(path);
  // ASCII, the common case, folds alike in every locale and needs no system call.
  if (std::all_of(full.begin(), full.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    for (char& c : full)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return full;
  }
  return UpperCaseName(full);
}

bool IsSameOrAbove(const std::string& candidate, const std::string& guarded) {
  if (candidate == guarded) return true;
  std::string prefix = candidate.back() == '\\' ? candidate : candidate + "\\";
  return guarded.rfind(prefix, 0) == 0;
}

bool IsSameOrBelow(const std::string& candidate, const std::string& guarded) {
  return IsSameOrAbove(guarded, candidate);
}

constexpr std::array kCriticalProcesses = {
    "csrss.exe",   "winlogon.exe", "services.exe", "lsass.exe",   "smss.exe",    "wininit.exe",
    "explorer.exe", "svchost.exe", "lsm.exe",      "dwm.exe",     "taskhost.exe", "taskhostw.exe",
    "conhost.exe", "sihost.exe",   "fontdrvhost.exe", "System",   "Registry",    "Secure System",
    // Wine's own session services.
    "winedevice.exe", "plugplay.exe", "rpcss.exe", "wineboot.exe", "start.exe", "tabtip.exe",
};

// Each is a guarded folder; a missing variable guards nothing.
constexpr std::array kGuardedFolders = {
    "%SystemDrive%\\",      "%SystemRoot%",           "%windir%",
    "%windir%\\System",     "%windir%\\System32",     "%windir%\\SysWOW64",
    "%ProgramFiles%",       "%ProgramFiles(x86)%",    "%ProgramW6432%",
    "%CommonProgramFiles%", "%CommonProgramFiles(x86)%", "%CommonProgramW6432%",
    "%ProgramData%",        "%ALLUSERSPROFILE%",      "%PUBLIC%",
    "%USERPROFILE%",        "%USERPROFILE%\\Desktop", "%USERPROFILE%\\Favorites",
    "%USERPROFILE%\\Documents", "%APPDATA%",          "%LOCALAPPDATA%",
    "%TEMP%",               "%TMP%",                  "%HOMEDRIVE%%HOMEPATH%",
};

// Keys below their hive, upper case, with no Wow6432Node: never deleted,
// nor any key above one.
constexpr std::array kWellKnownKeys = {
    "SOFTWARE\\MICROSOFT",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCEEX",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICES",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICESONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELL EXTENSIONS\\APPROVED",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\BROWSER HELPER OBJECTS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELLEXECUTEHOOKS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\USER SHELL FOLDERS",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINDOWS",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\IMAGE FILE EXECUTION OPTIONS",
    "SOFTWARE\\MICROSOFT\\INTERNET EXPLORER\\TOOLBAR",
    "SOFTWARE\\MICROSOFT\\INTERNET EXPLORER\\EXTENSIONS",
    "SOFTWARE\\MICROSOFT\\INTERNET EXPLORER\\MAIN",
    "SOFTWARE\\MICROSOFT\\ACTIVE SETUP\\INSTALLED COMPONENTS",
    "SOFTWARE\\MICROSOFT\\CRYPTOGRAPHY",
    "SOFTWARE\\CLASSES\\CLSID",
    "SOFTWARE\\CLASSES\\INTERFACE",
    "SOFTWARE\\CLASSES\\TYPELIB",
    "SOFTWARE\\CLASSES\\APPID",
    "SOFTWARE\\CLASSES\\*\\SHELLEX",
    "SOFTWARE\\CLASSES\\DIRECTORY\\SHELLEX",
    "SOFTWARE\\CLASSES\\FOLDER\\SHELLEX",
    "SOFTWARE\\CLASSES\\EXEFILE\\SHELL\\OPEN\\COMMAND",
    "SOFTWARE\\CLASSES\\PROTOCOLS\\HANDLER",
    "SOFTWARE\\CLASSES\\PROTOCOLS\\FILTER",
    "SOFTWARE\\POLICIES\\MICROSOFT",
    "SYSTEM\\SELECT",
    "SYSTEM\\SETUP",
    "CONTROL PANEL\\DESKTOP",
};

// Everything below these is the system's own.
constexpr std::array kSystemKeyTrees = {
    "SYSTEM\\CURRENTCONTROLSET", "SYSTEM\\CONTROLSET001", "SYSTEM\\CONTROLSET002", "SYSTEM\\CONTROLSET003",
    "SECURITY", "SAM", "HARDWARE",
};

// The key's path as the rules read it: upper case, HKCR and HKU spelled as
// the user's or machine's keys, the 32-bit view's Wow6432Node taken out.
std::string RulePath(const RegistryLocation& key) {
  std::string path = UpperCaseName(key.path);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  if (key.hive == HKEY_CLASSES_ROOT) path = "SOFTWARE\\CLASSES" + (path.empty() ? "" : "\\" + path);
  if (key.hive == HKEY_USERS) {
    size_t sid = path.find('\\');
    path = sid == std::string::npos ? "" : path.substr(sid + 1);
  }
  for (const char* redirected : {"SOFTWARE\\WOW6432NODE", "SOFTWARE\\CLASSES\\WOW6432NODE"}) {
    std::string prefix = redirected;
    if (path == prefix) return prefix.substr(0, prefix.size() - 12);  // the node itself: as shallow as its parent
    if (path.rfind(prefix + "\\", 0) == 0) path = prefix.substr(0, prefix.size() - 12) + path.substr(prefix.size());
  }
  return path;
}

size_t RuleDepth(const std::string& path) {
  if (path.empty()) return 0;
  return static_cast<size_t>(std::count(path.begin(), path.end(), '\\')) + 1;
}

}  // namespace

bool IsCriticalProcess(const std::string& exeName) {
  std::string name = exeName.substr(exeName.find_last_of("\\/") + 1);
  return std::any_of(kCriticalProcesses.begin(), kCriticalProcesses.end(),
                     [&](const char* critical) { return SameNameIgnoringCase(name, critical); });
}

std::vector<std::string> RemovalGuards::GuardedFolders() const {
  EnvironmentLookup lookup = environment ? environment : ProcessEnvironment();
  std::vector<std::string> folders;
  for (const char* pattern : kGuardedFolders) {
    std::string folder = ExpandEnvironment(pattern, lookup);
    // A reference left unexpanded or an empty variable guards nothing.
    if (folder.empty() || folder.find('%') != std::string::npos || folder.front() == '\\') continue;
    if (std::string normal = NormalPath(folder); !normal.empty()) folders.push_back(normal);
  }
  // The profiles' root: the folder that holds the user's profile.
  if (std::optional<std::string> profile = lookup("USERPROFILE")) {
    std::string parent = ParentFolder(FullFolderPath(*profile));
    if (!parent.empty()) folders.push_back(UpperCaseName(parent));
  }
  return folders;
}

std::string RemovalGuards::ApplicationFolder() const {
  if (!appFolder.empty()) return FullFolderPath(appFolder);
  wchar_t module[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::optional<std::string> path = Utf8FromWide(std::wstring_view(module, length));
  return path ? FullFolderPath(ParentFolder(*path)) : std::string();
}

std::string PathRefusalAmong(const std::string& path, const std::string& ownFolder,
                             const std::vector<std::string>& guardedFolders) {
  std::string candidate = NormalPath(path);
  if (candidate.empty() || path.find('/') != std::string::npos) return "its name cannot be used safely";
  if (candidate.size() <= 3 || candidate.find('\\') == std::string::npos || candidate.back() == '\\')
    return "it is a drive";
  if (!ownFolder.empty() && (IsSameOrAbove(candidate, ownFolder) || IsSameOrBelow(candidate, ownFolder)))
    return "it belongs to Tidewell";
  for (const std::string& guarded : guardedFolders)
    if (IsSameOrAbove(candidate, guarded)) return "it is a system folder or holds one";
  return {};
}

std::string RemovalGuards::PathRefusal(const std::string& path) const {
  return PathRefusalAmong(path, UpperCaseName(ApplicationFolder()), GuardedFolders());
}

std::string RemovalGuards::KeyRefusal(const RegistryLocation& key) const {
  if (ShortHiveName(key.hive).empty()) return "the key's hive is not known";
  std::string path = RulePath(key);
  if (RuleDepth(path) < 2) return "the key is too close to its hive";
  for (const char* wellKnown : kWellKnownKeys)
    if (IsSameOrAbove(path, wellKnown)) return "it is one of Windows' own keys or holds one";
  for (const char* tree : kSystemKeyTrees)
    if (IsSameOrAbove(path, tree) || IsSameOrBelow(path, tree)) return "it is one of Windows' own keys";
  return {};
}

std::string RemovalGuards::ValueRefusal(const RegistryLocation& key, const std::string& name) const {
  if (ShortHiveName(key.hive).empty()) return "the key's hive is not known";
  std::string path = RulePath(key);
  if (RuleDepth(path) < 2) return "the key is too close to its hive";
  for (const char* tree : kSystemKeyTrees)
    if (IsSameOrBelow(path, tree)) return "it is one of Windows' own values";
  // Without these Windows starts no desktop; a repair rewrites them, never deletes.
  if (path == "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON" &&
      (SameNameIgnoringCase(name, "Shell") || SameNameIgnoringCase(name, "Userinit")))
    return "Windows cannot start without it";
  return {};
}

std::string RemovalGuards::ProcessRefusal(DWORD processId, const std::string& exeName) const {
  if (processId == GetCurrentProcessId()) return "Tidewell itself uses it";
  if (processId == 0 || processId == 4 || IsCriticalProcess(exeName))
    return "the system process " + exeName + " uses it";
  return {};
}

}  // namespace tidewell
