#pragma once
// Tidewell.exe with arguments: work done without any window, tray icon or
// watcher, and a line for the console it was started from.

#include <optional>

namespace tidewell {

// The exit code when the program's arguments asked for work of their own
// (the report, the usage); nothing when the program starts as usual.
std::optional<int> RunCommandLine();

}  // namespace tidewell
