#pragma once
// Sends an edited BHO record to the update server ("Submit to Tidewell
// server") and, once the server has taken it, marks the row submitted.

#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/net/HttpResponse.h"

namespace tidewell {

inline constexpr const char* kBhoRecordPathFormat = "/cgi/bhoupdate.cgi?name=%s&clsid=%s&file=%s&risk=%s&comment=%s";

// The record as "Save changes" stored it: the name without "(submited)", a
// blank for empty comments.
struct BhoRecordFields {
  std::string name;
  std::string clsid;
  std::string file;
  std::string risk;
  std::string comments;
};

// The request path: "&" made a blank in name and comments; apostrophes of
// name, class ID and comments doubled; every "#" made "|"; then blanks,
// control and high bytes and " < > percent-encoded, as a browser sends them.
std::string BhoRecordPath(const BhoRecordFields& fields);

// Percent-encodes what a browser would not send as it stands.
std::string EncodeAsBrowser(const std::string& address);

// "Modifications made to "name" were submited to Tidewell web server"
std::string BhoSubmittedEventText(const std::string& name);

struct SubmissionOutcome {
  bool sent = false;    // the server took it (a whole 2xx answer)
  bool marked = false;  // and the row reads back as submitted (modified=2)
};

// After a whole 2xx answer: logs the event and sets modified=2, then reads
// the row back. Nothing is written for any other answer.
SubmissionOutcome RecordBhoSubmission(CADODatabase& database, const BhoRecordFields& fields,
                                      const HttpResponse& response);

}  // namespace tidewell
