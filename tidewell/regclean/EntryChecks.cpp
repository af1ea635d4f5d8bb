#include "tidewell/regclean/EntryChecks.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "shared/win/Handles.h"
#include "tidewell/regclean/CategoryText.h"

namespace tidewell {

namespace {

constexpr const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string ReplaceNoCase(const std::string& text, const std::string& from, const std::string& to) {
  size_t at = Lower(text).find(Lower(from));
  if (at == std::string::npos) return text;
  return text.substr(0, at) + to + text.substr(at + from.size());
}

bool IsWow64Build() {
#ifdef _WIN64
  return false;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

bool Exists(const std::string& path, bool fileOnly) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return !fileOnly || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ExistsInView(const std::string& path, RegistryView view, bool fileOnly) {
  if (Exists(path, fileOnly)) return true;
  // The other view's programs see another System32 behind the same name.
  if (view == RegistryView::Bits32 && RegistryViews().size() > 1 && !IsWow64Build())
    return Exists(ReplaceNoCase(path, "\\system32\\", "\\SysWOW64\\"), fileOnly);
  if (view == RegistryView::Bits64 && IsWow64Build())
    return Exists(ReplaceNoCase(path, "\\system32\\", "\\Sysnative\\"), fileOnly);
  return false;
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

bool OnSearchPath(const std::string& name) {
  char found[MAX_PATH];
  DWORD length = SearchPathA(nullptr, name.c_str(), ".exe", MAX_PATH, found, nullptr);
  return length > 0 && length < MAX_PATH && Exists(found, true);
}

bool ProgramFound(const std::string& candidate, RegistryView view) {
  if (IsFullPath(candidate))
    return ExistsInView(candidate, view, true) || (!HasExtension(candidate) && ExistsInView(candidate + ".exe", view, true));
  return OnSearchPath(candidate) || InAppPaths(candidate, view);
}

}  // namespace

std::string ExpandForView(const std::string& text, RegistryView view) {
  if (text.find('%') == std::string::npos) return text;
  std::string source = text;
  if (view == RegistryView::Bits32 && RegistryViews().size() > 1 && !IsWow64Build()) {
    source = ReplaceNoCase(source, "%ProgramFiles%", "%ProgramFiles(x86)%");
    source = ReplaceNoCase(source, "%CommonProgramFiles%", "%CommonProgramFiles(x86)%");
  }
  DWORD size = ExpandEnvironmentStringsA(source.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::string expanded(size, '\0');
  DWORD written = ExpandEnvironmentStringsA(source.c_str(), expanded.data(), size);
  if (written == 0 || written > size) return text;
  expanded.resize(written - 1);
  return expanded;
}

bool PathExistsInView(const std::string& path, RegistryView view) { return ExistsInView(path, view, false); }

bool IsMissingFile(const std::string& text, RegistryView view, bool libraryChance) {
  std::string path = ExtractQuotedPath(ExpandForView(text, view));
  if (IsUnjudgeable(path) || path.find(":\\") == std::string::npos) return false;
  if (PathExistsInView(path, view)) return false;
  // A loader cannot find a file in a folder that is not there either; the
  // look is slow (under Wine most of a scan), so only a folder that exists
  // earns it.
  size_t slash = path.rfind('\\');
  if (libraryChance && slash != std::string::npos && PathExistsInView(path.substr(0, slash + 1), view)) {
    // As data only: the library's own code never runs, not even its entry point.
    UniqueModule module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (module) return false;
  }
  return true;
}

bool IsMissingProgram(const std::string& command, RegistryView view) {
  std::string expanded = ExpandForView(command, view);
  if (IsUnjudgeable(expanded)) return false;
  std::vector<std::string> candidates = ProgramCandidates(expanded);
  if (candidates.empty()) return false;  // "" names no program to look for
  for (const std::string& candidate : candidates)
    if (ProgramFound(candidate, view)) return false;
  return true;
}

}  // namespace tidewell
