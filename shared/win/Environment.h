#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "shared/text/EnvironmentText.h"

namespace tidewell {

inline constexpr size_t kAnyLength = static_cast<size_t>(-1);

// The process's value of the variable; nothing when it is unset, empty or
// longer than maxLength bytes (callers that once read into fixed buffers keep
// their limits, so an over-long value never yields a truncated path).
std::optional<std::string> EnvironmentVariable(const std::string& name, size_t maxLength = kAnyLength);

// Looks variables up in the process environment.
EnvironmentLookup ProcessEnvironment(size_t maxLength = kAnyLength);

}  // namespace tidewell
