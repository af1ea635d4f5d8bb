#include "shared/win/RegistryLocation.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "shared/text/Text.h"
#include "shared/win/Environment.h"
#include "shared/win/Utf8.h"

namespace tidewell {

namespace {

struct HiveNames {
  HKEY hive;
  const char* shortName;
  const char* longName;
};

const std::array<HiveNames, 5>& Hives() {
  static const std::array<HiveNames, 5> hives = {{
      {HKEY_LOCAL_MACHINE, "HKLM", "HKEY_LOCAL_MACHINE"},
      {HKEY_CURRENT_USER, "HKCU", "HKEY_CURRENT_USER"},
      {HKEY_CLASSES_ROOT, "HKCR", "HKEY_CLASSES_ROOT"},
      {HKEY_USERS, "HKU", "HKEY_USERS"},
      {HKEY_CURRENT_CONFIG, "HKCC", "HKEY_CURRENT_CONFIG"},
  }};
  return hives;
}

std::string Trimmed(std::string_view path) {
  size_t first = path.find_first_not_of('\\');
  if (first == std::string_view::npos) return {};
  size_t last = path.find_last_not_of('\\');
  return std::string(path.substr(first, last - first + 1));
}

constexpr std::string_view kSoftware = "SOFTWARE\\";
constexpr std::string_view kUserClasses = "Software\\Classes\\";
constexpr std::string_view kWow = "Wow6432Node\\";

// The path where the 32-bit view keeps a key on 64-bit Windows.
std::string RedirectedPath(HKEY hive, const std::string& path) {
  std::string below = path + "\\";
  auto insertAfter = [&](std::string_view prefix) {
    if (StartsWithIgnoringCase(below.substr(prefix.size()), kWow)) return path;  // named there already
    return path.substr(0, prefix.size()) + std::string(kWow) + path.substr(prefix.size());
  };
  if (hive == HKEY_CLASSES_ROOT) {
    if (path.empty() || StartsWithIgnoringCase(below, kWow)) return path;  // the root itself is both views'
    return std::string(kWow) + path;
  }
  // The user's classes first: they live below Software too.
  if (hive == HKEY_CURRENT_USER && below.size() > kUserClasses.size() && StartsWithIgnoringCase(below, kUserClasses))
    return insertAfter(kUserClasses);
  if (hive == HKEY_LOCAL_MACHINE && below.size() > kSoftware.size() && StartsWithIgnoringCase(below, kSoftware))
    return insertAfter(kSoftware);
  return path;
}

std::string SystemFolder(UINT(WINAPI* query)(LPSTR, UINT)) {
  char folder[MAX_PATH];
  UINT length = query(folder, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::string() : std::string(folder, length);
}

}  // namespace

bool HasTwoViews() {
#ifdef _WIN64
  return true;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::string RootKeyName(HKEY root) {
  for (const HiveNames& names : Hives())
    if (names.hive == root) return names.longName;
  return {};
}

std::string ShortHiveName(HKEY hive) {
  for (const HiveNames& names : Hives())
    if (names.hive == hive) return names.shortName;
  return {};
}

std::optional<HKEY> HiveOfName(std::string_view name) {
  for (const HiveNames& names : Hives())
    if (EqualsNoCase(name, names.shortName) || EqualsNoCase(name, names.longName)) return names.hive;
  return std::nullopt;
}

std::optional<RegistryLocation> RegistryLocation::Parse(std::string_view text, RegistryView view) {
  size_t slash = text.find('\\');
  std::optional<HKEY> hive = HiveOfName(text.substr(0, slash));
  if (!hive) return std::nullopt;
  return RegistryLocation{*hive, slash == std::string_view::npos ? std::string() : Trimmed(text.substr(slash)), view};
}

RegistryView RegistryLocation::ExactView() const {
  if (view != RegistryView::Native || !HasTwoViews()) return view;
  return sizeof(void*) == 8 ? RegistryView::Bits64 : RegistryView::Bits32;
}

size_t RegistryLocation::Depth() const {
  size_t depth = 0;
  bool inName = false;
  for (char c : path) {
    if (c == '\\') {
      inName = false;
    } else if (!inName) {
      inName = true;
      ++depth;
    }
  }
  return depth;
}

RegistryLocation RegistryLocation::Child(std::string_view name) const {
  std::string below = Trimmed(name);
  return {hive, path.empty() ? below : below.empty() ? path : path + "\\" + below, view};
}

UniqueKey RegistryLocation::Open(REGSAM access) const { return OpenKey(hive, path, access, view); }

UniqueKey RegistryLocation::Create(REGSAM access) const { return CreateKey(hive, path, access, view); }

bool RegistryLocation::Delete() const {
  if (IsMerged() || Depth() == 0) return false;
  DeleteKeyTree(hive, path, view);
  return !Exists();
}

std::string RegistryLocation::ViewPath() const {
  if (ExactView() != RegistryView::Bits32 || !HasTwoViews()) return path;
  std::string redirected = RedirectedPath(hive, path);
  if (redirected == path || OpenKey(hive, redirected, KEY_READ, RegistryView::Bits64) || !Exists()) return redirected;
  // The key is there in its view but not under the rule's name: the system
  // keeps it in one place for both views (Wine does so for the user's
  // classes). Its real name below the hive says where.
  // The hive's own name is read off its Software key: a hive's predefined
  // handle has no name to ask for.
  constexpr std::string_view kSoftwareKey = "\\Software";
  std::string real = RealName(), root = RegistryLocation{hive, "Software", RegistryView::Bits64}.RealName();
  if (root.size() <= kSoftwareKey.size() || !EqualsNoCase(root.substr(root.size() - kSoftwareKey.size()), kSoftwareKey))
    return redirected;
  root.resize(root.size() - kSoftwareKey.size());
  if (real.size() <= root.size() + 1 || real[root.size()] != '\\' || !StartsWithIgnoringCase(real, root))
    return redirected;
  return real.substr(root.size() + 1);
}

std::string RegistryLocation::ToolName() const {
  std::string shown = ViewPath();
  return ShortHiveName(hive) + (shown.empty() ? "" : "\\" + shown);
}

std::string RegistryLocation::FileName() const {
  std::string shown = ViewPath();
  return RootKeyName(hive) + (shown.empty() ? "" : "\\" + shown);
}

std::string RegistryLocation::DisplayName() const {
  std::string label = ViewLabel(ExactView());
  return RootKeyName(hive) + "\\" + path + (label.empty() ? "" : " (" + label + ")");
}

std::string RegistryLocation::RealName() const {
  using NtQueryKeyFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<NtQueryKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
  constexpr int kKeyNameInformation = 3;
  UniqueKey key = Open();
  if (!query || !key) return {};
  std::vector<BYTE> buffer(4096);
  ULONG length = 0;
  if (query(key.Get(), kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length) < 0) return {};
  ULONG nameLength = 0;
  std::memcpy(&nameLength, buffer.data(), sizeof nameLength);
  nameLength = std::min<ULONG>(nameLength, static_cast<ULONG>(buffer.size() - sizeof nameLength));
  std::wstring name(nameLength / sizeof(wchar_t), L'\0');
  std::memcpy(name.data(), buffer.data() + sizeof nameLength, name.size() * sizeof(wchar_t));
  return Utf8FromWide(name).value_or("");
}

std::vector<RegistryLocation> RegistryLocation::RealCopies() const {
  if (!IsMerged()) return {*this};
  std::vector<RegistryLocation> copies;
  for (HKEY real : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegistryLocation copy{real, "Software\\Classes" + (path.empty() ? "" : "\\" + path), view};
    if (copy.Exists()) copies.push_back(std::move(copy));
  }
  return copies;
}

std::string RegistryLocation::ExpandPath(const std::string& registered, const Expansion& expand) const {
  // The variables a program of the other view sees with other values.
  RegistryView exact = ExactView();
  bool other = exact != RegistryView::Native && (exact == RegistryView::Bits32) != (sizeof(void*) == 4);
  EnvironmentLookup process = ProcessEnvironment();
  EnvironmentLookup lookup = [&](const std::string& name) -> std::optional<std::string> {
    if (other) {
      bool to32 = exact == RegistryView::Bits32;
      if (EqualsNoCase(name, "ProgramFiles")) return process(to32 ? "ProgramFiles(x86)" : "ProgramW6432");
      if (EqualsNoCase(name, "CommonProgramFiles"))
        return process(to32 ? "CommonProgramFiles(x86)" : "CommonProgramW6432");
    }
    return process(name);
  };
  std::string expanded = registered.find('%') == std::string::npos ? registered
                         : expand                                  ? expand(registered, lookup)
                                                                   : ExpandEnvironment(registered, lookup);
  return PathFromView(expanded, exact);
}

bool operator==(const RegistryLocation& a, const RegistryLocation& b) {
  return a.hive == b.hive && a.ExactView() == b.ExactView() && EqualsNoCase(a.path, b.path);
}

std::string PathFromView(const std::string& path, RegistryView view) {
  std::string system = SystemFolder(GetSystemDirectoryA);
  if (system.empty() || !HasTwoViews()) return path;
  if (path.size() <= system.size() || path[system.size()] != '\\' || !StartsWithIgnoringCase(path, system))
    return path;
  std::string reached;
#ifdef _WIN64
  if (view != RegistryView::Bits32) return path;
  reached = SystemFolder(GetSystemWow64DirectoryA);
#else
  if (view != RegistryView::Bits64) return path;
  reached = SystemFolder(GetSystemWindowsDirectoryA);
  if (!reached.empty()) reached += "\\Sysnative";
#endif
  if (reached.empty()) return path;
  return reached + path.substr(system.size());
}

}  // namespace tidewell
