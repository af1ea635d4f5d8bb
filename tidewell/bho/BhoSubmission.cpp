#include "tidewell/bho/BhoSubmission.h"

#include <cstdio>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/text/Text.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {

std::string EncodeAsBrowser(const std::string& address) {
  std::string encoded;
  encoded.reserve(address.size());
  for (char c : address) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '"' || c == '<' || c == '>') {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", u);
      encoded += escape;
    } else {
      encoded += c;
    }
  }
  return encoded;
}

std::string BhoRecordPath(const BhoRecordFields& fields) {
  // The server has always received the saved forms: apostrophes doubled.
  std::string name = QuoteSql(ReplaceAll(fields.name, "&", " "));
  std::string comments = QuoteSql(ReplaceAll(fields.comments, "&", " "));
  std::string path = "/cgi/bhoupdate.cgi?name=" + name + "&clsid=" + QuoteSql(fields.clsid) + "&file=" + fields.file +
                     "&risk=" + fields.risk + "&comment=" + comments;
  return EncodeAsBrowser(ReplaceAll(path, "#", "|"));
}

std::string BhoSubmittedEventText(const std::string& name) {
  return "Modifications made to \"" + name + "\" were submited to Tidewell web server";
}

SubmissionOutcome RecordBhoSubmission(CADODatabase& database, const BhoRecordFields& fields,
                                      const HttpResponse& response) {
  SubmissionOutcome outcome;
  if (!response.Succeeded()) return outcome;
  outcome.sent = true;
  if (!database.IsOpen()) database.Open();
  LogEvent(database, BhoSubmittedEventText(fields.name));
  CADORecordset mark(database);
  mark.Open(FormatSql("update BHOS set modified=2 where clsid='%s'", fields.clsid));
  // An update that failed (a locked or read-only database) or found no row
  // says nothing: only the row itself tells.
  CADORecordset check(database);
  int modified = 0;
  outcome.marked = check.Open(FormatSql("select modified from BHOS where clsid='%s'", fields.clsid)) &&
                   check.RecordCount() > 0 && (check.MoveFirst(), check.GetFieldInt("modified", modified)) &&
                   modified == 2;
  return outcome;
}

}  // namespace tidewell
