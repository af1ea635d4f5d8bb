#include "tidewell/spyware/Definitions.h"

#include <algorithm>
#include <array>

#include "shared/crypto/BlowfishCipher.h"
#include "shared/text/Text.h"

namespace tidewell {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF. Any
// other byte would be read as some other character, so name something else.
bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || at + length > text.size()) return false;
    for (size_t i = 1; i < length; ++i)
      if ((byte(at + i) & 0xC0) != 0x80) return false;
    unsigned char second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
      return false;
    at += length;
  }
  return true;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t end = path.find_first_of("\\/", start);
    parts.push_back(path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// Keys every Windows has, and the keys through which one reaches them: a key
// signature equal to one of these, or above one, would delete part of Windows.
constexpr std::array kWellKnownKeys = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    "Software\\Microsoft\\Internet Explorer\\Main",
    "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser",
    "Software\\Microsoft\\Internet Explorer\\Extensions",
    "Software\\Microsoft\\Internet Explorer\\SearchScopes",
    "Software\\Microsoft\\Internet Explorer\\Search",
    "Software\\Microsoft\\Internet Explorer\\MenuExt",
    "Software\\Microsoft\\Internet Explorer\\Explorer Bars",
    "Software\\Microsoft\\Active Setup\\Installed Components",
    "Software\\Microsoft\\Code Store Database\\Distribution Units",
    "Software\\Classes\\CLSID",
    "Software\\Classes\\Interface",
    "Software\\Classes\\TypeLib",
    "Software\\Classes\\AppID",
    "Software\\Classes\\Protocols\\Filter",
    "Software\\Classes\\Protocols\\Handler",
    "Software\\Classes\\exefile\\shell\\open\\command",
    "Software\\Classes\\htmlfile\\shell\\open\\command",
    "Software\\Classes\\http\\shell\\open\\command",
    "Software\\Policies\\Microsoft",
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Wow6432Node\\Classes\\CLSID",
    "System\\CurrentControlSet\\Services",
    "System\\CurrentControlSet\\Control\\Session Manager",
    "System\\ControlSet001\\Services",
    "Protocols\\Filter",
    "Protocols\\Handler",
    "exefile\\shell\\open\\command",
    "htmlfile\\shell\\open\\command",
    "http\\shell\\open\\command",
    "Directory\\shell",
    "Folder\\shell",
    "*\\shellex\\ContextMenuHandlers",
};

// Value names every machine has in some key: deleting one by name breaks Windows or the browser.
constexpr std::array kGenericValueNames = {
    "Run",        "RunOnce",           "Winlogon",          "Shell",      "Userinit",   "AppInit_DLLs",
    "Start Page", "Search Page",       "Search Bar",        "Local Page", "Default_Page_URL",
    "Default_Search_URL", "SearchAssistant", "CustomizeSearch", "System", "Load", "Default", "(Default)",
    "Path",       "ProxyServer",       "AutoConfigURL",     "Userinit.exe",
};

// Folder and file names of Windows itself; a signature naming one is a mistake.
constexpr std::array kSystemFolderNames = {
    "Windows", "WinNT", "System", "System32", "SysWOW64", "Program Files", "Program Files (x86)",
    "Common Files", "Documents and Settings", "Users", "Desktop", "Favorites", "Cookies", "Temp",
    "Temporary Internet Files", "Application Data", "AppData", "Local Settings", "Start Menu",
    "Programs", "Startup", "My Documents", "Documents", "Fonts", "drivers", "config", "inf",
    "Internet Explorer", "Microsoft", "WinSxS", "Downloaded Program Files", "History", "Recent",
    "SendTo", "Templates", "NetHood", "PrintHood", "spool", "wbem", "dllcache", "Prefetch",
    "Tasks", "Web", "Help", "Media", "Cursors", "Resources", "repair", "Installer", "Profiles",
    "All Users", "Default User", "Public", "ProgramData", "Boot", "Recovery", "Tidewell"};

constexpr std::array kSystemFileNames = {
    "kernel32.dll", "ntdll.dll",  "user32.dll",  "gdi32.dll",    "advapi32.dll", "shell32.dll",
    "ole32.dll",    "oleaut32.dll", "comctl32.dll", "msvcrt.dll", "wininet.dll", "urlmon.dll",
    "mshtml.dll",   "shdocvw.dll", "ieframe.dll", "rpcrt4.dll",   "ws2_32.dll",   "explorer.exe",
    "iexplore.exe", "svchost.exe", "services.exe", "lsass.exe",   "csrss.exe",    "winlogon.exe",
    "smss.exe",     "rundll32.exe", "regsvr32.exe", "userinit.exe", "wininit.exe", "notepad.exe",
    "hal.dll",      "ntoskrnl.exe", "win.ini",     "system.ini",   "boot.ini",     "hosts",
    "Tidewell.exe", "Skylark.exe", "bhodb.mdb",   "extra.neo"};

template <size_t N>
bool IsOneOf(std::string_view text, const std::array<const char*, N>& list) {
  return std::any_of(list.begin(), list.end(), [&](const char* item) { return EqualsNoCase(text, item); });
}

// Empty components come from doubled, leading or trailing separators; "." and
// ".." climb or stay where they are.
std::string BadComponents(std::string_view path) {
  for (std::string_view part : SplitPath(path)) {
    if (part.empty()) return "an empty path component";
    if (part == "." || part == "..") return "a relative path component";
  }
  return {};
}

bool IsAncestorOrSame(std::string_view key, std::string_view wellKnown) {
  std::vector<std::string_view> keyParts = SplitPath(key), knownParts = SplitPath(wellKnown);
  if (keyParts.size() > knownParts.size()) return false;
  for (size_t i = 0; i < keyParts.size(); ++i)
    if (!EqualsNoCase(keyParts[i], knownParts[i])) return false;
  return true;
}

bool IsFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:*?\"<>|") == std::string_view::npos &&
         name.find_first_not_of(" .") != std::string_view::npos;
}

std::string Attribute(const CXmlNode& node, std::string_view name) {
  const CXmlAttribute* attribute = node.FindAttribute(name);
  return attribute ? std::string(attribute->value) : std::string();
}

const CXmlNode* Child(const CXmlNode* node, std::string_view name) { return node ? node->FindChild(name) : nullptr; }

template <class Visit>
void ForEachChild(const CXmlNode* node, Visit&& visit) {
  if (!node) return;
  for (int i = 0; i < node->GetChildCount(); ++i) visit(*node->GetChild(i));
}

struct HiveText {
  Hive hive;
  std::string_view name;
};
constexpr std::array<HiveText, 5> kHiveTexts = {{
    {Hive::ClassesRoot, "HKEY_CLASSES_ROOT"},
    {Hive::CurrentUser, "HKEY_CURRENT_USER"},
    {Hive::LocalMachine, "HKEY_LOCAL_MACHINE"},
    {Hive::Users, "HKEY_USERS"},
    {Hive::CurrentConfig, "HKEY_CURRENT_CONFIG"},
}};

}  // namespace

Hive HiveFromName(std::string_view name) {
  for (const HiveText& text : kHiveTexts)
    if (EqualsNoCase(name, text.name)) return text.hive;
  return Hive::LocalMachine;
}

std::string_view HiveName(Hive hive) {
  for (const HiveText& text : kHiveTexts)
    if (text.hive == hive) return text.name;
  return "HKEY_LOCAL_MACHINE";
}

const SpywareEntry* SpywareDefinitions::Find(std::string_view name) const {
  for (const SpywareEntry& entry : entries)
    if (entry.name == name) return &entry;
  return nullptr;
}

std::optional<std::string> DecipherDefinitions(std::string_view fileBytes) {
  if (fileBytes.empty()) return std::nullopt;
  try {
    CBlowfishCipher cipher(kDefinitionsKey);
    return cipher.DecryptBytes(fileBytes.data(), fileBytes.size());
  } catch (const CBlowfishException&) {
    return std::nullopt;
  }
}

std::string StripDeclaration(std::string text) {
  for (size_t at = text.find(kDefinitionsDeclaration); at != std::string::npos;
       at = text.find(kDefinitionsDeclaration, at))
    text.erase(at, kDefinitionsDeclaration.size());
  return text;
}

bool ParseDefinitions(const std::string& text, CXmlNode& root) {
  std::string body = StripDeclaration(text);
  CXmlParseInfo info;
  info.trimValues = true;
  info.decodeEntities = true;
  info.entities = kXmlStandardEntities;
  info.escapeChar = '\\';
  info.requireClosingTags = true;
  // One whole SPYWARE document and nothing around it: deciphered noise or a
  // cut file must not pass for a shorter list.
  std::string_view lead = std::string_view(body).substr(0, body.find('<'));
  if (lead.starts_with(kUtf8Bom)) lead.remove_prefix(kUtf8Bom.size());  // the packer keeps a source's mark
  if (!IsBlank(lead)) return false;
  const char* end = root.Load(body.c_str(), info);
  return end != nullptr && !info.error && root.name == kDefinitionsRoot && IsBlank(end);
}

std::string UnsafeKeySignature(const RegistrySignature& signature) {
  if (signature.sub.empty() || signature.value.empty()) return "a key with an empty part";
  if (!IsUtf8(signature.sub) || !IsUtf8(signature.value)) return "a name that is not UTF-8";
  std::string key = signature.sub + "\\" + signature.value;
  if (std::string bad = BadComponents(key); !bad.empty()) return bad;
  if (SplitPath(key).size() < 2) return "a key less than two levels below its hive";
  for (const char* known : kWellKnownKeys)
    if (IsAncestorOrSame(key, known)) return "a well-known system key";
  return {};
}

std::string UnsafeValueSignature(const RegistrySignature& signature) {
  if (signature.sub.empty() || signature.value.empty()) return "a value with an empty part";
  if (!IsUtf8(signature.sub) || !IsUtf8(signature.value)) return "a name that is not UTF-8";
  if (std::string bad = BadComponents(signature.sub); !bad.empty()) return bad;
  if (SplitPath(signature.sub).size() < 2) return "a value of a key less than two levels below its hive";
  if (IsOneOf(signature.value, kGenericValueNames)) return "a generic value name";
  return {};
}

namespace {

// kind: "file" or "folder"; a file may not bear the name of a system file
// or of a system folder, a folder only not the latter.
std::string UnsafeNamedPath(const PathSignature& signature, const std::string& kind) {
  if (!IsFileName(signature.name)) return "a " + kind + " without a plain name";
  if (!IsUtf8(signature.name) || !IsUtf8(signature.path)) return "a name that is not UTF-8";
  if (!signature.path.empty())
    if (std::string bad = BadComponents(signature.path); !bad.empty()) return bad;
  if (IsOneOf(signature.name, kSystemFolderNames) || (kind == "file" && IsOneOf(signature.name, kSystemFileNames)))
    return "a " + kind + " of Windows itself";
  return {};
}

}  // namespace

std::string UnsafeFileSignature(const PathSignature& signature) { return UnsafeNamedPath(signature, "file"); }

std::string UnsafeFolderSignature(const PathSignature& signature) { return UnsafeNamedPath(signature, "folder"); }

std::string UnsafeCookieSignature(std::string_view text) {
  // A very short text is found in nearly every cookie.
  if (text.size() < 3) return "a cookie text shorter than three characters";
  return {};
}

SpywareDefinitions ReadDefinitions(const CXmlNode& root) {
  SpywareDefinitions definitions;
  auto skip = [&](const std::string& entry, const std::string& why, std::string_view what) {
    definitions.skipped.push_back(entry + ": " + why + " (" + std::string(what) + ")");
  };
  ForEachChild(&root, [&](const CXmlNode& node) {
    SpywareEntry entry;
    entry.name = Attribute(node, "NAME");
    if (entry.name.empty()) {
      skip(std::string(node.name), "an entry without a name", node.name);
      return;
    }
    if (const CXmlNode* description = node.FindChild("DESCRIPTION")) entry.description = description->value;
    // A signature is kept only when nothing makes it unsafe; else the reason is noted.
    auto keep = [&](auto& into, auto signature, const std::string& why, std::string_view shown) {
      if (why.empty())
        into.push_back(std::move(signature));
      else
        skip(entry.name, why, shown);
    };
    const CXmlNode* registry = node.FindChild("REGISTRY");
    auto readRegistry = [&](const char* container, std::vector<RegistrySignature>& into, bool keys) {
      ForEachChild(Child(registry, container), [&](const CXmlNode& item) {
        RegistrySignature signature{Attribute(item, "MAIN"), Attribute(item, "SUB"), Attribute(item, "VALUE")};
        signature.hive = HiveFromName(signature.main);
        std::string why = keys ? UnsafeKeySignature(signature) : UnsafeValueSignature(signature);
        keep(into, signature, why, signature.sub + "\\" + signature.value);
      });
    };
    readRegistry("KEYS", entry.keys, true);
    readRegistry("VALUES", entry.values, false);
    auto readPaths = [&](const char* container, std::vector<PathSignature>& into, bool folders) {
      ForEachChild(node.FindChild(container), [&](const CXmlNode& item) {
        PathSignature signature{Attribute(item, "NAME"), Attribute(item, "PATH")};
        std::string why = folders ? UnsafeFolderSignature(signature) : UnsafeFileSignature(signature);
        keep(into, signature, why, signature.path + "\\" + signature.name);
      });
    };
    readPaths("FILES", entry.files, false);
    readPaths("DIRECTORIES", entry.folders, true);
    ForEachChild(node.FindChild("COOKIES"), [&](const CXmlNode& item) {
      std::string text = Attribute(item, "NAME");
      keep(entry.cookies, text, UnsafeCookieSignature(text), text);
    });
    definitions.entries.push_back(std::move(entry));
  });
  return definitions;
}

std::optional<SpywareDefinitions> LoadDefinitions(std::string_view fileBytes) {
  std::optional<std::string> text = DecipherDefinitions(fileBytes);
  if (!text) return std::nullopt;
  CXmlNode root;
  if (!ParseDefinitions(*text, root)) return std::nullopt;
  return ReadDefinitions(root);
}

// ---- Paths

const EnvironmentFolder kEnvironmentFolders[7] = {
    {"ProfilePath", "%USERPROFILE%"},
    {"desktopdir", "%USERPROFILE%\\Desktop"},
    {"PFDir", "%ProgramFiles%"},
    {"SysDir", "%windir%\\System"},
    {"Sys32Dir", "%windir%\\System32"},
    {"WinDir", "%windir%"},
    {"favorites", "%USERPROFILE%\\Favorites"},
};

std::string ExpandFolderKeys(std::string_view path, const EnvironmentLookup& lookup) {
  for (const EnvironmentFolder& folder : kEnvironmentFolders) {
    std::string_view key = folder.key;
    if (path.find(key) == std::string_view::npos) continue;
    return ExpandEnvironment(ReplaceAll(path, key, folder.folderTemplate), lookup);
  }
  return std::string(path);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && out.back() != '\\' && out.back() != '/') out.push_back('\\');
  out.append(name);
  return out;
}

std::string ExpandDefinitionPath(std::string_view path, std::string_view name, const EnvironmentLookup& lookup) {
  return JoinPath(ExpandFolderKeys(path, lookup), name);
}

}  // namespace tidewell
