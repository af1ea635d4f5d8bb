#include "tidewell/regclean/CategoryText.h"

#include <algorithm>
#include <cctype>

namespace tidewell {

namespace {

const std::array<CategoryInfo, kCategoryCount>& Table() {
  static const std::array<CategoryInfo, kCategoryCount> table = {{
      {Category::CustomControls, "Registered custom controls:",
       "Details for registered common controls invalid entries", "Scanning registered custom controls ...",
       "Repairing registered custom controls entries ...", "Scanning registered custom controls found ",
       " registered custom control invalid entries", "update problems set state=1 where ptype='RCC'", "ptype='RCC'",
       "Backup before repairing registered custom controls entries", EntryKind::Key, EntryTest::File, RootText::Hkcr,
       {{"RCC", "CLSID", "delete from problems where ptype='RCC'",
         "select * from problems where ptype='RCC' and state=1", "delete from problems where ptype='RCC' and state=1"}}},
      {Category::SoftwareLocations, "Software locations:", "Details for software locations invalid entries",
       "Scanning software locations entries ...", nullptr, "Scanning software locations found ",
       " software locations invalid entries", "update problems set state=1 where ptype='SWL'", "ptype='SWL'",
       "Backup before repairing software locations entries", EntryKind::Key, EntryTest::Program, RootText::Hklm,
       {{"SWL", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", "delete from problems where ptype='SWL'",
         "select * from problems where ptype='SWL' AND STATE=1",
         "delete from problems where ptype='SWL' and state=1"}}},
      {Category::HelpAndResources, "Help and resources:", "Details for help and resources invalid entries",
       "Scanning help and resources entries ...", "Repairing help and resources entries ...",
       "Scanning help and resources found ", " help and resources invalid entries",
       "update problems set state=1 where ptype='HHR' or ptype='HHR1'", "(ptype='HHR' or ptype='HHR1')",
       "Backup before repairing help and resources entries", EntryKind::Value, EntryTest::File, RootText::Hklm,
       {{"HHR", "SOFTWARE\\Microsoft\\Windows\\Help", "delete from problems where ptype='HHR'",
         "select * from problems where ptype='HHR' and state=1", "delete from problems where ptype='HHR' and state=1"},
        {"HHR1", "SOFTWARE\\Microsoft\\Windows\\HTML Help", "delete from problems where ptype='HHR1'",
         "select * from problems where ptype='HHR1' and state=1",
         "delete from problems where ptype='HHR1' and state=1"}}},
      {Category::SharedPrograms, "Shared programs:", "Details for shared programs invalid entries",
       "Scanning shared dlls entries ...", "Repairing shared DLLs entries ...", "Scanning shared programs found ",
       " shared programs invalid entries", "update problems set state=1 where ptype='SSDLL'", "ptype='SSDLL'",
       "Backup before repairing shared programs entries", EntryKind::Value, EntryTest::File, RootText::Hklm,
       {{"SSDLL", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
         "delete from problems where ptype='SSDLL'", "select * from problems where ptype='SSDLL' AND STATE=1",
         "delete from problems where ptype='SSDLL' and state=1"}}},
      {Category::Startup, "Startup programs:", "Details for startup invalid entries", "Scanning startup entries ...",
       "Repairing startup entries ...", "Scanning startup found ", " startup invalid entries",
       "update problems set state=1 where ptype='SUP'", "ptype='SUP'", "Backup before repairing startup entries",
       EntryKind::Value, EntryTest::Program, RootText::Hklm,
       {{"SUP", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "delete from problems where ptype='SUP'",
         "select * from problems where ptype='SUP' AND STATE=1",
         "delete from problems where ptype='SUP' and state=1"}}},
      {Category::AddRemove, "Add/remove programms:", "Details for add/remove application invalid entries",
       "Scanning add/remove programs entries ...", "Repairing add/remove program entries ...",
       "Scanning add/remove programs found ", " add/remove programs invalid entries",
       "update problems set state=1 where ptype='ARP'", "ptype='ARP'",
       "Backup before repairing add/remove programs entries", EntryKind::Key, EntryTest::Program, RootText::Hklm,
       {{"ARP", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "delete from problems where ptype='ARP'",
         "select * from problems where ptype='ARP' and state=1",
         "delete from problems where ptype='ARP' and state=1"}}},
  }};
  return table;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

const CategoryInfo& Info(Category category) { return Table()[IndexOf(category)]; }
int IndexOf(Category category) { return static_cast<int>(category); }

std::optional<Category> CategoryOfType(std::string_view type) {
  for (const CategoryInfo& info : Table())
    for (const CategoryLocation& location : info.locations)
      if (type == location.type) return info.category;
  return std::nullopt;
}

std::string ScanEventText(Category category, int found, bool stopped) {
  std::string text = Info(category).scanEvent;
  if (stopped) text.insert(text.rfind("found "), "(incomplete) ");
  return text + std::to_string(found) + " invalid entries";
}

std::string RepairEventText(Category category, int repaired) {
  return "Repaired " + std::to_string(repaired) + Info(category).repairWords;
}

std::string CountStatement(Category category) {
  // The two help types share a row; "or" binds looser than "and", hence the brackets.
  return std::string("select * from problems where ") + Info(category).typeCondition + " and state=0";
}

std::string DetailsStatement(Category category) {
  return std::string("select * from problems where ") + Info(category).typeCondition;
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

std::string Trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

std::string ExtractQuotedPath(std::string_view text) {
  std::string trimmed = Trim(text);
  if (trimmed.empty() || trimmed.front() != '"') return trimmed;
  size_t close = trimmed.find('"', 1);
  return trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1);
}

bool IsUnjudgeable(std::string_view text) {
  return Trim(text).empty() || text.find('%') != std::string_view::npos;
}

std::vector<std::string> ProgramCandidates(std::string_view command) {
  std::string line = Trim(command);
  std::vector<std::string> candidates;
  if (line.empty()) return candidates;
  if (line.front() == '"') {
    std::string path = ExtractQuotedPath(line);
    if (!Trim(path).empty()) candidates.push_back(path);
    return candidates;
  }
  candidates.push_back(line);
  for (size_t i = line.size(); i-- > 1;) {
    bool cut = line[i] == ' ' || line[i] == '/' || (line[i] == '-' && line[i - 1] == ' ');
    if (!cut) continue;
    std::string prefix = Trim(line.substr(0, i));
    if (!prefix.empty() && std::find(candidates.begin(), candidates.end(), prefix) == candidates.end())
      candidates.push_back(prefix);
  }
  return candidates;
}

bool IsFullPath(std::string_view path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.starts_with("\\\\");
}

}  // namespace tidewell
