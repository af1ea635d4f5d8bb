#pragma once
// The six categories of the registry cleaner, one table row each: their
// texts, where their entries are, what is read of each and how it is judged,
// and what their backups export. The scans, the dialogs and the category
// backups all read the table. Beside it, the text rules: events, the
// statements of the problem store, and how a command or path is taken apart
// before its file is looked for. No Windows API here, so the native build
// tests it too.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tidewell/backup/KeyExport.h"

namespace tidewell {

// The dialog's rows, in the order "Scan all" and "Repair all" start them.
enum class Category { CustomControls, SoftwareLocations, HelpAndResources, SharedPrograms, Startup, AddRemove };
inline constexpr int kCategoryCount = 6;
inline constexpr std::array<Category, kCategoryCount> kAllCategories = {
    Category::CustomControls, Category::SoftwareLocations, Category::HelpAndResources,
    Category::SharedPrograms, Category::Startup,           Category::AddRemove};

// A key category's entry is a whole key, deleted with its subkeys; a value
// category's is one named value.
enum class EntryKind { Key, Value };
enum class RootText { Hkcr, Hklm };
// What makes an entry's text invalid.
enum class EntryTest {
  MissingFile,     // a full path that names no file or folder
  MissingLibrary,  // likewise, and the system cannot load it as a library either
  MissingProgram,  // no way the system would read the command line finds its program
};
// What a value entry's text is made of.
enum class ValueText {
  Data,           // the command line
  Name,           // the value's own name is the path; the data is not used
  FolderAndName,  // the data is a folder, the name a file in it
};

// One registry place a category walks, in every registry view; help and
// resources walks two.
struct CategoryLocation {
  const char* type;            // "HHR1": the problems.ptype of its findings
  const char* path;            // below the root, without a trailing "\"
  const char* selectMarked;    // the rows a repair takes
  const char* backupFile;      // the base name of this key's file in the category backup
};

struct CategoryInfo {
  Category category;
  // Texts.
  const char* label;  // "Startup programs:"
  const char* detailsTitle;
  const char* scanStatus;              // "Scanning startup entries ..."
  const char* repairStatus = nullptr;  // nullptr: the status keeps its last text
  const char* scanEvent;               // "Scanning startup found "
  const char* repairWords;             // " startup invalid entries"
  // Where to look.
  RootText root;
  std::vector<CategoryLocation> locations;
  // What to read.
  EntryKind kind;
  const char* entryKey = "";              // key entries: the key below each subkey holding the text, "" itself
  const char* entryValue = "";            // key entries: the value holding it, "" the default
  ValueText valueText = ValueText::Data;  // value entries
  bool statusShowsData = false;           // value entries: the status line shows the data, not the name
  // How to judge.
  EntryTest test;
  // Backups.
  const char* repairComment;  // of the backups a repair takes first
  const char* backupComment;  // of the category's own "Backup" button
};

const CategoryInfo& Info(Category category);
int IndexOf(Category category);
// The category whose rows carry the problems.ptype text; nothing for a stranger.
std::optional<Category> CategoryOfType(std::string_view type);

// What the category's "Backup" button exports: each of its locations' keys.
CategoryBackupRequest BackupRequest(Category category);

inline constexpr const char* kDetailsAllTitle = "Details for all invalid entries detected";
// A repair asked for while the category scans or repairs.
inline constexpr const char* kCategoryBusyText = "This category is busy. Try again when it has finished.";

// "Scanning startup found 3 invalid entries"; incomplete (stopped, or values
// left unread): "Scanning startup (incomplete) found 1 invalid entries".
std::string ScanEventText(Category category, int found, bool incomplete);
// "Repaired 2 startup invalid entries".
std::string RepairEventText(Category category, int repaired);

// The rows the dialog counts and Details lists.
std::string CountStatement(Category category);    // rows still to review (state 0)
std::string DetailsStatement(Category category);  // rows of both states
std::string MarkStatement(Category category);     // marks every row of the category for repair
std::string ClearStatement(const CategoryLocation& location);  // what a scan removes first

// "HKLM", or "HKLM (32-bit)" where a view label is given: the problems.rootkey text.
std::string RootKeyText(RootText root, std::string_view viewLabel);
struct ParsedRootKey {
  RootText root;
  std::string viewLabel;  // "" , "32-bit" or "64-bit"
};
// Nothing for a text no scan writes.
std::optional<ParsedRootKey> ParseRootKeyText(std::string_view text);

// Whether a row's subkey names something the category's repair may delete:
// a key strictly below its location, depth components deep, no empty parts.
bool IsStrictlyBelow(std::string_view subkey, std::string_view location, int depth);

// The text between the first double quote and the next, when the text
// starts with one (blanks before it ignored); otherwise the text itself.
std::string ExtractQuotedPath(std::string_view text);
// Texts the tests never judge: empty, only blanks, or an unexpanded variable left.
bool IsUnjudgeable(std::string_view text);
// Where the program of a command line may end: the quoted path alone, or
// for an unquoted line the whole line first, then every cut before a blank,
// " -" or "/" (shortest last), as the system's own search would try them.
std::vector<std::string> ProgramCandidates(std::string_view command);
// A full path: drive and backslash, or a network path.
bool IsFullPath(std::string_view path);

}  // namespace tidewell
