#pragma once
// Where the definitions file lives (beside the database) and reading it.

#include <optional>
#include <string>

namespace tidewell {

// The database path with its file name replaced by "extra.neo" and doubled
// backslashes collapsed: C:\Tools\\bhodb.mdb -> C:\TOOLS\extra.neo. A network
// path keeps its leading pair.
std::string DefinitionsPathFor(const std::string& databasePath);
// For the running program.
std::string GetDefinitionsPath();
// The message shown when the file is missing.
std::string MissingDefinitionsMessage();

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace tidewell
