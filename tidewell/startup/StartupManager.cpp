#include "tidewell/startup/StartupManager.h"

#include <vector>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/net/HttpGet.h"
#include "shared/win/Prompt.h"
#include "shared/win/Registry.h"
#include "tidewell/shell/EventLog.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/removal/RemovalService.h"
#include "tidewell/removal/ValueBackup.h"
#include "tidewell/startup/StartupText.h"

namespace tidewell {

namespace {

constexpr const char* kStartupCaption = "Tidewell startup manager";

HKEY RootOf(int root) { return root == kStartupRootUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

std::string RunKeyPathWithoutSeparator() {
  std::string path = kRunKeyPath;
  path.pop_back();
  return path;
}


void AppendEntries(HKEY root, int code, RegistryView view, std::vector<StartupEntry>& entries) {
  UniqueKey key = OpenKey(root, kRunKeyPath, KEY_READ, view);
  if (!key) return;
  // Sized to each value, so a long command line neither is cut nor ends the walk.
  for (const auto& value : Values(key.Get())) {
    std::string command(value.data.begin(), value.data.end());
    if (size_t end = command.find('\0'); end != std::string::npos) command.resize(end);
    entries.push_back(StartupEntry{value.name, command, code, view});
  }
}

bool NothingSelected(const StartupEntry& entry, HWND owner) {
  if (!entry.name.empty() || !entry.command.empty()) return false;
  Prompt(owner, "ERROR: No backup entry selected", "Tidewell", MB_OK | MB_ICONERROR);
  return true;
}

}  // namespace

std::vector<StartupEntry> ListStartupEntries() {
  std::vector<StartupEntry> entries;
  AppendEntries(HKEY_CURRENT_USER, kStartupRootUser, RegistryView::Native, entries);
  for (RegistryView view : RegistryViews()) AppendEntries(HKEY_LOCAL_MACHINE, kStartupRootMachine, view, entries);
  return entries;
}

LPARAM StartupItemData(const StartupEntry& entry) {
  return entry.root + (entry.view == RegistryView::Bits32 && entry.root == kStartupRootMachine ? kStartupView32Flag : 0);
}

void ReadStartupItemData(LPARAM data, StartupEntry& entry) {
  entry.root = static_cast<int>(data % kStartupView32Flag);
  entry.view = RegistryView::Native;
  if (entry.root != kStartupRootMachine) return;
  if (data >= kStartupView32Flag) entry.view = RegistryView::Bits32;
  else if (RegistryViews().size() > 1) entry.view = RegistryView::Bits64;
}

std::string StartupViewText(const StartupEntry& entry) {
  return entry.root == kStartupRootMachine ? ViewLabel(entry.view) : "";
}

bool DisableStartupEntry(CADODatabase& database, const std::string& appFolder, const StartupEntry& entry,
                         HWND owner) {
  if (NothingSelected(entry, owner)) return false;
  if (Prompt(owner, "Are you sure you want to disable this startup entry " + entry.name + " ?", kStartupCaption,
             MB_YESNO | MB_ICONQUESTION) != IDYES)
    return false;
  int32_t time = NewBackupTime();
  std::string displayName = entry.name.empty() ? "(Default)" : entry.name;
  HKEY root = RootOf(entry.root);
  ValueBackupResult backup = WriteValueBackup(
      database, appFolder,
      ValueBackupRequest{root, RootKeyName(root), kRunKeyPath, entry.name, time,
                         "Disabled startup entry (" + displayName + ")", entry.view});
  // Deleting without a backup that holds the value would lose the entry for good.
  if (!backup.holdsValue) {
    Prompt(owner,
           "ERROR: The startup entry " + displayName + " was not disabled, because its backup could not be written to " +
               appFolder + "BKUP. Nothing was changed.",
           kStartupCaption, MB_OK | MB_ICONERROR);
    return false;
  }
  std::string message = "Unable to find key";
  bool disabled = false;
  if (UniqueKey key = OpenKey(root, kRunKeyPath, KEY_QUERY_VALUE | KEY_SET_VALUE, entry.view)) {
    disabled = RegDeleteValueA(key.Get(), entry.name.c_str()) == ERROR_SUCCESS;
    if (disabled)
      message = "The specified startup entry was disabled.You can reenable it by using the backup manager";
    else
      message = "ERROR: The startup entry " + displayName + " could not be removed.";
  }
  Prompt(owner, message, "Tidewell", MB_OK);
  // The event says what happened: only a value that went was disabled.
  if (disabled) LogEvent(database, "Startup entry disabled (" + entry.name + ")");
  return disabled;
}

bool DeleteStartupEntry(CADODatabase& database, const std::string& appFolder, const StartupEntry& entry,
                        HWND owner) {
  if (NothingSelected(entry, owner)) return false;
  if (Prompt(owner, "Are you sure you want to delete this startup entry " + entry.name + " ?", kStartupCaption,
             MB_YESNO | MB_ICONQUESTION) != IDYES)
    return false;
  std::string displayName = entry.name.empty() ? "(Default)" : entry.name;
  RemovalAction action(database, RemovalGuards{appFolder, {}}, "Deleted startup entry (" + displayName + ")");
  PieceOutcome outcome =
      action.Remove(Piece::Value(RegistryLocation{RootOf(entry.root), RunKeyPathWithoutSeparator(), entry.view}, entry.name));
  action.Commit();
  if (!outcome.gone)
    Prompt(owner, "ERROR: The startup entry " + displayName + " could not be removed: " + outcome.reason + ".",
           kStartupCaption, MB_OK | MB_ICONERROR);
  return outcome.gone;
}

std::string VersionString(const std::string& path, const char* name) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> info(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return {};
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof(Translation))
    return {};
  char query[64];
  wsprintfA(query, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language, translations[0].codePage, name);
  char* value = nullptr;
  if (!VerQueryValueA(info.data(), query, reinterpret_cast<void**>(&value), &length) || !value) return {};
  return std::string(value, strnlen(value, length));
}

std::string VersionComments(const std::string& path) { return VersionString(path, "Comments"); }

std::string DescribeStartupCommand(CADODatabase& database, const std::string& command) {
  std::string path = StartupProgramPath(command);
  std::string program = ProgramFileName(path);
  std::string description;
  // No program name (an empty command, a bare rundll32.exe, a folder): unknown,
  // never the first row that happens to match an empty name.
  if (program.empty()) return StartupDescriptionText("");
  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  if (recordset.Open(FormatSql("select * from processes where pname='%s' or paltname='%s'", program, program)) &&
      recordset.RecordCount() > 0) {
    recordset.MoveFirst();
    recordset.GetField("description", description);
  }
  if (description.empty()) description = VersionComments(path);
  return StartupDescriptionText(description);
}

bool IsUnknownStartupDescription(const std::string& description) {
  return description == std::string(kDescriptionPrefix) + kUnknownStartupProgram;
}

std::string SendStartupInfo(const std::string& host, const std::string& name, const std::string& path) {
  std::string response = HttpGet(host, StartupInfoRequestPath(name, path));
  return response.empty() ? "Unable to connect to server" : "Information submited";
}

}  // namespace tidewell
