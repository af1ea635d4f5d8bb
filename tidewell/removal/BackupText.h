#pragma once
// The names, sizes and file names of registry backups, as the backup list,
// the restore event and the backup folder spell them.

#include <cstdint>
#include <string>
#include <string_view>

namespace tidewell {

inline constexpr const char* kBackupRootFolder = "BKUP";

// "BKUP\reg1104537600": the folder of one backup, relative to the application folder.
std::string BackupFolderName(int32_t backupTime);

// The current time as a backup time, never one handed out before: it names
// the folder and keys the rows of one operation.
int32_t NewBackupTime();

// "512.00 bytes", "1.00 Kb", "3072.00 Mb": single precision, as the list always showed it.
std::string BackupSizeText(uint64_t bytes);

// "Registry Backup <time>" for the general backup (no comment), else "<comment> - <time>".
std::string BackupDisplayName(std::string_view comment, std::string_view timeText);

// The date part of a display name, for the "Restored " event: after the
// "Registry Backup " prefix, or after the name's first "-", trimmed.
std::string RestoreEventSuffix(std::string_view displayName);

// File base name of a key exported before a repair: every replacedPart in the
// subkey becomes "file<r>", every "\" an "x", and a name no file can carry
// is made safe as a value backup's is.
std::string RepairFileBaseName(std::string_view subkey, std::string_view replacedPart, int random);

// File name of a single-value backup: C:\WINDOWS\SYSTEM32\A.DLL -> CxWINDOWSxSYSTEM32xA.DLL.reg,
// the unnamed value -> .reg. Characters a file name cannot hold never reach the file system.
std::string ValueBackupFileName(std::string_view valueName, std::string_view keyPath, int random);

// "1 piece restored.", "3 pieces restored.": what a removal's restore put back.
std::string RestoredPiecesText(int restored);

// Every "\\" collapsed to "\" (stored paths never carry the doubled separator).
std::string CollapseDoubledBackslashes(std::string_view path);

}  // namespace tidewell
