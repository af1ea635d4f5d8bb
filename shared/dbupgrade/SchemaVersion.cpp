#include "shared/dbupgrade/SchemaVersion.h"

#include <string>
#include <vector>

#include "shared/db/AdoRecordset.h"

namespace tidewell {

namespace {

// What takes a file from version - 1 to version. Version 1 is the schema as
// it was before versions were recorded: only the number is new.
struct SchemaStep {
  int version;
  std::vector<const char*> statements;
};

const std::vector<SchemaStep>& Steps() {
  static const std::vector<SchemaStep> steps = {
      {.version = 1, .statements = {}},
  };
  return steps;
}

bool Run(CADODatabase& database, const std::string& statement) {
  CADORecordset recordset(database);
  recordset.Open(statement);
  return recordset.GetLastError() == 0;
}

}  // namespace

std::optional<int> ReadSchemaVersion(CADODatabase& database) {
  CADORecordset recordset(database);
  int version = 0;
  if (!recordset.Open("pragma user_version") || recordset.IsEOF() || !recordset.GetFieldInt("user_version", version))
    return std::nullopt;
  return version;
}

SchemaUpgrade UpgradeSchema(CADODatabase& database) {
  std::optional<int> version = ReadSchemaVersion(database);
  if (!version) return SchemaUpgrade::Failed;
  if (*version == kSchemaVersion) return SchemaUpgrade::Current;
  if (*version > kSchemaVersion) return SchemaUpgrade::Newer;
  CADOBatch batch(database);
  if (!batch.IsOpen()) return SchemaUpgrade::Failed;
  // Read again under the write lock: the other program may have upgraded meanwhile.
  version = ReadSchemaVersion(database);
  if (!version) return SchemaUpgrade::Failed;
  if (*version >= kSchemaVersion) return *version == kSchemaVersion ? SchemaUpgrade::Current : SchemaUpgrade::Newer;
  for (const SchemaStep& step : Steps()) {
    if (step.version <= *version) continue;
    for (const char* statement : step.statements)
      if (!Run(database, statement)) return SchemaUpgrade::Failed;
  }
  if (!Run(database, "pragma user_version = " + std::to_string(kSchemaVersion))) return SchemaUpgrade::Failed;
  return batch.Commit() ? SchemaUpgrade::Upgraded : SchemaUpgrade::Failed;
}

}  // namespace tidewell
