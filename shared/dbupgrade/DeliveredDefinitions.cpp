#include "shared/dbupgrade/DeliveredDefinitions.h"

#include <vector>

#include "shared/db/AdoRecordset.h"
#include "shared/db/ConnectionString.h"
#include "shared/dbupgrade/SchemaVersion.h"
#include "shared/win/AppPaths.h"
#include "shared/win/ErrorLog.h"
#include "shared/win/FileSystem.h"

namespace tidewell {

namespace {

// A row is known by its key, as the updater and the startup manager look rows up.
struct DeliveredTable {
  const char* name;
  std::vector<const char*> columns;  // the key first
};

const std::vector<DeliveredTable>& DeliveredTables() {
  static const std::vector<DeliveredTable> tables = {
      {.name = "BHOS", .columns = {"clsid", "name", "risk", "files", "comments", "modified"}},
      {.name = "processes", .columns = {"pname", "paltname", "description"}},
  };
  return tables;
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ",") + part;
  return text;
}

// Each row as an insert of what the kept file lacks. The values come as
// SQLite's own literals (quote()), so a missing value stays NULL and a
// number stays a number, exactly as the delivered file holds them.
bool ReadInserts(CADODatabase& delivered, const DeliveredTable& table, std::vector<std::string>& inserts,
                 std::string& problem) {
  std::vector<std::string> quoted, names;
  for (const char* column : table.columns) {
    quoted.push_back(std::string("quote(") + column + ") as " + column);
    names.push_back(column);
  }
  CADORecordset rows(delivered);
  if (!rows.Open("select " + Joined(quoted) + " from " + table.name)) {
    problem = rows.GetLastErrorDescription();
    return false;
  }
  for (; !rows.IsEOF(); rows.MoveNext()) {
    std::vector<std::string> values;
    for (const char* column : table.columns) rows.GetField(column, values.emplace_back());
    if (values[0] == "NULL") continue;  // a row without its key cannot be told apart
    inserts.push_back("insert into " + std::string(table.name) + "(" + Joined(names) + ") select " + Joined(values) +
                      " where not exists (select * from " + table.name + " where " + table.columns[0] + "=" +
                      values[0] + ")");
  }
  return true;
}

bool ReadDelivered(const std::string& deliveredPath, std::vector<std::string>& inserts, std::string& problem) {
  CADODatabase delivered;
  if (!delivered.Open(BuildConnectionString(deliveredPath))) {
    problem = delivered.GetLastErrorDescription();
    return false;
  }
  for (const DeliveredTable& table : DeliveredTables())
    if (!ReadInserts(delivered, table, inserts, problem)) return false;
  return true;
}

}  // namespace

DeliveredOutcome MergeDeliveredDefinitions(CADODatabase& database, const std::string& deliveredPath) {
  DWORD attributes = PathAttributes(deliveredPath);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  DeliveredOutcome outcome{.result = DeliveredMerge::Failed, .problem = {}};
  std::vector<std::string> inserts;
  if (!ReadDelivered(deliveredPath, inserts, outcome.problem)) return outcome;
  {
    CADOBatch batch(database);
    if (!batch.IsOpen()) {
      outcome.problem = database.GetLastErrorDescription();
      return outcome;
    }
    for (const std::string& insert : inserts) {
      CADORecordset statement(database);
      statement.Open(insert);
      if (statement.GetLastError() != 0) {
        outcome.problem = statement.GetLastErrorDescription();
        return outcome;  // the batch rolls back
      }
    }
    if (!batch.Commit()) {
      outcome.problem = database.GetLastErrorDescription();
      return outcome;
    }
  }
  outcome.result = DeliveredMerge::Merged;
  // Merged again at the next start if it stays; adding what is missing twice adds nothing.
  if (!FolderScope(ParentFolder(deliveredPath)).DeleteFile(deliveredPath))
    outcome.problem = "could not delete it after the merge";
  return outcome;
}

void BringDatabaseUpToDate(CADODatabase& database, const std::string& databasePath) {
  const std::string lead = "Database " + databasePath + ": ";
  SchemaUpgrade schema = UpgradeSchema(database);
  if (schema == SchemaUpgrade::Newer)
    AppendErrorLog(lead + "its schema is newer than this program knows (" + std::to_string(kSchemaVersion) +
                   "); opened as it is\r\n");
  if (schema == SchemaUpgrade::Failed) {
    AppendErrorLog(lead + "the schema upgrade failed: " + database.GetLastErrorDescription() + "\r\n");
    return;
  }
  std::string deliveredPath = AppFolderOfDatabase(databasePath) + kDeliveredDatabaseFileName;
  DeliveredOutcome delivered = MergeDeliveredDefinitions(database, deliveredPath);
  if (!delivered.problem.empty())
    AppendErrorLog("Delivered definitions " + deliveredPath + ": " + delivered.problem + "\r\n");
}

}  // namespace tidewell
