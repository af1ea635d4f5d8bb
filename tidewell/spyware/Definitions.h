#pragma once
// The spyware definitions: the enciphered file's text, the XML it holds, and
// the flat list of entries and signatures a scan checks. Portable: no Windows
// API here, so the loader also runs natively under the sanitizers.
//
// A scan can only test that a thing exists, and a removal deletes what was
// found. So a signature that could name something every machine has (an
// empty part, a shallow or well-known registry key, a generic value name, a
// system folder) is dropped while loading, whatever file it came from.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shared/text/EnvironmentText.h"
#include "tidewell/spyware/XmlNode.h"

namespace tidewell {

inline constexpr std::string_view kDefinitionsKey = "qrvtkzam";
// The root element a definitions file must hold, closed, and nothing else.
inline constexpr std::string_view kDefinitionsRoot = "SPYWARE";
// The one declaration that is removed before parsing; any other is read as an element.
inline constexpr std::string_view kDefinitionsDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
// Names compare without regard to case; anything unknown is HKEY_LOCAL_MACHINE.
Hive HiveFromName(std::string_view name);
// The hive's long name, "HKEY_CURRENT_USER", as the registry's own names spell it.
std::string_view HiveName(Hive hive);

struct RegistrySignature {
  std::string main;   // hive name as written
  std::string sub;    // key path (a key signature: its parent)
  std::string value;  // key name or value name
  Hive hive = Hive::LocalMachine;
};

struct PathSignature {
  std::string name;
  std::string path;  // empty: every folder of the environment-folder table
};

struct SpywareEntry {
  std::string name;
  std::string description;
  std::vector<RegistrySignature> keys, values;
  std::vector<PathSignature> files, folders;
  std::vector<std::string> cookies;
};

struct SpywareDefinitions {
  std::vector<SpywareEntry> entries;
  // Signatures (and nameless entries) dropped as unsafe, each with why.
  std::vector<std::string> skipped;

  const SpywareEntry* Find(std::string_view name) const;
};

// The plaintext up to its first NUL, or nothing for an empty file (the
// cipher refuses an empty buffer). A short last block is padded with zeros.
std::optional<std::string> DecipherDefinitions(std::string_view fileBytes);
// Removes every occurrence of the declaration.
std::string StripDeclaration(std::string text);
// Strips the declaration and loads the root with the definitions' reader
// options; false on any parse failure, and unless the text is one whole
// SPYWARE element (closed, with only blanks around it).
bool ParseDefinitions(const std::string& text, CXmlNode& root);
// The entries of a parsed root, unsafe signatures left out.
SpywareDefinitions ReadDefinitions(const CXmlNode& root);
// Decipher, parse and read; nothing when the file is empty or does not parse.
std::optional<SpywareDefinitions> LoadDefinitions(std::string_view fileBytes);

// Why a signature is unsafe, or "" when it may be used.
std::string UnsafeKeySignature(const RegistrySignature& signature);
std::string UnsafeValueSignature(const RegistrySignature& signature);
std::string UnsafeFileSignature(const PathSignature& signature);
std::string UnsafeFolderSignature(const PathSignature& signature);
std::string UnsafeCookieSignature(std::string_view text);

// ---- Paths

struct EnvironmentFolder {
  const char* key;
  const char* folderTemplate;
};
// In table order; the first key found in a PATH wins.
extern const EnvironmentFolder kEnvironmentFolders[7];

// The first table key found in the path is replaced at every occurrence and
// the result's environment references expanded; a path without a key is
// returned unchanged.
std::string ExpandFolderKeys(std::string_view path, const EnvironmentLookup& lookup);
// Folder and name joined by one backslash.
std::string JoinPath(std::string_view folder, std::string_view name);
// The PATH expanded, then the NAME appended as it is.
std::string ExpandDefinitionPath(std::string_view path, std::string_view name, const EnvironmentLookup& lookup);

}  // namespace tidewell
