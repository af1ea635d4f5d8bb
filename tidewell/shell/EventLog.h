#pragma once
// The user-visible log: one row of [Events] per action of note.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"

namespace tidewell {

// Seconds since 1970-01-01 UTC, as [Events].dtm holds them.
int32_t EventTimeNow();

// One row with the current time. Every part is quoted on the way into the
// statement, so a text with an apostrophe is stored like any other.
void LogEvent(CADODatabase& database, const std::string& text);
// The composite forms: the pieces joined without separators.
void LogEvent(CADODatabase& database, const std::string& first, const std::string& second,
              const std::string& third);
void LogEvent(CADODatabase& database, const std::string& prefix, int number, const std::string& suffix);
// For events that carry the time of the operation they report.
void LogEventAt(CADODatabase& database, int32_t time, const std::string& text);

// "07.09.2004 14:03:05": month, day, year, then the time, in local time.
std::string FormatEventTime(int64_t time);

struct EventRow {
  std::string time;  // as FormatEventTime gives it
  std::string text;
};
// All events, newest first; empty when the table cannot be read.
std::vector<EventRow> ReadEvents(CADODatabase& database);

}  // namespace tidewell
