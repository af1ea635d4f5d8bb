#pragma once
// Registry backups: keys exported by reg.exe into BKUP\reg<time> of the
// application folder, catalogued in table regbk, listed, restored by
// reg.exe import and deleted. The engine shows no window; it asks through
// Prompt and tells its observer when an export runs and the list changed.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"

namespace tidewell {

// One backup as the user sees it: a distinct (time, comment) pair of regbk.
struct BackupEntry {
  int32_t time = 0;
  std::string comment;
  std::string name;      // "Registry Backup <time>" or "<comment> - <time>"
  std::string sizeText;  // all files of the backup's folder
};

// The registry cleaner's categories that have a "Backup" button.
enum class BackupCategoryKind {
  RegisteredCustomControls,  // RCC
  SoftwareLocations,         // SWL
  HelpAndResources,          // HHR, HHR1
  SharedPrograms,            // SSDLL
  StartupPrograms,           // SUP
  AddRemovePrograms,         // ARP
};

struct BackupObserver {
  std::function<void()> exportStarted;   // reg.exe runs; show that the program waits
  std::function<void()> exportFinished;
  std::function<void(bool)> busy;        // restore starts its imports (wait cursor)
  std::function<void()> listChanged;     // regbk changed; refresh a shown backup list
};

// A key a backup exports ("HKLM\\SOFTWARE\\...") and its file's name.
struct KeyExport {
  const char* key;
  const char* fileBase;
};

// A category backup's display name ("<comment> - <time>") and the keys that
// could not be exported; no name when the category is unknown.
struct CategoryBackupResult {
  std::string name;
  std::vector<std::string> failed;
};

// The current time as a backup time: names the folder and keys the rows.
int32_t NewBackupTime();

// The path of root\path in a view as a .reg file names it, so that a plain
// reg.exe import puts it back into that view: the 32-bit view's keys under
// Wow6432Node where Windows has two views; other paths unchanged.
std::string ViewKeyPath(HKEY root, const std::string& path, RegistryView view);

class CRegistryBackup {
 public:
  // appFolder: the application folder with its trailing backslash.
  // owner: the window that owns the prompts and the reg.exe imports.
  CRegistryBackup(CADODatabase& database, std::string appFolder, HWND owner = nullptr,
                  BackupObserver observer = {});

  CADODatabase& Database() { return database_; }
  const std::string& AppFolder() const { return appFolder_; }
  // Full path of BKUP\reg<time>, created with its parent when create is set.
  std::string BackupFolder(int32_t time, bool create = false) const;

  // Exports keyPath ("HKCR\CLSID") with reg.exe into <backup folder>\<fileBase>.reg,
  // waits for it and files the row. True only when reg.exe succeeded and the
  // file it wrote is not empty: only then may the key be deleted.
  bool ExportRegistryKey(const std::string& keyPath, const std::string& fileBase, int32_t time,
                         const std::string& comment);

  // "Registry backup": the seven keys (and their 32-bit twins) under one
  // time, after the question. False when the user declined.
  bool RunGeneralBackup();
  // A "Backup" button of the registry cleaner: the question, the exports and
  // the answer. Each step is also callable alone, so the exports can run off
  // the UI thread.
  bool BackupCategory(BackupCategoryKind category);
  bool ConfirmBackup();
  CategoryBackupResult WriteCategoryBackup(BackupCategoryKind category);
  void ReportCategoryBackup(const CategoryBackupResult& result);
  // A problem key, exported before the registry cleaner deletes it, into a
  // file of its own (never one an earlier export of the run wrote). True as
  // for ExportRegistryKey.
  bool ExportKeyForRepair(HKEY root, const std::string& rootName, const std::string& replacedPart,
                          const std::string& subkey, int32_t time, const std::string& comment,
                          RegistryView view = RegistryView::Native);

  // Newest first.
  std::vector<BackupEntry> ListBackups();

  // Imports every file of the backup, after the question; name and time are
  // those of the selected row (an empty name: nothing selected).
  bool RestoreBackup(const std::string& name, int32_t time);
  // Deletes the backup's files and rows, after the question.
  bool DeleteBackup(const std::string& name, int32_t time);

  // Starts reg.exe import on one file, hidden, without waiting for it.
  void ImportRegFile(const std::string& path);

 private:
  void Notify(const std::function<void()>& hook) {
    if (hook) hook();
  }
  void Busy(bool on) {
    if (observer_.busy) observer_.busy(on);
  }
  // Exports each key, then the 32-bit view's twin of each that has one;
  // the keys that failed.
  std::vector<std::string> ExportInEveryView(std::span<const KeyExport> keys, int32_t time, const std::string& comment);
  void ReportFailedExports(const std::vector<std::string>& failed);
  std::vector<std::string> FilesOf(int32_t time);
  uint64_t FolderSize(int32_t time) const;

  CADODatabase& database_;
  std::string appFolder_;
  HWND owner_;
  BackupObserver observer_;
};

}  // namespace tidewell
