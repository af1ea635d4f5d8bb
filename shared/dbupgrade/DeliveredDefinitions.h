#pragma once
// Definitions an installer delivers beside a database it keeps: the known
// BHOs and startup programs the kept file lacks are added to it, and every
// row it has stays as the user or an update left it.

#include <string>

#include "shared/db/AdoDatabase.h"

namespace tidewell {

inline constexpr const char* kDeliveredDatabaseFileName = "bhodb-delivered.mdb";

enum class DeliveredMerge { Absent, Merged, Failed };

struct DeliveredOutcome {
  DeliveredMerge result = DeliveredMerge::Absent;
  std::string problem;  // why it failed, for the error log
};

// Adds the delivered file's missing rows to the open database in one
// transaction and deletes the file once that has committed. A file that
// cannot be read, or a merge that fails, leaves both files as they were.
DeliveredOutcome MergeDeliveredDefinitions(CADODatabase& database, const std::string& deliveredPath);

// What opening the database beside a program does first: the schema upgrade,
// then the delivered definitions lying beside it; problems go to the error log.
void BringDatabaseUpToDate(CADODatabase& database, const std::string& databasePath);

}  // namespace tidewell
