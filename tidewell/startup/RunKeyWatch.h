#pragma once
// Watches the Run keys the startup manager lists (the current user's, and
// the machine's in every registry view) for values added by others: the
// additions of a few seconds make one popup text. Removals and values
// Tidewell itself put back are not told.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "shared/win/Workers.h"
#include "tidewell/startup/StartupManager.h"

namespace tidewell {

// How long after the first change further additions join the same popup.
inline constexpr DWORD kRunWatchBatchMs = 2000;

// The entries of `now` that `before` lacks (same root, view and value name,
// the name compared without case), in `now`'s order.
std::vector<StartupEntry> AddedStartupEntries(const std::vector<StartupEntry>& before,
                                              const std::vector<StartupEntry>& now);

// Whether Tidewell's own restore wrote the entry's value lately.
bool RestoredByTidewell(const StartupEntry& entry);

// The thread's whole work until `stop`: each batch of additions is handed
// to `announce` as its popup text, on this thread. `ready`, when given, is
// called once the keys are watched. False when no Run key could be watched.
bool WatchRunKeys(const std::function<void(const std::string& text)>& announce, const StopToken& stop,
                  DWORD batchMs = kRunWatchBatchMs, const std::function<void()>& ready = {});

}  // namespace tidewell
