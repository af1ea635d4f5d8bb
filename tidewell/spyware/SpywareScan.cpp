#include "tidewell/spyware/SpywareScan.h"

#include <shlobj.h>

#include <set>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/RegistryLocation.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/ModuleIndex.h"
#include "tidewell/spyware/CookieFile.h"
#include "tidewell/spyware/FolderIndex.h"
#include "tidewell/spyware/QuietDriveProbe.h"

namespace tidewell {

namespace {

void EnsureOpen(CADODatabase& database) {
  if (!database.IsOpen()) database.Open("", "", "");
}

bool Execute(CADODatabase& database, const std::string& statement) {
  EnsureOpen(database);
  CADORecordset recordset(database);
  recordset.Open(statement);
  return recordset.GetLastError() == 0;
}

class Scanner {
 public:
  Scanner(const SpywareDefinitions& definitions, const ScanScope& scope, const ScanHooks& hooks)
      : definitions_(definitions), scope_(scope), hooks_(hooks) {
    if (!hooks_.environment) hooks_.environment = ProcessEnvironment();
  }

  std::vector<Detection> Run() {
    if (scope_.memory) ScanMemory();
    if (Stopped()) return {};
    if (scope_.cookies) ScanCookies();
    if (scope_.registry || scope_.myComputer) {
      for (const SpywareEntry& entry : definitions_.entries) {
        if (Stopped()) return {};
        if (scope_.registry) ScanRegistry(entry);
        if (scope_.myComputer) {
          ScanFolders(entry);
          ScanFiles(entry);
        }
      }
    }
    if (Stopped()) return {};
    return std::move(found_);
  }

 private:
  bool Stopped() const { return hooks_.stop.StopRequested(); }
  void Status(const std::string& text) const {
    if (hooks_.status) hooks_.status(text);
  }
  void Record(const SpywareEntry& entry, const char* type, std::string text) {
    Detection detection;
    detection.name = entry.name;
    detection.type = type;
    detection.entry = std::move(text);
    found_.push_back(std::move(detection));
  }
  std::string Expand(const std::string& path, const std::string& name) const {
    return ExpandDefinitionPath(path, name, hooks_.environment);
  }

  void ScanMemory() {
    ModuleIndex modules;
    modules.Build(hooks_.reportTo);
    for (const std::string& path : modules.LoadedPaths()) Status("Scanning memory:" + path);
    for (const SpywareEntry& entry : definitions_.entries) {
      Status("Scanning memory");
      for (const PathSignature& file : entry.files) {
        // Without a folder the signature names no one file, so it never matches here.
        if (file.path.empty()) continue;
        std::string path = UpperCaseName(Expand(file.path, file.name));
        if (modules.IsLoaded(path) && index_.Find(path)) Record(entry, kTypeMemory, path);
      }
    }
  }

  void ScanCookies() {
    // Full paths throughout: the process's current folder is never changed.
    for (const std::string& folder : CookieFolders(hooks_.environment, ShellCookieFolder())) {
      if (Stopped()) return;
      ScanCookieFolder(folder);
    }
  }

  void ScanCookieFolder(const std::string& folder) {
    ForEachFolderEntry(folder, [&](const FolderEntry& found) {
      if (Stopped()) return false;
      if (found.IsFolder()) return true;
      Status("Scanning cookies:" + found.path);
      std::optional<std::string> text = ReadText(found.path);
      if (!text) return true;
      std::vector<std::string> hosts = CookieHosts(*text);
      for (const SpywareEntry& entry : definitions_.entries)
        for (const std::string& cookie : entry.cookies)
          if (AnyHostOf(hosts, cookie)) Record(entry, kTypeCookie, found.path);
      return true;
    });
  }

  static std::optional<std::string> ReadText(const std::string& path) {
    UniqueHandle file(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::nullopt;
    std::string text;
    char buffer[16384];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    return text;
  }

  void ScanRegistry(const SpywareEntry& entry) {
    int index = 0;
    for (const RegistrySignature& key : entry.keys) {
      std::string shown = key.main + "\\" + key.sub + "\\" + key.value;
      if (index++ % 5 == 0) Status("Scanning registry:" + shown);
      std::string path = key.sub + "\\" + key.value;
      std::vector<RegistryView> views;
      for (RegistryView view : ViewsOf(key.hive))
        if (OpenKey(HiveKey(key.hive), path, KEY_READ, view)) views.push_back(view);
      if (!views.empty()) RecordRegistry(entry, kTypeRegKey, key, path, "", std::move(views));
    }
    index = 0;
    for (const RegistrySignature& value : entry.values) {
      if (index++ % 5 == 0) Status("Scanning registry:" + value.sub + "\\" + value.value);
      std::vector<RegistryView> views;
      for (RegistryView view : ViewsOf(value.hive)) {
        UniqueKey key = OpenKey(HiveKey(value.hive), value.sub, KEY_QUERY_VALUE, view);
        DWORD size = 0;
        // A size query: data of any length counts.
        if (key && RegQueryValueExA(key.Get(), value.value.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS)
          views.push_back(view);
      }
      if (!views.empty()) RecordRegistry(entry, kTypeRegValue, value, value.sub, value.value, std::move(views));
    }
  }

  void RecordRegistry(const SpywareEntry& entry, const char* type, const RegistrySignature& signature,
                      const std::string& keyPath, const std::string& valueName, std::vector<RegistryView> views) {
    Record(entry, type, signature.main + "\\" + signature.sub + "\\" + signature.value);
    Detection& detection = found_.back();
    detection.hive = signature.hive;
    detection.keyPath = keyPath;
    detection.valueName = valueName;
    detection.views = std::move(views);
  }

  std::vector<std::string> Candidates(const PathSignature& signature, bool withIncludedFolders) const {
    std::vector<std::string> candidates;
    if (!signature.path.empty()) {
      candidates.push_back(Expand(signature.path, signature.name));
      return candidates;
    }
    for (const EnvironmentFolder& folder : kEnvironmentFolders) candidates.push_back(Expand(folder.key, signature.name));
    // The user's own folders are taken as they are: a folder named like a key stays that folder.
    if (withIncludedFolders)
      for (const std::string& folder : scope_.includedFolders) candidates.push_back(JoinPath(folder, signature.name));
    return candidates;
  }

  void ScanFolders(const SpywareEntry& entry) { ScanPaths(entry, entry.folders, true); }
  void ScanFiles(const SpywareEntry& entry) { ScanPaths(entry, entry.files, false); }

  // Only what is of the kind sought counts: a folder named like the file is
  // not the file, and could not be deleted as one.
  void ScanPaths(const SpywareEntry& entry, const std::vector<PathSignature>& signatures, bool folders) {
    int index = 0;
    for (const PathSignature& signature : signatures) {
      bool show = index++ % 5 == 0;
      for (const std::string& candidate : Candidates(signature, !folders)) {
        if (show) Status((folders ? "Scanning for folders:" : "Scanning for files:") + candidate);
        std::optional<DWORD> attributes = index_.Find(candidate);
        if (attributes && ((*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders)
          Record(entry, folders ? kTypeDir : kTypeFile, candidate);
      }
    }
  }

  const SpywareDefinitions& definitions_;
  const ScanScope& scope_;
  ScanHooks hooks_;
  FolderIndex index_;
  std::vector<Detection> found_;
};

}  // namespace

std::string ShellCookieFolder() {
  std::string folder;
  PWSTR wide = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Cookies, KF_FLAG_DONT_VERIFY, nullptr, &wide)) && wide)
    folder = Utf8FromWide(wide).value_or("");
  CoTaskMemFree(wide);
  return folder;
}

std::vector<std::string> CookieFolders(const EnvironmentLookup& environment, const std::string& shellFolder) {
  std::vector<std::string> candidates = {ExpandFolderKeys("ProfilePath\\Cookies", environment)};
  // Protected-mode browsers write to the Low folder.
  if (!shellFolder.empty()) candidates.insert(candidates.end(), {shellFolder, JoinPath(shellFolder, "Low")});
  // Before Vista the profile's folder is the shell's: each is read once.
  std::vector<std::string> folders;
  std::set<std::string> seen;
  for (std::string& folder : candidates) {
    std::string whole = UpperCaseName(FullFolderPath(folder));
    if (!whole.empty() && seen.insert(whole).second) folders.push_back(std::move(folder));
  }
  return folders;
}

HKEY HiveKey(Hive hive) { return HiveOfName(HiveName(hive)).value_or(HKEY_LOCAL_MACHINE); }

std::vector<RegistryView> ViewsOf(Hive hive) {
  if (hive == Hive::LocalMachine || hive == Hive::ClassesRoot) return RegistryViews();
  return {RegistryView::Native};
}

std::vector<Detection> ScanForSpyware(const SpywareDefinitions& definitions, const ScanScope& scope,
                                      const ScanHooks& hooks) {
  QuietDriveProbe quiet;  // included removable drives may have no medium
  Scanner scanner(definitions, scope, hooks);
  return scanner.Run();
}

bool CreateRepairTable(CADODatabase& database) {
  Execute(database, "drop table spw_repair");  // left by a run that never ended
  return Execute(database, "create table spw_repair (SPW_NAME TEXT(100),TYPE TEXT(100),ENTRY TEXT(255))");
}

bool RecordDetections(CADODatabase& database, const std::vector<Detection>& detections) {
  if (detections.empty()) return true;
  EnsureOpen(database);
  // Without the batch (another writer holds the file) each row commits alone.
  CADOBatch batch(database);
  bool ok = true;
  for (const Detection& detection : detections)
    ok &= Execute(database, FormatSql("insert into spw_repair(SPW_NAME,TYPE,ENTRY) values('%s','%s','%s')",
                                      detection.name, detection.type, detection.entry));
  // The rows exist only once the commit holds; a failed commit rolls back.
  if (batch.IsOpen() && !batch.Commit()) ok = false;
  return ok;
}

int CountRepairRows(CADODatabase& database) {
  EnsureOpen(database);
  CADORecordset recordset(database);
  if (!recordset.Open("select * from spw_repair")) return 0;
  return static_cast<int>(recordset.RecordCount());
}

void DropRepairTable(CADODatabase& database) { Execute(database, "drop table spw_repair"); }

}  // namespace tidewell
