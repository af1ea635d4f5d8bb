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
  RegistryView view = RegistryView::Native;  // the view keyPath is read in
};

// Writes <application folder>\BKUP\reg<time>\<file name> and its regbk row;
// returns the file's path. A value that is missing or of another type than
// string or double word leaves a file without a value line. Nothing is shown.
std::string WriteValueBackup(CADODatabase& database, const std::string& appFolder, const ValueBackupRequest& request);

}  // namespace tidewell
