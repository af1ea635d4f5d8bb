#pragma once
// Registry backups: keys exported by reg.exe into BKUP\reg<time> of the
// application folder, catalogued in table regbk, listed, restored by
// reg.exe import and deleted. The engine shows no window; it asks through
// Prompt and tells its observer when it waits for reg.exe and the list changed.
// The questions and answers run on the UI thread, the exports and imports
// between them may run on a worker.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"
#include "shared/win/Workers.h"
#include "tidewell/backup/KeyExport.h"
#include "tidewell/removal/BackupText.h"
#include "tidewell/removal/RegTool.h"

namespace tidewell {

// One backup as the user sees it: a distinct (time, comment) pair of regbk.
struct BackupEntry {
  int32_t time = 0;
  std::string comment;
  std::string name;      // "Registry Backup <time>" or "<comment> - <time>"
  std::string sizeText;  // all files of the backup's folder
};

// Called on the thread that runs the operation.
struct BackupObserver {
  std::function<void()> waitStarted;   // reg.exe is about to run; show that the program waits
  std::function<void()> waitFinished;  // the operation's last reg.exe run is over
  std::function<void()> listChanged;   // regbk changed; refresh a shown backup list
};

// A category backup's display name ("<comment> - <time>") and the keys that
// could not be exported.
struct CategoryBackupResult {
  std::string name;
  std::vector<std::string> failed;
};

// What a restore could not put back: the files it could not read whole or
// import, and the keys and values the registry does not hold as their file says.
struct RestoreResult {
  std::vector<std::string> notRestored;
  int pieces = 0;          // pieces of removals among them
  int piecesRestored = 0;  // of those, the ones back in place
};

class CRegistryBackup {
 public:
  // appFolder: the application folder with its trailing backslash.
  // owner: the window that owns the prompts.
  CRegistryBackup(CADODatabase& database, std::string appFolder, HWND owner = nullptr,
                  BackupObserver observer = {});

  // Tests put a slow program or a short bound in reg.exe's place.
  void SetRegTool(RegTool tool) { regTool_ = std::move(tool); }

  CADODatabase& Database() { return database_; }
  const std::string& AppFolder() const { return appFolder_; }
  // Full path of BKUP\reg<time>, created with its parent when create is set.
  std::string BackupFolder(int32_t time, bool create = false) const;

  // Exports keyPath ("HKCR\CLSID") with reg.exe into <backup folder>\<fileBase>.reg,
  // waits for it (bounded) and files the row. True only when reg.exe succeeded
  // and the file it wrote is not empty: only then may the key be deleted.
  bool ExportRegistryKey(const std::string& keyPath, const std::string& fileBase, int32_t time,
                         const std::string& comment, const StopToken& stop = {});

  // "Registry backup": the question, the seven keys (and their 32-bit twins)
  // under one time, and the answer. False when the user declined. A key the
  // machine does not have is no failure: there is nothing to back up.
  bool RunGeneralBackup();
  std::vector<std::string> WriteGeneralBackup(const StopToken& stop = {});  // the keys that failed
  void ReportGeneralBackup(const std::vector<std::string>& failed);
  // A "Backup" button of the registry cleaner, likewise in three steps; the
  // caller says what its category exports. False when the user declined.
  bool BackupCategory(const CategoryBackupRequest& request);
  bool ConfirmBackup();
  CategoryBackupResult WriteCategoryBackup(const CategoryBackupRequest& request, const StopToken& stop = {});
  void ReportCategoryBackup(const CategoryBackupResult& result);
  // A problem key, exported before the registry cleaner deletes it, into a
  // file of its own (never one an earlier export of the run wrote). True as
  // for ExportRegistryKey.
  bool ExportKeyForRepair(HKEY root, const std::string& rootName, const std::string& replacedPart,
                          const std::string& subkey, int32_t time, const std::string& comment,
                          RegistryView view = RegistryView::Native);

  // Newest first.
  std::vector<BackupEntry> ListBackups();

  // Imports every file of the backup and checks what it put back, between the
  // question and the answer; name and time are those of the selected row (an
  // empty name: nothing selected). False when nothing was selected or the user declined.
  bool RestoreBackup(const std::string& name, int32_t time);
  bool ConfirmRestore(const std::string& name);
  RestoreResult ImportBackup(const std::string& name, int32_t time, const StopToken& stop = {});
  void ReportRestore(const RestoreResult& result);
  // Deletes the backup's files and rows, after the question.
  bool DeleteBackup(const std::string& name, int32_t time);

  // Imports one file with reg.exe (bounded) and reads back what it holds; what
  // was not restored. A file that cannot be read whole is not imported at all,
  // and is itself what was not restored, as is one whose import did not end.
  std::vector<std::string> ImportRegFile(const std::string& path, const StopToken& stop = {});

 private:
  void Notify(const std::function<void()>& hook) {
    if (hook) hook();
  }
  // One wait for the observer, however many reg.exe runs an operation makes.
  void BeginWait();
  void EndWait();
  // Exports each key the machine has, then the 32-bit view's twin of each
  // that has one; the keys that failed.
  std::vector<std::string> ExportInEveryView(std::span<const KeyExport> keys, int32_t time, const std::string& comment,
                                             const StopToken& stop);
  void ReportFailedExports(const std::vector<std::string>& failed);
  std::vector<std::string> FilesOf(int32_t time);
  uint64_t FolderSize(int32_t time) const;

  CADODatabase& database_;
  std::string appFolder_;
  HWND owner_;
  BackupObserver observer_;
  RegTool regTool_ = MachineRegTool();
  int waits_ = 0;
};

}  // namespace tidewell
