#include "shared/win/AppPaths.h"

namespace tidewell {

std::string DatabasePathForProgram(std::string_view programPath) {
  // Only the last path element is the file name; cutting every occurrence of
  // its text would also cut a folder that happens to carry the same name.
  size_t slash = programPath.find_last_of("\\/");
  std::string folder(slash == std::string_view::npos ? std::string_view{} : programPath.substr(0, slash + 1));
  return folder + "\\" + kDatabaseFileName;
}

std::string AppFolderOfDatabase(std::string_view databasePath) {
  size_t at = databasePath.rfind(kDatabaseFileName);
  std::string_view folder = at == std::string_view::npos ? databasePath : databasePath.substr(0, at);
  while (folder.size() >= 2 && folder.ends_with("\\\\")) folder.remove_suffix(1);
  return std::string(folder);
}

}  // namespace tidewell
