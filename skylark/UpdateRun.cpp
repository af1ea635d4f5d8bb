#include "skylark/UpdateRun.h"

#include "shared/net/HttpResponse.h"
#include "skylark/DefinitionsMerge.h"
#include "skylark/UpdateAnswer.h"

namespace tidewell {

HttpLimits UpdateLimits() {
  HttpLimits limits;
  limits.maxResponseLength = kMaxUpdateAnswerLength;
  return limits;
}

UpdateOutcome RunUpdate(CADODatabase& database, const std::string& host, const std::string& updateRecord,
                        const UpdateSinks& sinks, const HttpLimits& limits) {
  // Each record reports its position, and thousands of records share one:
  // a post for each would fill the window's message queue.
  int shown = -1;
  auto progress = [&](int position) {
    if (position == shown) return;
    shown = position;
    if (sinks.progress) sinks.progress(position);
  };
  auto status = [&](const char* text) {
    if (sinks.status) sinks.status(text);
  };
  auto stopped = [&] { return sinks.stopRequested && sinks.stopRequested(); };

  UpdateOutcome outcome;
  progress(10);
  status("Connecting to server");
  progress(20);
  std::string record = UsableUpdateRecord(updateRecord);
  HttpResponse response = HttpFetch(host, DumpPath(record), limits, {sinks.stopRequested, {}});
  if (stopped()) {
    outcome.kind = UpdateOutcome::Kind::Cancelled;
    return outcome;
  }
  progress(40);
  status("Checking for updates");
  progress(50);

  // Only a whole 2xx answer with its date is believed; anything else changes nothing.
  UpdateAnswer answer;
  if (!response.Succeeded() || !ParseUpdateAnswer(response.body, answer)) {
    progress(100);
    outcome.kind = response.tooLarge ? UpdateOutcome::Kind::TooLarge : UpdateOutcome::Kind::NoConnection;
    return outcome;
  }

  if (!answer.records.empty()) status("Updating BHO definitions");
  MergeResult merged = MergeDefinitions(database, answer.records, answer.elementCount, {sinks.stopRequested, progress});
  progress(100);
  if (merged != MergeResult::Merged) {
    outcome.kind = merged == MergeResult::Cancelled ? UpdateOutcome::Kind::Cancelled : UpdateOutcome::Kind::MergeFailed;
    return outcome;
  }
  outcome.kind = UpdateOutcome::Kind::Updated;
  outcome.resultText = UpdateResultText(answer.elementCount, answer.skipped);
  outcome.newRecord = ReplaceUpdateRecordDate(record, answer.date);
  outcome.merged = static_cast<int>(answer.records.size());
  outcome.skipped = answer.skipped;
  return outcome;
}

}  // namespace tidewell
