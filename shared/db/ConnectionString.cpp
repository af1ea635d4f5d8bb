#include "shared/db/ConnectionString.h"
#include "shared/text/Text.h"

#include <algorithm>
#include <cctype>

namespace tidewell {

namespace {

constexpr std::string_view kProviderText =
    "PROVIDER=Microsoft.Jet.OLEDB.4.0;Mode=Share Deny None;Extended Properties=';COUNTRY=0;CP=1252;"
    "LANGID=0x0409';Jet OLEDB:System database='';Jet OLEDB:Registry Path='';Jet OLEDB:Database "
    "Password='418305';Data Source=";

}  // namespace

std::string BuildConnectionString(std::string_view databasePath) {
  std::string text(kProviderText);
  size_t pathStart = text.size();
  text += databasePath;
  // A UNC path keeps its leading "\\server"; every other pair collapses.
  size_t from = text.compare(pathStart, 2, "\\\\") == 0 ? pathStart + 2 : 0;
  std::string collapsed = text.substr(0, from);
  for (size_t i = from; i < text.size(); ++i) {
    collapsed += text[i];
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') ++i;
  }
  return collapsed;
}

std::optional<ConnectionSettings> ParseConnectionString(std::string_view connection) {
  ConnectionSettings settings;
  bool haveSource = false;
  size_t pos = 0;
  while (pos < connection.size()) {
    size_t equals = connection.find('=', pos);
    if (equals == std::string_view::npos) break;
    std::string_view key = Trim(connection.substr(pos, equals - pos));
    size_t valueStart = equals + 1;
    while (valueStart < connection.size() && connection[valueStart] == ' ') ++valueStart;
    std::string value;
    size_t next;
    if (valueStart < connection.size() && (connection[valueStart] == '\'' || connection[valueStart] == '"')) {
      char quote = connection[valueStart];
      size_t close = connection.find(quote, valueStart + 1);
      if (close == std::string_view::npos) close = connection.size();
      value.assign(connection.substr(valueStart + 1, close - valueStart - 1));
      next = connection.find(';', close);
    } else {
      next = connection.find(';', valueStart);
      value.assign(Trim(connection.substr(valueStart, next == std::string_view::npos ? std::string_view::npos
                                                                                    : next - valueStart)));
    }
    if (EqualsNoCase(key, "Data Source")) {
      settings.dataSource = value;
      haveSource = !value.empty();
    } else if (EqualsNoCase(key, "Jet OLEDB:Database Password")) {
      settings.password = value;
    }
    if (next == std::string_view::npos) break;
    pos = next + 1;
  }
  if (!haveSource) return std::nullopt;
  return settings;
}

}  // namespace tidewell
