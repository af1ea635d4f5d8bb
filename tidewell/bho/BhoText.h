#pragma once
// The text rules of the BHO manager that need no Windows: path expansion,
// risk words, the submitted-name suffix and file times.

#include <cstdint>
#include <optional>
#include <string>

#include "shared/text/EnvironmentText.h"

namespace tidewell {

// Tree image indices of the risk words and of a linked process.
inline constexpr int kImageNoRisk = 0;
inline constexpr int kImageHighRisk = 1;
inline constexpr int kImageMediumRisk = 2;
inline constexpr int kImageUnknownRisk = 3;
inline constexpr int kImageLinkedProcess = 4;

// "none", "high", "medium" exactly (case matters); anything else is unknown.
int RiskImageForWord(const std::string& risk);

// Expands the first %NAME% pair of a registered file path: the variable's
// value replaces everything up to the second "%". A value without "%" is
// returned unchanged, and so is one whose variable is unset or unclosed:
// dropping the prefix then would leave a root-relative path that names a
// different file.
std::string ExpandFirstVariable(const std::string& value, const EnvironmentLookup& lookup);

// Removes every "(submited)" and a blank directly before it.
std::string RemoveSubmittedSuffix(const std::string& name);

// Seconds since 1970 from a Windows file time (100 ns units since 1601).
int64_t FileTimeToUnixSeconds(uint64_t fileTime);

// Whether a BHO key written `age` (in 100 ns units) before the check is the
// change the watcher just woke for: within the last three seconds. A clock
// a little behind (negative age up to a second) still counts.
bool IsJustWritten(int64_t age100ns);

}  // namespace tidewell
