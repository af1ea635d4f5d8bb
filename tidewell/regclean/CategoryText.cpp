#include "tidewell/regclean/CategoryText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "shared/text/Text.h"

namespace tidewell {

namespace {

// A command line's blanks: the vertical tab and form feed are kept.
constexpr std::string_view kLineBlanks = " \t\r\n";

const std::array<CategoryInfo, kCategoryCount>& Table() {
  static const std::array<CategoryInfo, kCategoryCount> table = {{
      {
          .category = Category::CustomControls,
          .label = "Registered custom controls:",
          .detailsTitle = "Details for registered common controls invalid entries",
          .scanStatus = "Scanning registered custom controls ...",
          .repairStatus = "Repairing registered custom controls entries ...",
          .scanEvent = "Scanning registered custom controls found ",
          .repairWords = " registered custom control invalid entries",
          .root = RootText::Hkcr,
          .locations = {{.type = "RCC",
                         .path = "CLSID",
                         .selectMarked = "select * from problems where ptype='RCC' and state=1",
                         .backupFile = "CustomControls"}},
          .kind = EntryKind::Key,
          .entryKey = "InprocServer32",
          .test = EntryTest::MissingLibrary,
          .repairComment = "Backup before repairing registered custom controls entries",
          .backupComment = "Registered common controls backup",
      },
      {
          .category = Category::SoftwareLocations,
          .label = "Software locations:",
          .detailsTitle = "Details for software locations invalid entries",
          .scanStatus = "Scanning software locations entries ...",
          .scanEvent = "Scanning software locations found ",
          .repairWords = " software locations invalid entries",
          .root = RootText::Hklm,
          .locations = {{.type = "SWL",
                         .path = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                         .selectMarked = "select * from problems where ptype='SWL' AND STATE=1",
                         .backupFile = "ApplicationPaths"}},
          .kind = EntryKind::Key,
          .test = EntryTest::MissingProgram,
          .repairComment = "Backup before repairing software locations entries",
          .backupComment = "Software locations backup",
      },
      {
          .category = Category::HelpAndResources,
          .label = "Help and resources:",
          .detailsTitle = "Details for help and resources invalid entries",
          .scanStatus = "Scanning help and resources entries ...",
          .repairStatus = "Repairing help and resources entries ...",
          .scanEvent = "Scanning help and resources found ",
          .repairWords = " help and resources invalid entries",
          .root = RootText::Hklm,
          .locations = {{.type = "HHR",
                         .path = "SOFTWARE\\Microsoft\\Windows\\Help",
                         .selectMarked = "select * from problems where ptype='HHR' and state=1",
                         .backupFile = "WHelp"},
                        {.type = "HHR1",
                         .path = "SOFTWARE\\Microsoft\\Windows\\HTML Help",
                         .selectMarked = "select * from problems where ptype='HHR1' and state=1",
                         .backupFile = "WHTMLHelp"}},
          .kind = EntryKind::Value,
          .valueText = ValueText::FolderAndName,
          .statusShowsData = true,
          .test = EntryTest::MissingFile,
          .repairComment = "Backup before repairing help and resources entries",
          .backupComment = "Help and resources backup",
      },
      {
          .category = Category::SharedPrograms,
          .label = "Shared programs:",
          .detailsTitle = "Details for shared programs invalid entries",
          .scanStatus = "Scanning shared dlls entries ...",
          .repairStatus = "Repairing shared DLLs entries ...",
          .scanEvent = "Scanning shared programs found ",
          .repairWords = " shared programs invalid entries",
          .root = RootText::Hklm,
          .locations = {{.type = "SSDLL",
                         .path = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                         .selectMarked = "select * from problems where ptype='SSDLL' AND STATE=1",
                         .backupFile = "SharedDLLs"}},
          .kind = EntryKind::Value,
          .valueText = ValueText::Name,
          .test = EntryTest::MissingFile,
          .repairComment = "Backup before repairing shared programs entries",
          .backupComment = "Shared programs backup",
      },
      {
          .category = Category::Startup,
          .label = "Startup programs:",
          .detailsTitle = "Details for startup invalid entries",
          .scanStatus = "Scanning startup entries ...",
          .repairStatus = "Repairing startup entries ...",
          .scanEvent = "Scanning startup found ",
          .repairWords = " startup invalid entries",
          .root = RootText::Hklm,
          .locations = {{.type = "SUP",
                         .path = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                         .selectMarked = "select * from problems where ptype='SUP' AND STATE=1",
                         .backupFile = "Startup"}},
          .kind = EntryKind::Value,
          .valueText = ValueText::Data,
          .test = EntryTest::MissingProgram,
          .repairComment = "Backup before repairing startup entries",
          .backupComment = "Startup entries backup",
      },
      {
          .category = Category::AddRemove,
          .label = "Add/remove programms:",
          .detailsTitle = "Details for add/remove application invalid entries",
          .scanStatus = "Scanning add/remove programs entries ...",
          .repairStatus = "Repairing add/remove program entries ...",
          .scanEvent = "Scanning add/remove programs found ",
          .repairWords = " add/remove programs invalid entries",
          .root = RootText::Hklm,
          .locations = {{.type = "ARP",
                         .path = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                         .selectMarked = "select * from problems where ptype='ARP' and state=1",
                         .backupFile = "AddRemoveProgr"}},
          .kind = EntryKind::Key,
          .entryValue = "UninstallString",
          .test = EntryTest::MissingProgram,
          .repairComment = "Backup before repairing add/remove programs entries",
          .backupComment = "Add/remove programs backup",
      },
  }};
  return table;
}

}  // namespace

// Rows are found by their category, never by their place in the table.
const CategoryInfo& Info(Category category) {
  const auto& table = Table();
  auto row = std::find_if(table.begin(), table.end(), [category](const CategoryInfo& info) {
    return info.category == category;
  });
  if (row == table.end()) std::abort();  // a category without its row: a build that must not ship
  return *row;
}

int IndexOf(Category category) { return static_cast<int>(category); }

std::optional<Category> CategoryOfType(std::string_view type) {
  for (const CategoryInfo& info : Table())
    for (const CategoryLocation& location : info.locations)
      if (type == location.type) return info.category;
  return std::nullopt;
}

CategoryBackupRequest BackupRequest(Category category) {
  const CategoryInfo& info = Info(category);
  CategoryBackupRequest request{info.backupComment, {}};
  for (const CategoryLocation& location : info.locations)
    request.keys.push_back({RootKeyText(info.root, "") + "\\" + location.path, location.backupFile});
  return request;
}

std::string ScanEventText(Category category, int found, bool incomplete) {
  std::string text = Info(category).scanEvent;
  if (incomplete) text.insert(text.rfind("found "), "(incomplete) ");
  return text + std::to_string(found) + " invalid entries";
}

std::string RepairEventText(Category category, int repaired) {
  return "Repaired " + std::to_string(repaired) + Info(category).repairWords;
}

namespace {

// "ptype='SUP'", or "ptype='HHR' or ptype='HHR1'" for the help row's two types.
std::string TypeCondition(Category category) {
  std::string condition;
  for (const CategoryLocation& location : Info(category).locations)
    condition += std::string(condition.empty() ? "" : " or ") + "ptype='" + location.type + "'";
  return condition;
}

// Bracketed where "and" follows: "or" binds looser.
std::string BracketedTypeCondition(Category category) {
  std::string condition = TypeCondition(category);
  return Info(category).locations.size() > 1 ? "(" + condition + ")" : condition;
}

}  // namespace

std::string CountStatement(Category category) {
  return "select * from problems where " + BracketedTypeCondition(category) + " and state=0";
}

std::string DetailsStatement(Category category) {
  return "select * from problems where " + BracketedTypeCondition(category);
}

std::string MarkStatement(Category category) {
  return "update problems set state=1 where " + TypeCondition(category);
}

std::string ClearStatement(const CategoryLocation& location) {
  return std::string("delete from problems where ptype='") + location.type + "'";
}

std::string RootKeyText(RootText root, std::string_view viewLabel) {
  std::string text = root == RootText::Hkcr ? "HKCR" : "HKLM";
  if (!viewLabel.empty()) text.append(" (").append(viewLabel).append(")");
  return text;
}

std::optional<ParsedRootKey> ParseRootKeyText(std::string_view text) {
  std::string_view head = text.substr(0, 4);
  ParsedRootKey parsed{};
  if (head == "HKCR")
    parsed.root = RootText::Hkcr;
  else if (head == "HKLM")
    parsed.root = RootText::Hklm;
  else
    return std::nullopt;
  std::string_view rest = text.substr(4);
  if (rest.empty()) return parsed;
  if (rest == " (32-bit)" || rest == " (64-bit)") {
    parsed.viewLabel = std::string(rest.substr(2, 6));
    return parsed;
  }
  return std::nullopt;
}

bool IsStrictlyBelow(std::string_view subkey, std::string_view location, int depth) {
  if (subkey.size() <= location.size() + 1 || !EqualsNoCase(subkey.substr(0, location.size()), location) ||
      subkey[location.size()] != '\\')
    return false;
  std::string_view rest = subkey.substr(location.size() + 1);
  int parts = 1;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '\\') continue;
    if (i == 0 || i + 1 == rest.size() || rest[i - 1] == '\\') return false;  // empty part
    ++parts;
  }
  return parts == depth;
}

std::string ExtractQuotedPath(std::string_view text) {
  std::string trimmed(Trim(text, kLineBlanks));
  if (trimmed.empty() || trimmed.front() != '"') return trimmed;
  size_t close = trimmed.find('"', 1);
  return trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1);
}

bool IsUnjudgeable(std::string_view text) {
  return Trim(text, kLineBlanks).empty() || text.find('%') != std::string_view::npos;
}

std::vector<std::string> ProgramCandidates(std::string_view command) {
  std::string line = std::string(Trim(command, kLineBlanks));
  std::vector<std::string> candidates;
  if (line.empty()) return candidates;
  if (line.front() == '"') {
    std::string path = ExtractQuotedPath(line);
    if (!Trim(path, kLineBlanks).empty()) candidates.push_back(path);
    return candidates;
  }
  candidates.push_back(line);
  for (size_t i = line.size(); i-- > 1;) {
    bool cut = line[i] == ' ' || line[i] == '/' || (line[i] == '-' && line[i - 1] == ' ');
    if (!cut) continue;
    std::string prefix = std::string(Trim(line.substr(0, i), kLineBlanks));
    if (!prefix.empty() && std::find(candidates.begin(), candidates.end(), prefix) == candidates.end())
      candidates.push_back(prefix);
  }
  return candidates;
}

bool IsFullPath(std::string_view path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.starts_with("\\\\");
}

}  // namespace tidewell
