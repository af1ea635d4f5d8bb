// A spyware scan over 2,000 generated entries (keys, values, files with and
// without a path, folders, cookies; 1 % planted hits): as built, as the
// literal algorithm (scope queries per entry, one existence check per
// candidate, one autocommit insert per detection) and as the floor (one
// module snapshot, one listing per distinct folder, one registry open per
// signature, one read per cookie file, one transaction). All three must find
// the same detections. Then removal of 100 file detections with 20 processes
// running, against one snapshot plus the deletes.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bench/BenchHosts.h"
#include "bench/BenchReport.h"
#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/ConnectionString.h"
#include "shared/db/SqlText.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/ModuleIndex.h"
#include "tidewell/spyware/ScanLocations.h"
#include "tidewell/spyware/SpywareRemoval.h"
#include "tidewell/spyware/SpywareScan.h"

using namespace tidewell;
namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 2000;
using Found = std::multiset<std::pair<std::string, std::string>>;

std::string Upper(std::string_view text) { return UpperCaseName(text); }

// std::filesystem spells paths in the code page; the programs spell them in UTF-8.
std::string Text(const fs::path& path) { return Utf8FromPath(path); }

void Run(CADODatabase& database, const std::string& statement) {
  CADORecordset recordset(database);
  recordset.Open(statement);
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(PathFromUtf8(path), std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  size_t end = text.find('\0');
  return end == std::string::npos ? text : text.substr(0, end);
}

std::vector<std::string> Candidates(const PathSignature& file, const EnvironmentLookup& environment,
                                    const std::vector<std::string>& included) {
  if (!file.path.empty()) return {ExpandDefinitionPath(file.path, file.name, environment)};
  std::vector<std::string> out;
  for (const EnvironmentFolder& folder : kEnvironmentFolders)
    out.push_back(ExpandDefinitionPath(folder.key, file.name, environment));
  for (const std::string& folder : included) out.push_back(JoinPath(folder, file.name));
  return out;
}

// The behaviour's own algorithm, step for step.
Found LiteralScan(const SpywareDefinitions& definitions, const ScanScope& scope, const EnvironmentLookup& environment,
                  CADODatabase& database) {
  Found found;
  auto record = [&](const SpywareEntry& entry, const char* type, const std::string& text) {
    Run(database, FormatSql("insert into spw_repair(SPW_NAME,TYPE,ENTRY) values('%s','%s','%s')", entry.name, type,
                            text));
    found.emplace(type, text);
  };
  ModuleIndex modules;
  modules.Build();
  const std::vector<std::string>& loaded = modules.LoadedPaths();
  for (const SpywareEntry& entry : definitions.entries)
    for (const PathSignature& file : entry.files) {
      if (file.path.empty()) continue;
      std::string path = Upper(ExpandDefinitionPath(file.path, file.name, environment));
      if (std::find(loaded.begin(), loaded.end(), path) != loaded.end() &&
          PathAttributes(path) != INVALID_FILE_ATTRIBUTES)
        record(entry, kTypeMemory, path);
    }
  std::string cookies = ExpandFolderKeys("ProfilePath\\Cookies", environment);
  for (const auto& item : fs::directory_iterator(PathFromUtf8(cookies))) {
    if (item.is_directory()) continue;
    std::string text = ReadAll(Text(item.path()));
    for (const SpywareEntry& entry : definitions.entries)
      for (const std::string& cookie : entry.cookies)
        if (text.find(cookie) != std::string::npos)
          record(entry, kTypeCookie, JoinPath(cookies, Text(item.path().filename())));
  }
  for (const SpywareEntry& entry : definitions.entries) {
    if (IsRegistryIncluded(database)) {
      for (const RegistrySignature& key : entry.keys) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HiveKey(key.hive), (key.sub + "\\" + key.value).c_str(), 0, KEY_ALL_ACCESS, &opened) ==
            ERROR_SUCCESS) {
          record(entry, kTypeRegKey, key.main + "\\" + key.sub + "\\" + key.value);
          RegCloseKey(opened);
        }
      }
      for (const RegistrySignature& value : entry.values) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HiveKey(value.hive), value.sub.c_str(), 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) continue;
        BYTE data[200];
        DWORD size = sizeof data;
        if (RegQueryValueExA(opened, value.value.c_str(), nullptr, nullptr, data, &size) == ERROR_SUCCESS)
          record(entry, kTypeRegValue, value.main + "\\" + value.sub + "\\" + value.value);
        RegCloseKey(opened);
      }
    }
    if (IsMyComputerIncluded(database)) {
      for (const PathSignature& folder : entry.folders)
        for (const std::string& candidate : Candidates(folder, environment, {})) {
          DWORD attributes = PathAttributes(candidate);
          if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            record(entry, kTypeDir, candidate);
        }
      for (const PathSignature& file : entry.files) {
        std::vector<std::string> included = file.path.empty() ? GetIncludedFolders(database) : std::vector<std::string>{};
        for (const std::string& candidate : Candidates(file, environment, included)) {
          DWORD attributes = PathAttributes(candidate);
          if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            record(entry, kTypeFile, candidate);
        }
      }
    }
  }
  (void)scope;
  return found;
}

// The least work the answer needs.
Found FloorScan(const SpywareDefinitions& definitions, const ScanScope& scope, const EnvironmentLookup& environment,
                CADODatabase& database) {
  std::vector<std::pair<std::string, std::string>> rows;
  std::vector<const SpywareEntry*> owners;
  auto record = [&](const SpywareEntry& entry, const char* type, const std::string& text) {
    rows.emplace_back(type, text);
    owners.push_back(&entry);
  };
  std::unordered_map<std::string, std::unordered_map<std::string, DWORD>> listings;
  auto attributesOf = [&](const std::string& path) -> DWORD {
    size_t cut = path.find_last_of('\\');
    std::string folder = path.substr(0, cut + 1);
    auto known = listings.find(Upper(folder));
    if (known == listings.end()) {
      auto& listing = listings[Upper(folder)];
      ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
        listing.emplace(Upper(entry.name), entry.attributes);
        return true;
      });
      known = listings.find(Upper(folder));
    }
    auto hit = known->second.find(Upper(path.substr(cut + 1)));
    return hit == known->second.end() ? INVALID_FILE_ATTRIBUTES : hit->second;
  };
  ModuleIndex modules;
  modules.Build();
  std::unordered_set<std::string> loaded(modules.LoadedPaths().begin(), modules.LoadedPaths().end());
  for (const SpywareEntry& entry : definitions.entries)
    for (const PathSignature& file : entry.files) {
      if (file.path.empty()) continue;
      std::string path = Upper(ExpandDefinitionPath(file.path, file.name, environment));
      if (loaded.count(path) && attributesOf(path) != INVALID_FILE_ATTRIBUTES) record(entry, kTypeMemory, path);
    }
  std::string cookies = ExpandFolderKeys("ProfilePath\\Cookies", environment);
  for (const auto& item : fs::directory_iterator(PathFromUtf8(cookies))) {
    std::string text = ReadAll(Text(item.path()));
    for (const SpywareEntry& entry : definitions.entries)
      for (const std::string& cookie : entry.cookies)
        if (text.find(cookie) != std::string::npos)
          record(entry, kTypeCookie, JoinPath(cookies, Text(item.path().filename())));
  }
  for (const SpywareEntry& entry : definitions.entries) {
    for (const RegistrySignature& key : entry.keys)
      if (OpenKey(HiveKey(key.hive), key.sub + "\\" + key.value, KEY_READ))
        record(entry, kTypeRegKey, key.main + "\\" + key.sub + "\\" + key.value);
    for (const RegistrySignature& value : entry.values) {
      UniqueKey opened = OpenKey(HiveKey(value.hive), value.sub, KEY_QUERY_VALUE);
      if (opened && RegQueryValueExA(opened.Get(), value.value.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        record(entry, kTypeRegValue, value.main + "\\" + value.sub + "\\" + value.value);
    }
    for (const PathSignature& folder : entry.folders)
      for (const std::string& candidate : Candidates(folder, environment, {})) {
        DWORD attributes = attributesOf(candidate);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) record(entry, kTypeDir, candidate);
      }
    for (const PathSignature& file : entry.files)
      for (const std::string& candidate : Candidates(file, environment, scope.includedFolders)) {
        DWORD attributes = attributesOf(candidate);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) record(entry, kTypeFile, candidate);
      }
  }
  CADOBatch batch(database);
  for (size_t i = 0; i < rows.size(); ++i)
    Run(database, FormatSql("insert into spw_repair(SPW_NAME,TYPE,ENTRY) values('%s','%s','%s')", owners[i]->name,
                            rows[i].first, rows[i].second));
  batch.Commit();
  return Found(rows.begin(), rows.end());
}

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace

int main() {
  wchar_t self[MAX_PATH];
  fs::path bin = fs::path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH))).parent_path();
  std::string tag = "spwbench-" + std::to_string(GetCurrentProcessId());
  fs::path root = fs::temp_directory_path() / tag;
  for (const char* sub : {"pf", "win\\System", "win\\System32", "profile\\Desktop", "profile\\Favorites",
                          "profile\\Cookies", "inc"})
    fs::create_directories(root / sub);
  fs::copy_file(bin / "bhodb.mdb", root / "bhodb.mdb");
  CADODatabase database;
  if (!database.Open(BuildConnectionString(Text(root) + "\\\\bhodb.mdb"))) {
    std::printf("cannot open the database copy\n");
    return 1;
  }
  for (const char* location : {"Scan my PC\\Memory", "Scan my PC\\Registry", "Scan my PC\\Cookies",
                               "Scan my PC\\My computer"})
    SaveLocationChoice(database, location, true);
  SaveLocationChoice(database, "Scan my PC\\My computer\\" + Text(root / "inc"), true);
  ScanScope scope = ReadScanScope(database);

  std::map<std::string, std::string> variables = {{"ProgramFiles", Text(root / "pf")},
                                                  {"windir", Text(root / "win")},
                                                  {"USERPROFILE", Text(root / "profile")}};
  EnvironmentLookup environment = [&](const std::string& name) -> std::optional<std::string> {
    auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };

  // 40 program folders of 50 ordinary files each, 200 cookie files.
  for (int folder = 0; folder < 40; ++folder) {
    fs::create_directories(root / "pf" / ("sub" + std::to_string(folder)));
    for (int file = 0; file < 50; ++file)
      Write(root / "pf" / ("sub" + std::to_string(folder)) / ("ordinary" + std::to_string(file) + ".dat"), "x");
  }
  for (int i = 0; i < 200; ++i)
    Write(root / "profile" / "Cookies" / ("user@site" + std::to_string(i) + "[1].txt"),
          "id\n" + std::to_string(i) + "\nsite" + std::to_string(i) + ".example/\n");

  std::string keyRoot = "Software\\" + tag;
  SpywareDefinitions definitions;
  for (int i = 0; i < kEntries; ++i) {
    SpywareEntry entry;
    entry.name = "Bench " + std::to_string(i);
    entry.description = "generated";
    bool hit = i % 100 == 7;
    std::string n = std::to_string(i);
    switch (i % 6) {
      case 0:
        entry.keys.push_back({"HKEY_CURRENT_USER", keyRoot + "\\keys", "k" + n, Hive::CurrentUser});
        if (hit) CreateKey(HKEY_CURRENT_USER, keyRoot + "\\keys\\k" + n);
        break;
      case 1:
        entry.values.push_back({"HKEY_CURRENT_USER", keyRoot + "\\values", "v" + n, Hive::CurrentUser});
        if (hit) WriteString(CreateKey(HKEY_CURRENT_USER, keyRoot + "\\values").Get(), "v" + n, "x");
        break;
      case 2:
        entry.files.push_back({"f" + n + ".dll", "PFDir\\sub" + std::to_string(i % 40)});
        if (hit) Write(root / "pf" / ("sub" + std::to_string(i % 40)) / ("f" + n + ".dll"), "x");
        break;
      case 3:
        entry.files.push_back({"g" + n + ".exe", ""});
        if (hit) Write(root / "inc" / ("g" + n + ".exe"), "x");
        break;
      case 4:
        entry.folders.push_back({"d" + n, "PFDir"});
        if (hit) fs::create_directories(root / "pf" / ("d" + n));
        break;
      default:
        entry.cookies.push_back("cookiesig" + n + "x.example");
        // A cookie signature matches a record's host, the third line.
        if (hit)
          Write(root / "profile" / "Cookies" / ("user@ads" + n + "[1].txt"),
                "id\n1\nads.cookiesig" + n + "x.example/\n");
        break;
    }
    definitions.entries.push_back(std::move(entry));
  }

  ScanHooks hooks;
  hooks.environment = environment;
  Found built, literal, floor;
  double builtSeconds = bench::MeasureSeconds([&] {
    CreateRepairTable(database);
    std::vector<Detection> detections = ScanForSpyware(definitions, scope, hooks);
    RecordDetections(database, detections);
    for (const Detection& detection : detections) built.emplace(detection.type, detection.entry);
  });
  double literalSeconds = bench::MeasureSeconds([&] {
    CreateRepairTable(database);
    literal = LiteralScan(definitions, scope, environment, database);
  });
  double floorSeconds = bench::MeasureSeconds([&] {
    CreateRepairTable(database);
    floor = FloorScan(definitions, scope, environment, database);
  });
  DropRepairTable(database);
  std::printf("detections: built %zu, literal %zu, floor %zu\n", built.size(), literal.size(), floor.size());
  bench::SameResult("detections, as built against the floor", built == floor);
  bench::SameResult("detections, literal against the floor", literal == floor);
  bench::Report("scan 2000 entries, floor", floorSeconds * 1000, "ms", floorSeconds * 1000);
  bench::Report("scan 2000 entries, as built (target <1.5x)", builtSeconds * 1000, "ms", floorSeconds * 1000);
  bench::Report("scan 2000 entries, literal", literalSeconds * 1000, "ms", floorSeconds * 1000);
  bench::Report("literal / built (target >=5x)", literalSeconds / builtSeconds, "x", 1);

  // Removal: 100 planted files, 20 host processes that hold none of them.
  auto hosts = std::make_unique<bench::HostProcesses>();
  for (int i = 0; i < 20; ++i) {
    fs::path dll = root / ("host" + std::to_string(i) + ".dll");
    fs::copy_file(bin / "test_bho.dll", dll);
    hosts->Start(Text(bin / "test_bho_host.exe"), Text(dll));
  }
  Sleep(3000);
  auto plant = [&](const char* prefix) {
    std::vector<Detection> detections;
    for (int i = 0; i < 100; ++i) {
      fs::path file = root / (prefix + std::to_string(i) + ".exe");
      Write(file, "x");
      Detection detection;
      detection.type = kTypeFile;
      detection.entry = Text(file);
      detections.push_back(detection);
    }
    return detections;
  };
  std::vector<Detection> targets = plant("remove");
  int gone = 0;
  fs::create_directories(root / "app");
  double removeSeconds = bench::MeasureSeconds([&] {
    RemovalSettings settings{&database, Text(root / "app") + "\\"};
    RemovalAction action(database, SpywareGuards(settings), "Removed spyware: bench");
    SpywareRemover remover(settings, action);
    for (const Detection& detection : targets) gone += remover.Remove(detection).gone;
  });
  // The floor keeps each file as the removal does: a snapshot, then one move each.
  std::vector<Detection> floorTargets = plant("floor");
  fs::create_directories(root / "floor-kept");
  double removeFloor = bench::MeasureSeconds([&] {
    ModuleIndex modules;
    modules.Build();
    int count = 0;
    std::string kept = Text(root / "floor-kept") + "\\";
    for (const Detection& detection : floorTargets)
      MoveFileExW(LongPath(detection.entry).c_str(), LongPath(kept + std::to_string(++count)).c_str(), 0);
  });
  int floorLeft = 0;
  for (const Detection& detection : floorTargets) floorLeft += GetFileAttributesW(LongPath(detection.entry).c_str()) != INVALID_FILE_ATTRIBUTES;
  bench::SameCount("files removed, as built", gone, 100);
  bench::SameCount("files left, floor", floorLeft, 0);
  bench::Report("remove 100 files, 20 processes, floor", removeFloor * 1000, "ms", removeFloor * 1000);
  bench::Report("remove 100 files, as built (target <2x)", removeSeconds * 1000, "ms", removeFloor * 1000);

  hosts.reset();
  database.Close();
  DeleteKeyTree(HKEY_CURRENT_USER, keyRoot);
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return bench::ExitStatus();
}
