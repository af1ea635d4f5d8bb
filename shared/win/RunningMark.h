#pragma once
// What an installer sees of a running program: a named mutex held from start
// to exit, and a registered message its top-level windows answer by ending.

#include <windows.h>

namespace tidewell {

inline constexpr const char* kTidewellRunningName = "Local\\Tidewell.Running";
inline constexpr const char* kSkylarkRunningName = "Local\\Skylark.Running";

// "Tidewell.Quit": both programs end on it as their own Quit or Cancel does.
UINT QuitRequestMessage();

// Creates the named mutex and leaves it open for Windows to close when the
// process has ended, after the last of its code. Returns whether another
// process had created it before (the program already runs in this session).
bool HoldRunningMark(const char* name);

}  // namespace tidewell
