#pragma once
// How Tidewell starts Skylark: the program file beside Tidewell's own, shown
// normally and not waited for.

#include <windows.h>

#include <string>

namespace tidewell {

inline constexpr const char* kSkylarkFileName = "Skylark.exe";

// Starts Skylark.exe from the folder of programPath (Tidewell's own file).
// When it cannot be started the user is told why, with owner as the message
// box's owner; true when it started.
bool StartSkylarkBeside(HWND owner, const std::string& programPath);

}  // namespace tidewell
