#include "tidewell/app/DatabaseBesideProgram.h"

#include "shared/db/ConnectionString.h"
#include "shared/dbupgrade/DeliveredDefinitions.h"
#include "shared/win/AppPaths.h"
#include "shared/win/Profile.h"
#include "shared/win/Prompt.h"

namespace tidewell {

std::optional<std::string> OpenDatabaseBesideProgram(CADODatabase& database, const std::string& programPath,
                                                     HWND owner) {
  std::string databasePath = DatabasePathForProgram(programPath);
  std::string connection = BuildConnectionString(databasePath);
  if (!database.Open(connection)) {
    Prompt(owner, connection, "Tidewell", MB_OK | MB_ICONERROR);
    return std::nullopt;
  }
  BringDatabaseUpToDate(database, databasePath);
  WriteProfileValue("AppPath", databasePath);
  return connection;
}

}  // namespace tidewell
