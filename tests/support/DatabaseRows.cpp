#include "tests/support/DatabaseRows.h"

#include <algorithm>

#include "shared/db/AdoRecordset.h"

namespace tidewell::test {

std::vector<EventRecord> Events(CADODatabase& database) {
  std::vector<EventRecord> rows;
  CADORecordset recordset(database);
  if (!recordset.Open("select * from [Events]") || recordset.RecordCount() == 0) return rows;
  for (recordset.MoveFirst(); !recordset.IsEOF(); recordset.MoveNext()) {
    EventRecord row;
    int time = 0;
    recordset.GetFieldInt("dtm", time);
    row.time = time;
    recordset.GetField("event", row.text);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> EventTexts(CADODatabase& database) {
  std::vector<std::string> texts;
  for (const EventRecord& event : Events(database)) texts.push_back(event.text);
  return texts;
}

int CountEvents(CADODatabase& database, const std::string& text) {
  auto texts = EventTexts(database);
  return static_cast<int>(std::count(texts.begin(), texts.end(), text));
}

std::vector<RegbkRow> RegbkRows(CADODatabase& database) {
  std::vector<RegbkRow> rows;
  CADORecordset recordset(database);
  if (!recordset.Open("select * from regbk") || recordset.RecordCount() == 0) return rows;
  for (recordset.MoveFirst(); !recordset.IsEOF(); recordset.MoveNext()) {
    RegbkRow row;
    int time = 0;
    recordset.GetFieldInt("dattm", time);
    row.time = time;
    recordset.GetField("file", row.file);
    recordset.GetField("comment", row.comment);
    rows.push_back(row);
  }
  return rows;
}

int CountRows(CADODatabase& database, const std::string& statement) {
  CADORecordset rows(database);
  return rows.Open(statement) ? static_cast<int>(rows.RecordCount()) : 0;
}

}  // namespace tidewell::test
