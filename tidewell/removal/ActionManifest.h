#pragma once
// The list of what one removal action kept, one line per piece, in UTF-8:
// enough to put every piece back where it was, as it was. Builds everywhere.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

inline constexpr const char* kActionManifestName = "removal.manifest";
inline constexpr const char* kActionManifestHeader = "Tidewell removal manifest 1";

// Written: a value the action wrote in place of removed ones (a list
// renumbered); a restore deletes it first, while it still holds what was written.
enum class KeptKind { File, Folder, Key, Value, Written };

struct KeptPiece {
  KeptKind kind = KeptKind::File;
  // Files and folders: the whole path it had.
  std::string path;
  // Keys and values: the hive's short name ("HKCU"), the view (0 native,
  // 32 or 64), the path below the hive and the value's name.
  std::string hive;
  int view = 0;
  std::string keyPath;
  std::string valueName;
  // Where the action folder holds it, relative to that folder ("kept3",
  // "key1.reg"); empty for a folder, which is made again.
  std::string kept;
  uint32_t attributes = 0;
  // FILETIME values: created, last read, last written.
  uint64_t created = 0, accessed = 0, written = 0;

  friend bool operator==(const KeptPiece&, const KeptPiece&) = default;
};

// One line, without its line break.
std::string ManifestLine(const KeptPiece& piece);
// Nothing for a damaged line: a wrong field count, a bad number, a kind
// not known, a kept name that could leave the action folder, or a path
// that is not whole.
std::optional<KeptPiece> ParseManifestLine(std::string_view line);

std::string ManifestText(const std::vector<KeptPiece>& pieces);

struct ParsedManifest {
  bool headerFound = false;
  std::vector<KeptPiece> pieces;
  std::vector<std::string> damaged;  // the lines that did not parse
};
ParsedManifest ParseManifest(std::string_view text);

// A relative name of plain parts, so a manifest cannot name a file outside
// the folder it lies in.
bool IsKeptName(std::string_view name);

}  // namespace tidewell
