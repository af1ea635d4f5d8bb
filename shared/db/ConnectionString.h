#pragma once
// The Jet-style connection string both programs use. The stored database path
// keeps the doubled backslash before the file name; only the connection string
// collapses it.

#include <optional>
#include <string>
#include <string_view>

namespace tidewell {

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
