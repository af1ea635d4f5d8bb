#include "tidewell/shell/EventLog.h"

#include <cstdio>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"

namespace tidewell {

namespace {

void Run(CADODatabase& database, const std::string& statement) {
  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  recordset.Open(statement);  // false for every insert; the statement has run
}

}  // namespace

int32_t EventTimeNow() { return static_cast<int32_t>(std::time(nullptr)); }

void LogEvent(CADODatabase& database, const std::string& text) { LogEventAt(database, EventTimeNow(), text); }

void LogEvent(CADODatabase& database, const std::string& first, const std::string& second,
              const std::string& third) {
  Run(database, FormatSql("insert into [Events](dtm,event) values(%d,'%s%s%s')", EventTimeNow(), first, second, third));
}

void LogEvent(CADODatabase& database, const std::string& prefix, int number, const std::string& suffix) {
  Run(database, FormatSql("insert into [Events](dtm,event) values(%d,'%s%d%s')", EventTimeNow(), prefix, number, suffix));
}

void LogEventAt(CADODatabase& database, int32_t time, const std::string& text) {
  Run(database, FormatSql("insert into [Events](dtm,event) values(%d,'%s')", time, text));
}

std::string FormatEventTime(int64_t time) {
  std::time_t value = time;
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &value) != 0) return {};
#else
  if (!localtime_r(&value, &local)) return {};
#endif
  char text[64];
  std::snprintf(text, sizeof text, "%.2d.%.2d.%d %.2d:%.2d:%.2d", local.tm_mon + 1, local.tm_mday,
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::vector<EventRow> ReadEvents(CADODatabase& database) {
  std::vector<EventRow> rows;
  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  if (!recordset.Open("select * from [Events] order by dtm desc")) return rows;
  if (recordset.RecordCount() == 0) return rows;
  recordset.MoveFirst();
  while (!recordset.IsEOF()) {
    int time = 0;
    std::string text;
    recordset.GetFieldInt("dtm", time);
    recordset.GetField("event", text);
    rows.push_back(EventRow{FormatEventTime(time), text});
    recordset.MoveNext();
  }
  return rows;
}

}  // namespace tidewell
