#pragma once
// The programs' error log, "tidewellerror.log" in the application folder: a
// start at logon runs in System32, where the current folder is not writable.

#include <string>

namespace tidewell {

inline constexpr const char* kErrorLogFileName = "tidewellerror.log";

// Appends the text as it is (no line end is added); failures are silent.
void AppendErrorLog(const std::string& text);

}  // namespace tidewell
