#pragma once
// What a caller of a backup shows while reg.exe runs: the backup feature's
// public face for its wait box, so other features need not know its dialog.

#include <windows.h>

#include "shared/win/WindowReach.h"
#include "tidewell/backup/RegistryBackup.h"

namespace tidewell {

// An observer that shows the "Please wait ..." box, owned by `owner` and
// opened and closed on its thread, while an operation waits for reg.exe;
// from any thread.
BackupObserver WaitBoxObserver(const WindowReach& owner);
// For an owner whose window outlives the operation.
BackupObserver WaitBoxObserver(HWND owner);

}  // namespace tidewell
