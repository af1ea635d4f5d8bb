#pragma once
// The Jet-style connection string both programs use, and the database path it
// ends in. The stored path keeps the doubled backslash before the file name;
// only the connection string collapses it.

#include <optional>
#include <string>
#include <string_view>

namespace tidewell {

inline constexpr const char* kDatabaseFileName = "bhodb.mdb";

// "C:\Tools\Tidewell.exe" -> "C:\Tools\\bhodb.mdb".
std::string DatabasePathForProgram(std::string_view programPath);

// "C:\Tools\\bhodb.mdb" -> "C:\Tools\" (the folder, with one trailing backslash).
std::string AppFolderOfDatabase(std::string_view databasePath);

// The fixed provider text followed by the path, each "\\" collapsed to "\".
std::string BuildConnectionString(std::string_view databasePath);

struct ConnectionSettings {
  std::string dataSource;
  std::string password;  // "Jet OLEDB:Database Password"; empty when none is given
};

// Reads "Data Source=" and "Jet OLEDB:Database Password=" (keys without regard
// to case, values plain or quoted with ' or "). Empty when there is no data source.
std::optional<ConnectionSettings> ParseConnectionString(std::string_view connection);

}  // namespace tidewell
