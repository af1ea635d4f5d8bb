#pragma once
// The shareable report of the machine: what loads into the browser, what
// starts at logon, what runs and where the hosts file sends names, as one
// plain UTF-8 text with the user's and computer's names hidden. No window:
// the command line and the window share it.

#include <optional>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Workers.h"

namespace tidewell {

// The whole report; database is the open delivered database at databasePath.
// Nothing when `stop` was set before it was done.
std::optional<std::string> MakeMachineReport(CADODatabase& database, const std::string& databasePath,
                                             const StopToken& stop = {});

// Makes the report and writes it to outputPath; false with the reason in
// `error` when the file cannot be written (or the report was stopped).
bool WriteMachineReport(CADODatabase& database, const std::string& databasePath, const std::string& outputPath,
                        std::string& error, const StopToken& stop = {});

}  // namespace tidewell
