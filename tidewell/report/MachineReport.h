#pragma once
// The shareable report of the machine: what loads into the browser, what
// starts at logon, what runs and where the hosts file sends names, as one
// plain UTF-8 text with the user's and computer's names hidden. No window:
// the command line and the window share it.

#include <string>

#include "shared/db/AdoDatabase.h"

namespace tidewell {

// The whole report; database is the open delivered database at databasePath.
std::string MakeMachineReport(CADODatabase& database, const std::string& databasePath);

// Makes the report and writes it to outputPath; false with the reason in
// `error` when the file cannot be written.
bool WriteMachineReport(CADODatabase& database, const std::string& databasePath, const std::string& outputPath,
                        std::string& error);

}  // namespace tidewell
