#pragma once
// The database's schema version, kept in the file's user_version. A file
// without one is version 0; opening brings an older file up step by step,
// all steps in one transaction, and never takes a newer one down.

#include <optional>

#include "shared/db/AdoDatabase.h"

namespace tidewell {

inline constexpr int kSchemaVersion = 1;

enum class SchemaUpgrade { Current, Upgraded, Newer, Failed };

// Nothing when it cannot be read.
std::optional<int> ReadSchemaVersion(CADODatabase& database);

// Brings the open database up to kSchemaVersion; Failed leaves it as it was.
SchemaUpgrade UpgradeSchema(CADODatabase& database);

}  // namespace tidewell
