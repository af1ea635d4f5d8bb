#include "tidewell/regclean/EntryChecks.h"

#include <windows.h>

#include <string_view>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/RegistryLocation.h"
#include "shared/win/Utf8.h"
#include "tidewell/regclean/CategoryText.h"

namespace tidewell {

namespace {

constexpr const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// The variables a program of the other view sees under another name.
struct VariableForView {
  std::string_view name;
  std::string_view otherView;
};
#ifdef _WIN64
constexpr RegistryView kOtherView = RegistryView::Bits32;
constexpr VariableForView kOtherViewVariables[] = {
    {"%ProgramFiles%", "%ProgramFiles(x86)%"},
    {"%CommonProgramFiles%", "%CommonProgramFiles(x86)%"},
};
#else
constexpr RegistryView kOtherView = RegistryView::Bits64;
constexpr VariableForView kOtherViewVariables[] = {
    {"%ProgramFiles%", "%ProgramW6432%"},
    {"%CommonProgramFiles%", "%CommonProgramW6432%"},
};
#endif

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Variable names are ASCII, and no byte of a longer UTF-8 sequence is an
// ASCII letter, so folding ASCII alone is exact here.
std::string ReplaceAllNoCase(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = 0; at + from.size() <= text.size();) {
    bool match = true;
    for (size_t i = 0; i < from.size() && match; ++i) match = AsciiLower(text[at + i]) == AsciiLower(from[i]);
    if (!match) {
      ++at;
      continue;
    }
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

Presence FromError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return Presence::Missing;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY: return Presence::BadName;
    default: return Presence::Unknown;
  }
}

// "C:\" or "\\server\share\"; empty when the path names neither.
std::string VolumeRoot(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return path.substr(0, 3);
  if (!path.starts_with("\\\\")) return {};
  size_t server = path.find('\\', 2);
  if (server == std::string::npos || server == 2) return {};
  size_t share = path.find('\\', server + 1);
  if (share == server + 1) return {};
  return share == std::string::npos ? path + "\\" : path.substr(0, share + 1);
}

Presence LookUp(const std::string& path, bool fileOnly) {
  DWORD attributes = PathAttributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return fileOnly && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Presence::Missing : Presence::Found;
  Presence presence = FromError(GetLastError());
  if (presence != Presence::Missing) return presence;
  // "Not found" on a drive or share that is not there says nothing of the file.
  std::string root = VolumeRoot(path);
  return !root.empty() && PathAttributes(root) != INVALID_FILE_ATTRIBUTES ? Presence::Missing : Presence::Unknown;
}

// The folder holding path, "C:\" for a file at a drive's root.
std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('\\');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash == 2 && path[1] == ':' ? 3 : slash);
}

bool HasExtension(const std::string& path) {
  size_t dot = path.rfind('.');
  return dot != std::string::npos && path.find('\\', dot) == std::string::npos;
}

bool InAppPaths(const std::string& name, RegistryView view) {
  if (name.find('\\') != std::string::npos || name.empty()) return false;
  if (OpenKey(HKEY_LOCAL_MACHINE, kAppPaths + name, KEY_READ, view)) return true;
  return !HasExtension(name) && OpenKey(HKEY_LOCAL_MACHINE, kAppPaths + name + ".exe", KEY_READ, view);
}

Presence OnSearchPath(const std::string& name) {
  std::wstring wide = WideFromUtf8(name);
  if (wide.empty()) return Presence::BadName;
  std::wstring found(MAX_PATH, L'\0');
  DWORD length = SearchPathW(nullptr, wide.c_str(), L".exe", static_cast<DWORD>(found.size()), found.data(), nullptr);
  if (length >= found.size()) {
    found.resize(length);
    length = SearchPathW(nullptr, wide.c_str(), L".exe", static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (length >= found.size()) return Presence::Unknown;
  }
  if (length == 0) return FromError(GetLastError());
  found.resize(length);
  std::optional<std::string> path = Utf8FromWide(found);
  return path ? LookUp(*path, true) : Presence::BadName;
}

Presence ProgramPresence(const std::string& candidate, RegistryView view) {
  if (!IsFullPath(candidate)) {
    if (InAppPaths(candidate, view)) return Presence::Found;
    return OnSearchPath(candidate);
  }
  Presence presence = LookUpInView(candidate, view, true);
  if (presence != Presence::Missing || HasExtension(candidate)) return presence;
  Presence withExe = LookUpInView(candidate + ".exe", view, true);
  return withExe == Presence::BadName ? Presence::Missing : withExe;
}

}  // namespace

std::string ExpandForView(const std::string& text, RegistryView view) {
  if (text.find('%') == std::string::npos) return text;
  std::string source = text;
  if (view == kOtherView && RegistryViews().size() > 1)
    for (const auto& variable : kOtherViewVariables)
      source = ReplaceAllNoCase(source, variable.name, variable.otherView);
  std::wstring wide = WideFromUtf8(source);
  if (wide.empty()) return text;
  DWORD size = ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring expanded(size, L'\0');
  DWORD written = ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), size);
  if (written == 0 || written > size) return text;
  expanded.resize(written - 1);
  return Utf8FromWide(expanded).value_or(text);
}

Presence LookUpInView(const std::string& path, RegistryView view, bool fileOnly) {
  return LookUp(PathFromView(path, view), fileOnly);
}

bool IsMissingFile(const std::string& text, RegistryView view, bool libraryChance) {
  std::string path = ExtractQuotedPath(ExpandForView(text, view));
  if (IsUnjudgeable(path) || path.find(":\\") == std::string::npos) return false;
  if (LookUpInView(path, view) != Presence::Missing) return false;
  // A loader cannot find a file in a folder that is not there either; the
  // look is slow (under Wine most of a scan), so only a folder that exists
  // earns it.
  std::string reached = PathFromView(path, view);
  if (libraryChance && LookUp(FolderOf(reached), false) == Presence::Found) {
    // As data only: the library's own code never runs, not even its entry point.
    UniqueModule module(LoadLibraryExW(WideFromUtf8(reached).c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (module) return false;
  }
  return true;
}

bool IsMissingProgram(const std::string& command, RegistryView view) {
  std::string expanded = ExpandForView(command, view);
  if (IsUnjudgeable(expanded)) return false;
  bool missing = false;
  for (const std::string& candidate : ProgramCandidates(expanded)) {
    switch (ProgramPresence(candidate, view)) {
      case Presence::Found:
      case Presence::Unknown: return false;
      case Presence::Missing: missing = true; break;
      case Presence::BadName: break;
    }
  }
  return missing;
}

}  // namespace tidewell
