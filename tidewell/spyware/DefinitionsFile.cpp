#include "tidewell/spyware/DefinitionsFile.h"

#include <windows.h>

#include "shared/net/ServerHosts.h"
#include "shared/win/AppFolder.h"
#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"

namespace tidewell {

std::string DefinitionsPathFor(const std::string& databasePath) {
  std::string path = UpperCaseName(databasePath);
  if (path.empty()) path = databasePath;
  size_t name = path.rfind("BHODB.MDB");
  if (name != std::string::npos) path.replace(name, 9, "extra.neo");
  // A network path's leading pair is no doubling.
  size_t from = path.starts_with("\\\\") ? 2 : 0;
  for (size_t pair = path.find("\\\\", from); pair != std::string::npos; pair = path.find("\\\\", pair))
    path.erase(pair, 1);
  return path;
}

std::string GetDefinitionsPath() { return DefinitionsPathFor(GetDatabasePath()); }

std::string MissingDefinitionsMessage() {
  return "Spyware database not found! Contact the Tidewell team at http://" + ProductSiteHost() + "/";
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  UniqueHandle file(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

}  // namespace tidewell
