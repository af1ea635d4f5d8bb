#pragma once
// The per-user profile, section "Tidewell": the database path ("AppPath") that
// Skylark reads, the update record, and the server hosts.

#include <string>

namespace tidewell {

inline constexpr const char* kProfileSection = "Tidewell";
// Skylark's update record: a first field, "|", the date of the last update.
inline constexpr const char* kUpdateRecordKey = "UpdateRecord";

std::string ReadProfileValue(const std::string& key, const std::string& defaultValue = {});
bool WriteProfileValue(const std::string& key, const std::string& value);

}  // namespace tidewell
