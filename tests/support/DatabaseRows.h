#pragma once
// The rows tests read back from the application's database: the event log
// and the registry backups, each read once here for every suite.

#include <cstdint>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"

namespace tidewell::test {

struct EventRecord {
  int32_t time = 0;
  std::string text;
};
// In the order they were written.
std::vector<EventRecord> Events(CADODatabase& database);
std::vector<std::string> EventTexts(CADODatabase& database);
int CountEvents(CADODatabase& database, const std::string& text);
inline bool HasEvent(CADODatabase& database, const std::string& text) { return CountEvents(database, text) > 0; }

struct RegbkRow {
  int32_t time = 0;
  std::string file;
  std::string comment;
};
std::vector<RegbkRow> RegbkRows(CADODatabase& database);

// Rows the statement returns; 0 when it fails.
int CountRows(CADODatabase& database, const std::string& statement);

}  // namespace tidewell::test
