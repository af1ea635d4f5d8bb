#include "skylark/DefinitionsMerge.h"

#include <optional>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"

namespace tidewell {

namespace {

// Each statement on a recordset of its own: the layer keeps an error only
// until the next failure, never clears it.
bool Run(CADODatabase& database, const std::string& statement) {
  CADORecordset recordset(database);
  recordset.Open(statement);
  return recordset.GetLastError() == 0;
}

bool MergeOne(CADODatabase& database, const DefinitionRecord& r) {
  // Only whether the row exists counts; its fields are never read.
  std::optional<bool> known = database.HasRows(FormatSql("select * from bhos where clsid='%s'", r.clsid));
  if (!known) return false;
  if (*known)
    return Run(database,
               FormatSql("update bhos set [Name]='%s',[Files]='%s',[Risk]='%s',[Comments]='%s',[Modified]=1 where "
                         "[Clsid]='%s'",
                         r.name, r.files, r.risk, r.comments, r.clsid));
  return Run(database,
             FormatSql("insert into bhos([Name],[Files],[Risk],[Comments],[Clsid],[Modified]) "
                       "values('%s','%s','%s','%s','%s',1)",
                       r.name, r.files, r.risk, r.comments, r.clsid));
}

}  // namespace

MergeResult MergeDefinitions(CADODatabase& database, const std::vector<DefinitionRecord>& records, int elementCount,
                             const MergeSinks& sinks) {
  if (!database.IsOpen() && !database.Open()) return MergeResult::Failed;
  // The batch begins immediate: a database another program holds fails here, before any row.
  CADOBatch batch(database);
  if (!batch.IsOpen()) return MergeResult::Failed;
  MergeResult result = MergeResult::Merged;
  for (const DefinitionRecord& record : records) {
    if (sinks.stopRequested && sinks.stopRequested()) {
      result = MergeResult::Cancelled;
      break;
    }
    if (sinks.progress && elementCount > 0) sinks.progress(49 + (50 * record.index) / elementCount);
    if (!MergeOne(database, record)) {
      result = MergeResult::Failed;
      break;
    }
  }
  if (result == MergeResult::Merged && batch.Commit()) return result;
  return result == MergeResult::Merged ? MergeResult::Failed : result;  // the batch rolls back what is left
}

}  // namespace tidewell
