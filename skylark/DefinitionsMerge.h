#pragma once
// Merges deciphered definitions into bhos, all or nothing: one transaction
// with the program's own statement texts, rolled back on the first failure
// or a stop request.

#include <functional>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "skylark/UpdateAnswer.h"

namespace tidewell {

enum class MergeResult { Merged, Failed, Cancelled };

struct MergeSinks {
  std::function<bool()> stopRequested;
  // Position 49 + 50 * record index / element count, before each record.
  std::function<void(int position)> progress;
};

MergeResult MergeDefinitions(CADODatabase& database, const std::vector<DefinitionRecord>& records, int elementCount,
                             const MergeSinks& sinks = {});

}  // namespace tidewell
