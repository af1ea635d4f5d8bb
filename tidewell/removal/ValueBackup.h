#pragma once
// Backs up one registry value, about to be deleted, into a .reg file of its
// own and files it in regbk like a key export, so it is listed and restored
// with the other backups.

#include <windows.h>

#include <cstdint>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"

namespace tidewell {

struct ValueBackupRequest {
  HKEY root = nullptr;
  std::string rootText;  // "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER", as written into the file
  std::string keyPath;   // below the root, with its trailing "\"
  std::string valueName; // empty for the unnamed value
  int32_t backupTime = 0;
  std::string comment;
  RegistryView view = RegistryView::Native;
};

struct ValueBackupResult {
  std::string file;     // the path filed in regbk; empty when no file could be created
  bool holdsValue = false;  // the file was read back whole, holds the value, and its row is filed
};

// Writes <application folder>\BKUP\reg<time>\<file name> and its regbk row.
// Every value type is written in the form reg.exe imports; strings that need
// the hex form (expandable, multi-string, text with line breaks) and any text
// beyond ASCII make the file UTF-16, the one encoding in which every reg.exe
// reads such data alike. A
// name already used in the folder gets " (2)", " (3)" ... so no earlier
// backup is overwritten. Only a value that holds is safe to delete.
ValueBackupResult WriteValueBackup(CADODatabase& database, const std::string& appFolder,
                                   const ValueBackupRequest& request);
// The same file written into `folder` (made when missing) without a regbk
// row, for an action that files one row for all it kept; holdsValue when it
// reads back whole and holds the value.
ValueBackupResult WriteValueBackupFile(const std::string& folder, const ValueBackupRequest& request);

}  // namespace tidewell
