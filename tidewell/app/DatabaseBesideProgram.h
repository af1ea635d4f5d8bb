#pragma once
// Opening the database that sits beside the program, first thing at start-up.

#include <windows.h>

#include <optional>
#include <string>

#include "shared/db/AdoDatabase.h"

namespace tidewell {

// Builds the database path and connection string for the program at
// programPath and opens the connection, then brings the database up to date
// (schema, delivered definitions beside it). On success records the path as the
// profile's "AppPath" (for Skylark) and returns the connection string. On
// failure shows the connection string, writes nothing, and returns nothing:
// the caller ends the program with exit code 0.
std::optional<std::string> OpenDatabaseBesideProgram(CADODatabase& database, const std::string& programPath,
                                                     HWND owner);

}  // namespace tidewell
