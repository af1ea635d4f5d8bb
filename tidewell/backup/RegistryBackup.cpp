#include "tidewell/backup/RegistryBackup.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <new>
#include <optional>
#include <string_view>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Prompt.h"
#include "shared/win/Registry.h"
#include "shared/win/RegistryLocation.h"
#include "shared/win/Utf8.h"
#include "tidewell/shell/EventLog.h"
#include "tidewell/removal/BackupText.h"
#include "tidewell/removal/RegFileReader.h"
#include "tidewell/removal/RemovalService.h"
#include "tidewell/removal/RestoreCheck.h"

namespace tidewell {

namespace {

constexpr const char* kBackupQuestion = "Tidewell will backup parts of your registry system. Proceed?";
constexpr const char* kBackupCaption = "Tidewell registry backup";

// The general backup's keys, in export order.
const KeyExport kGeneralBackup[] = {
    {"HKCR\\CLSID", "CustomControls"},
    {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", "ApplicationPaths"},
    {"HKLM\\SOFTWARE\\Microsoft\\Windows\\Help", "WHelp"},
    {"HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help", "WHTMLHelp"},
    {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", "SharedDLLs"},
    {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Startup"},
    {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "AddRemoveProgr"},
};

void Execute(CADODatabase& database, const std::string& statement) {
  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  recordset.Open(statement);  // a failed statement is skipped, as everywhere
}

// A message box lists this many lines at most; the rest is counted.
constexpr size_t kListedLines = 20;

std::string ListLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size() && i < kListedLines; ++i) text += "\n" + lines[i];
  if (lines.size() > kListedLines) text += "\n... and " + std::to_string(lines.size() - kListedLines) + " more";
  return text;
}

// The view the machine's own reg.exe sees a plain key path in.
RegistryView MachineView() { return RegistryViews().size() > 1 ? RegistryView::Bits64 : RegistryView::Native; }

// Only a key that is not there has nothing to back up; one that is there but
// cannot be opened is still exported, and its failure reported.
bool KeyExists(const RegistryLocation& location) {
  UniqueKey key;
  return RegOpenKeyExA(location.hive, location.path.c_str(), 0, KEY_QUERY_VALUE | ViewAccess(location.view),
                       key.Put()) != ERROR_FILE_NOT_FOUND;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size) || static_cast<uint64_t>(size.QuadPart) > SIZE_MAX / 2)
    return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  for (size_t done = 0; done < bytes.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24)), read = 0;
    if (!ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) return std::nullopt;
    done += read;
  }
  return bytes;
}

template <class F>
struct AtScopeEnd {
  F f;
  ~AtScopeEnd() { f(); }
};

bool NonEmptyFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
         !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (data.nFileSizeLow > 0 || data.nFileSizeHigh > 0);
}

}  // namespace

CRegistryBackup::CRegistryBackup(CADODatabase& database, std::string appFolder, HWND owner, BackupObserver observer)
    : database_(database), appFolder_(std::move(appFolder)), owner_(owner), observer_(std::move(observer)) {
  if (!appFolder_.empty() && appFolder_.back() != '\\') appFolder_ += '\\';
}

std::string CRegistryBackup::BackupFolder(int32_t time, bool create) const {
  std::string folder = CollapseDoubledBackslashes(appFolder_ + BackupFolderName(time));
  if (create) {
    // Failures, an existing folder among them, are of no concern here.
    CreateDirectoryA(CollapseDoubledBackslashes(appFolder_ + kBackupRootFolder).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  return folder;
}

void CRegistryBackup::BeginWait() {
  if (waits_++ == 0) Notify(observer_.waitStarted);
}

void CRegistryBackup::EndWait() {
  if (--waits_ == 0) Notify(observer_.waitFinished);
}

bool CRegistryBackup::ExportRegistryKey(const std::string& keyPath, const std::string& fileBase, int32_t time,
                                        const std::string& comment, const StopToken& stop) {
  std::string file = BackupFolder(time, true) + "\\" + fileBase + ".reg";
  // /y: reg.exe would otherwise ask in its hidden console whether to replace
  // a file of the same name (two backups in one second) and never end.
  std::string arguments = "export \"" + keyPath + "\" \"" + file + "\" /y";
  BeginWait();
  std::optional<DWORD> exitCode = RunRegTool(regTool_, arguments, appFolder_, stop, OnStop::End);
  EndWait();
  bool exported = exitCode == 0u && NonEmptyFile(file);
  // What a failed or ended run left is no backup, and a restore must not take it for one.
  if (!exported) DeleteFileIn(file);
  // The row goes in before the list is refreshed, so the refresh shows it.
  Execute(database_, FormatSql("insert into regbk(dattm,file,comment) values(%d,'%s','%s')", time, file, comment));
  Notify(observer_.listChanged);
  return exported;
}

std::vector<std::string> CRegistryBackup::ExportInEveryView(std::span<const KeyExport> keys, int32_t time,
                                                            const std::string& comment, const StopToken& stop) {
  BeginWait();
  AtScopeEnd ended{[this] { EndWait(); }};
  std::vector<std::string> failed;
  auto exportIfPresent = [&](const RegistryLocation& key, const std::string& fileBase) {
    if (!KeyExists(key)) return;
    std::string name = key.ToolName();
    if (stop.StopRequested() || !ExportRegistryKey(name, fileBase, time, comment, stop)) failed.push_back(name);
  };
  std::vector<RegistryLocation> locations;
  for (const auto& item : keys) locations.push_back(RegistryLocation::Parse(item.key).value_or(RegistryLocation{}));
  for (size_t i = 0; i < keys.size(); ++i) {
    if (!locations[i].hive) continue;
    RegistryLocation native = locations[i];
    native.view = MachineView();
    exportIfPresent(native, keys[i].fileBase);
  }
  // The 32-bit view's twins, after the keys themselves: one reg.exe names
  // them by their Wow6432Node path and a plain import puts them back there.
  if (RegistryViews().size() < 2) return failed;
  for (size_t i = 0; i < keys.size(); ++i) {
    RegistryLocation twin = locations[i];
    twin.view = RegistryView::Bits32;
    if (!twin.hive || twin.ViewPath() == twin.path) continue;
    exportIfPresent(twin, keys[i].fileBase + "32");
  }
  return failed;
}

bool CRegistryBackup::ConfirmBackup() {
  return Prompt(owner_, kBackupQuestion, kBackupCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

void CRegistryBackup::ReportFailedExports(const std::vector<std::string>& failed) {
  Prompt(owner_, "Tidewell could not back up these keys:" + ListLines(failed) + "\nThe backup is incomplete.",
         "Tidewell", MB_OK | MB_ICONWARNING);
}

bool CRegistryBackup::RunGeneralBackup() {
  if (!ConfirmBackup()) return false;
  ReportGeneralBackup(WriteGeneralBackup());
  return true;
}

std::vector<std::string> CRegistryBackup::WriteGeneralBackup(const StopToken& stop) {
  int32_t time = NewBackupTime();
  std::vector<std::string> failed = ExportInEveryView(kGeneralBackup, time, "", stop);
  LogEvent(database_, "General registry backup");
  return failed;
}

void CRegistryBackup::ReportGeneralBackup(const std::vector<std::string>& failed) {
  if (failed.empty()) Prompt(owner_, "Registry backup complete", "Tidewell", MB_OK);
  else ReportFailedExports(failed);
}

CategoryBackupResult CRegistryBackup::WriteCategoryBackup(const CategoryBackupRequest& request,
                                                          const StopToken& stop) {
  CategoryBackupResult result;
  int32_t time = NewBackupTime();
  result.failed = ExportInEveryView(request.keys, time, request.comment, stop);
  result.name = BackupDisplayName(request.comment, FormatEventTime(time));
  LogEventAt(database_, time, result.name);
  return result;
}

void CRegistryBackup::ReportCategoryBackup(const CategoryBackupResult& result) {
  if (result.failed.empty()) Prompt(owner_, "Backup completed: " + result.name, "Tidewell", MB_OK);
  else ReportFailedExports(result.failed);
}

bool CRegistryBackup::BackupCategory(const CategoryBackupRequest& request) {
  if (!ConfirmBackup()) return false;
  ReportCategoryBackup(WriteCategoryBackup(request));
  return true;
}

bool CRegistryBackup::ExportKeyForRepair(HKEY root, const std::string& rootName, const std::string& replacedPart,
                                         const std::string& subkey, int32_t time, const std::string& comment,
                                         RegistryView view) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  int random = std::rand() % 1000;
  // One run draws the same number for every key of a second: keep each file apart.
  std::string base = RepairFileBaseName(subkey, replacedPart, random);
  std::string folder = BackupFolder(time, true) + "\\";
  std::string unique = base;
  for (int number = 2; number < 1000 && GetFileAttributesA((folder + unique + ".reg").c_str()) != INVALID_FILE_ATTRIBUTES;
       ++number)
    unique = base + " (" + std::to_string(number) + ")";
  // No pause after the export: reg.exe has ended and its file is checked, so
  // the key may go at once.
  return ExportRegistryKey(rootName + "\\" + RegistryLocation{root, subkey, view}.ViewPath(), unique, time, comment);
}

uint64_t CRegistryBackup::FolderSize(int32_t time) const {
  uint64_t total = 0;
  std::function<void(const std::string&)> add = [&](const std::string& folder) {
    ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
      if (!entry.IsFolder())
        total += entry.size;
      else if (!entry.IsLink())
        add(entry.path);
      return true;
    });
  };
  add(BackupFolder(time));
  return total;
}

std::vector<BackupEntry> CRegistryBackup::ListBackups() {
  std::vector<BackupEntry> entries;
  if (!database_.IsOpen()) database_.Open("", "", "");
  CADORecordset recordset(database_);
  if (!recordset.Open("select distinct dattm,comment from regbk") || recordset.RecordCount() == 0) return entries;
  recordset.MoveFirst();
  while (!recordset.IsEOF()) {
    BackupEntry entry;
    int time = 0;
    recordset.GetFieldInt("dattm", time);
    recordset.GetField("comment", entry.comment);
    entry.time = time;
    entry.name = BackupDisplayName(entry.comment, FormatEventTime(entry.time));
    entry.sizeText = BackupSizeText(FolderSize(entry.time));
    entries.push_back(std::move(entry));
    recordset.MoveNext();
  }
  // Newest first, whatever order the statement gives (rows of one second keep theirs, reversed).
  std::stable_sort(entries.begin(), entries.end(),
                   [](const BackupEntry& a, const BackupEntry& b) { return a.time < b.time; });
  std::reverse(entries.begin(), entries.end());
  return entries;
}

std::vector<std::string> CRegistryBackup::FilesOf(int32_t time) {
  std::vector<std::string> files;
  if (!database_.IsOpen()) database_.Open("", "", "");
  CADORecordset recordset(database_);
  if (!recordset.Open(FormatSql("select * from regbk where dattm=%d", time)) || recordset.RecordCount() == 0)
    return files;
  recordset.MoveFirst();
  while (!recordset.IsEOF()) {
    std::string file;
    recordset.GetField("file", file);
    files.push_back(std::move(file));
    recordset.MoveNext();
  }
  return files;
}

bool CRegistryBackup::RestoreBackup(const std::string& name, int32_t time) {
  if (!ConfirmRestore(name)) return false;
  ReportRestore(ImportBackup(name, time));
  return true;
}

bool CRegistryBackup::ConfirmRestore(const std::string& name) {
  if (name.empty()) {
    Prompt(owner_, "ERROR: No backup entry selected", "Tidewell", MB_OK | MB_ICONERROR);
    return false;
  }
  return Prompt(owner_, "Are you sure you want to restore the registry using " + name + " ?",
                "Tidewell registry restore", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

RestoreResult CRegistryBackup::ImportBackup(const std::string& name, int32_t time, const StopToken& stop) {
  RestoreResult result;
  std::vector<std::string> files = FilesOf(time);
  if (!files.empty()) {
    BeginWait();
    AtScopeEnd ended{[this] { EndWait(); }};
    // One file after the other: each is read back before the next may change the same keys.
    for (const auto& file : files) {
      std::vector<std::string> missing;
      if (stop.StopRequested()) {
        missing = {file};
      } else if (IsActionManifest(file)) {
        // What a removal kept comes back piece by piece.
        ActionRestoreResult action = RestoreAction(CollapseDoubledBackslashes(file));
        result.pieces += action.restored + static_cast<int>(action.notRestored.size());
        result.piecesRestored += action.restored;
        missing = std::move(action.notRestored);
      } else {
        missing = ImportRegFile(file, stop);
      }
      result.notRestored.insert(result.notRestored.end(), missing.begin(), missing.end());
    }
  }
  // The log says a restore happened only as far as it did.
  std::string event = "Restored " + RestoreEventSuffix(name);
  if (!result.notRestored.empty()) event += " (incomplete)";
  LogEvent(database_, event);
  return result;
}

void CRegistryBackup::ReportRestore(const RestoreResult& result) {
  if (result.pieces > 0) {
    std::string text = RestoredPiecesText(result.piecesRestored);
    if (result.notRestored.empty())
      Prompt(owner_, text, "Tidewell", MB_OK | MB_ICONINFORMATION);
    else
      Prompt(owner_, text + " Tidewell could not restore these:" + ListLines(result.notRestored), "Tidewell",
             MB_OK | MB_ICONWARNING);
    return;
  }
  if (result.notRestored.empty())
    Prompt(owner_, "Operation completed", "Tidewell", MB_OK | MB_ICONINFORMATION);
  else
    Prompt(owner_, "Tidewell could not restore these values:" + ListLines(result.notRestored), "Tidewell",
           MB_OK | MB_ICONWARNING);
}

bool CRegistryBackup::DeleteBackup(const std::string& name, int32_t time) {
  if (Prompt(owner_, "Are you sure you want to delete " + name + " ?", "Tidewell", MB_YESNO | MB_ICONQUESTION) !=
      IDYES)
    return false;
  // Only what lies in the backups' own folder, whatever a row says.
  FolderScope backups(CollapseDoubledBackslashes(appFolder_ + kBackupRootFolder));
  for (const auto& file : FilesOf(time)) {
    // A removal's row frees everything it kept; a missing file is no error.
    if (IsActionManifest(file))
      FreeAction(CollapseDoubledBackslashes(file));
    else
      backups.DeleteFile(CollapseDoubledBackslashes(file));
  }
  Execute(database_, FormatSql("delete from regbk where dattm=%d", time));
  Notify(observer_.listChanged);
  return true;
}

std::vector<std::string> CRegistryBackup::ImportRegFile(const std::string& path, const StopToken& stop) {
  try {
    std::optional<std::vector<RegFileKey>> keys;
    if (std::optional<std::string> bytes = ReadWholeFile(path)) keys = ReadRegFile(*bytes);
    // A damaged file is not imported at all: reg.exe would put back the lines
    // before the damage and end as if all went well.
    if (!keys) return {path};
    // Noted first, so no watch takes what comes back for another's addition.
    NoteRestoredValues(*keys);
    std::string arguments = "import \"" + path + "\"";
    BeginWait();
    std::optional<DWORD> imported = RunRegTool(regTool_, arguments, appFolder_, stop, OnStop::Leave);
    EndWait();
    // Its exit code says little: what counts is what the registry now holds.
    if (!imported) return {path};
    return NotInRegistry(*keys);
  } catch (const std::bad_alloc&) {
    return {path};  // a file too large to hold and check
  }
}

}  // namespace tidewell
