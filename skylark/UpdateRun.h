#pragma once
// One update run: ask the update server for the definitions newer than the
// update record's date, merge them, and say what the record becomes. The
// caller stores that record only when the run says Updated.

#include <functional>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/net/HttpGet.h"

namespace tidewell {

inline constexpr const char* kNoConnectionText = "Could not establish connection with update server";
inline constexpr const char* kMergeFailedText =
    "The definitions could not be written to the database. Nothing was changed.";
inline constexpr const char* kRunFailedText = "The update failed. Nothing was changed.";
inline constexpr const char* kTooLargeText = "The update server's answer was too large.";

// A first full download is large: the whole run gets more room than a page.
inline constexpr size_t kMaxUpdateAnswerLength = 64 * 1024 * 1024;
HttpLimits UpdateLimits();

struct UpdateOutcome {
  enum class Kind { Updated, NoConnection, TooLarge, MergeFailed, Cancelled, Failed };
  Kind kind = Kind::NoConnection;
  std::string resultText;  // the status line after an update
  std::string newRecord;   // the update record to store after an update
  int merged = 0;
  int skipped = 0;
};

struct UpdateSinks {
  std::function<bool()> stopRequested;
  // Called only when the position changes.
  std::function<void(int position)> progress;
  std::function<void(const std::string& text)> status;
};

UpdateOutcome RunUpdate(CADODatabase& database, const std::string& host, const std::string& updateRecord,
                        const UpdateSinks& sinks = {}, const HttpLimits& limits = UpdateLimits());

}  // namespace tidewell
