#include "tidewell/backup/RegistryBackup.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string_view>

#include <shellapi.h>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/Handles.h"
#include "shared/win/Prompt.h"
#include "shared/win/Registry.h"
#include "tidewell/shell/EventLog.h"
#include "tidewell/backup/BackupText.h"

namespace tidewell {

namespace {

// The machine's own reg.exe, for export and import alike: a 32-bit one,
// started by the 32-bit build, would see and restore only the 32-bit view.
std::string MachineRegTool() {
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "reg.exe";
  return PathFromView(std::string(system, length) + "\\reg.exe", RegistryView::Bits64);
}

constexpr const char* kBackupQuestion = "Tidewell will backup parts of your registry system. Proceed?";
constexpr const char* kBackupCaption = "Tidewell registry backup";

constexpr const char* kCustomControlsKey = "HKCR\\CLSID";
constexpr const char* kAppPathsKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kHelpKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\Help";
constexpr const char* kHtmlHelpKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help";
constexpr const char* kSharedDllsKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* kRunKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kUninstallKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

constexpr KeyExport kGeneralBackup[] = {
    {kCustomControlsKey, "CustomControls"}, {kAppPathsKey, "ApplicationPaths"}, {kHelpKey, "WHelp"},
    {kHtmlHelpKey, "WHTMLHelp"},           {kSharedDllsKey, "SharedDLLs"},     {kRunKey, "Startup"},
    {kUninstallKey, "AddRemoveProgr"},
};

struct CategoryBackup {
  BackupCategoryKind kind;
  const char* comment;
  std::vector<KeyExport> exports;
};

const std::vector<CategoryBackup>& CategoryBackups() {
  static const std::vector<CategoryBackup> categories = {
      {BackupCategoryKind::RegisteredCustomControls, "Registered common controls backup",
       {{kCustomControlsKey, "CustomControls"}}},
      {BackupCategoryKind::SoftwareLocations, "Software locations backup", {{kAppPathsKey, "ApplicationPaths"}}},
      {BackupCategoryKind::HelpAndResources, "Help and resources backup",
       {{kHelpKey, "WHelp"}, {kHtmlHelpKey, "WHTMLHelp"}}},
      {BackupCategoryKind::SharedPrograms, "Shared programs backup", {{kSharedDllsKey, "SharedDLLs"}}},
      {BackupCategoryKind::StartupPrograms, "Startup entries backup", {{kRunKey, "Startup"}}},
      {BackupCategoryKind::AddRemovePrograms, "Add/remove programs backup", {{kUninstallKey, "AddRemoveProgr"}}},
  };
  return categories;
}

void Execute(CADODatabase& database, const std::string& statement) {
  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  recordset.Open(statement);  // a failed statement is skipped, as everywhere
}

// Runs a console tool without a window and waits for it to end; its exit
// code, or nothing when it could not be started.
std::optional<DWORD> RunHiddenAndWait(const std::string& commandLine, const std::string& directory) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::string mutableLine = commandLine;
  if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &process))
    return std::nullopt;
  UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
  WaitForSingleObject(processHandle.Get(), INFINITE);
  DWORD code = 1;
  if (!GetExitCodeProcess(processHandle.Get(), &code)) return std::nullopt;
  return code;
}

bool NonEmptyFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
         !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (data.nFileSizeLow > 0 || data.nFileSizeHigh > 0);
}

}  // namespace

int32_t NewBackupTime() {
  // One time per operation, also within one second: the time names the folder
  // and keys restore and delete, which would otherwise act on both backups.
  static std::atomic<int32_t> last{0};
  int32_t now = static_cast<int32_t>(std::time(nullptr));
  int32_t previous = last.load();
  int32_t next = 0;
  do {
    next = std::max(now, previous + 1);
  } while (!last.compare_exchange_weak(previous, next));
  return next;
}

std::string ViewKeyPath(HKEY root, const std::string& path, RegistryView view) {
  if (view == RegistryView::Native && sizeof(void*) == 4) view = RegistryView::Bits32;  // this build's own view
  if (view != RegistryView::Bits32 || RegistryViews().size() < 2) return path;
  if (root == HKEY_CLASSES_ROOT) return "Wow6432Node\\" + path;
  constexpr std::string_view software = "SOFTWARE\\";
  if (root == HKEY_LOCAL_MACHINE && path.size() > software.size() &&
      _strnicmp(path.c_str(), software.data(), software.size()) == 0)
    return path.substr(0, software.size()) + "Wow6432Node\\" + path.substr(software.size());
  return path;
}

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

bool CRegistryBackup::ExportRegistryKey(const std::string& keyPath, const std::string& fileBase, int32_t time,
                                        const std::string& comment) {
  std::string file = BackupFolder(time, true) + "\\" + fileBase + ".reg";
  // /y: reg.exe would otherwise ask in its hidden console whether to replace
  // a file of the same name (two backups in one second) and never end.
  std::string commandLine = "\"" + MachineRegTool() + "\" export \"" + keyPath + "\" \"" + file + "\" /y";
  Notify(observer_.exportStarted);
  std::optional<DWORD> exitCode = RunHiddenAndWait(commandLine, appFolder_);
  Notify(observer_.exportFinished);
  bool exported = exitCode == 0u && NonEmptyFile(file);
  // The row goes in before the list is refreshed, so the refresh shows it.
  Execute(database_, FormatSql("insert into regbk(dattm,file,comment) values(%d,'%s','%s')", time, file, comment));
  Notify(observer_.listChanged);
  return exported;
}

std::vector<std::string> CRegistryBackup::ExportInEveryView(std::span<const KeyExport> keys, int32_t time,
                                                            const std::string& comment) {
  std::vector<std::string> failed;
  for (const auto& item : keys)
    if (!ExportRegistryKey(item.key, item.fileBase, time, comment)) failed.push_back(item.key);
  // The 32-bit view's twins, after the keys themselves: one reg.exe names
  // them by their Wow6432Node path and a plain import puts them back there.
  if (RegistryViews().size() < 2) return failed;
  for (const auto& item : keys) {
    std::string_view key = item.key;
    size_t slash = key.find('\\');
    HKEY root = key.substr(0, slash) == "HKCR" ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
    std::string path(key.substr(slash + 1));
    std::string twin = ViewKeyPath(root, path, RegistryView::Bits32);
    if (twin == path || !OpenKey(root, path, KEY_READ, RegistryView::Bits32)) continue;
    std::string twinKey = std::string(key.substr(0, slash + 1)) + twin;
    if (!ExportRegistryKey(twinKey, std::string(item.fileBase) + "32", time, comment)) failed.push_back(twinKey);
  }
  return failed;
}

bool CRegistryBackup::ConfirmBackup() {
  return Prompt(owner_, kBackupQuestion, kBackupCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

void CRegistryBackup::ReportFailedExports(const std::vector<std::string>& failed) {
  std::string keys;
  for (const auto& key : failed) keys += "\n" + key;
  Prompt(owner_, "Tidewell could not back up these keys:" + keys + "\nThe backup is incomplete.", "Tidewell",
         MB_OK | MB_ICONWARNING);
}

bool CRegistryBackup::RunGeneralBackup() {
  if (!ConfirmBackup()) return false;
  int32_t time = NewBackupTime();
  std::vector<std::string> failed = ExportInEveryView(kGeneralBackup, time, "");
  LogEvent(database_, "General registry backup");
  if (failed.empty()) Prompt(owner_, "Registry backup complete", "Tidewell", MB_OK);
  else ReportFailedExports(failed);
  return true;
}

CategoryBackupResult CRegistryBackup::WriteCategoryBackup(BackupCategoryKind category) {
  CategoryBackupResult result;
  auto found = std::find_if(CategoryBackups().begin(), CategoryBackups().end(),
                            [category](const CategoryBackup& item) { return item.kind == category; });
  if (found == CategoryBackups().end()) return result;
  int32_t time = NewBackupTime();
  result.failed = ExportInEveryView(found->exports, time, found->comment);
  result.name = BackupDisplayName(found->comment, FormatEventTime(time));
  LogEventAt(database_, time, result.name);
  return result;
}

void CRegistryBackup::ReportCategoryBackup(const CategoryBackupResult& result) {
  if (result.name.empty()) return;
  if (result.failed.empty()) Prompt(owner_, "Backup completed: " + result.name, "Tidewell", MB_OK);
  else ReportFailedExports(result.failed);
}

bool CRegistryBackup::BackupCategory(BackupCategoryKind category) {
  if (!ConfirmBackup()) return false;
  CategoryBackupResult result = WriteCategoryBackup(category);
  ReportCategoryBackup(result);
  return !result.name.empty();
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
  return ExportRegistryKey(rootName + "\\" + ViewKeyPath(root, subkey, view), unique, time, comment);
}

uint64_t CRegistryBackup::FolderSize(int32_t time) const {
  namespace fs = std::filesystem;
  uint64_t total = 0;
  std::error_code error;
  fs::recursive_directory_iterator it(fs::path(BackupFolder(time)), error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code sizeError;
    if (it->is_regular_file(sizeError)) {
      uintmax_t size = it->file_size(sizeError);
      if (!sizeError) total += size;
    }
  }
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
  if (name.empty()) {
    Prompt(owner_, "ERROR: No backup entry selected", "Tidewell", MB_OK | MB_ICONERROR);
    return false;
  }
  if (Prompt(owner_, "Are you sure you want to restore the registry using " + name + " ?",
             "Tidewell registry restore", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return false;
  std::string suffix = RestoreEventSuffix(name);
  std::vector<std::string> files = FilesOf(time);
  if (!files.empty()) {
    Busy(true);
    for (const auto& file : files) ImportRegFile(file);
    Busy(false);
  }
  LogEvent(database_, "Restored " + suffix);
  Prompt(owner_, "Operation completed", "Tidewell", MB_OK | MB_ICONINFORMATION);
  return true;
}

bool CRegistryBackup::DeleteBackup(const std::string& name, int32_t time) {
  if (Prompt(owner_, "Are you sure you want to delete " + name + " ?", "Tidewell", MB_YESNO | MB_ICONQUESTION) !=
      IDYES)
    return false;
  for (const auto& file : FilesOf(time)) DeleteFileA(file.c_str());  // a missing file is no error
  Execute(database_, FormatSql("delete from regbk where dattm=%d", time));
  Notify(observer_.listChanged);
  return true;
}

void CRegistryBackup::ImportRegFile(const std::string& path) {
  std::string parameters = "import \"" + path + "\"";
  ShellExecuteA(owner_, "open", MachineRegTool().c_str(), parameters.c_str(), ".", SW_HIDE);
}

}  // namespace tidewell
