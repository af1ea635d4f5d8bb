#pragma once
// The update server's answer to a definitions dump, and the update record the
// run is asked for and stores. Nothing here touches the database or a window.

#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

// first field "|" date; the first field is carried along, never read.
inline constexpr const char* kDefaultUpdateRecord = "Skylark|0.0.0";
inline constexpr const char* kDumpPathFormat = "/cgi/submited_bho.cgi?action=dump&date=%s";
inline constexpr const char* kDefinitionsKey = "mxlodbne";

inline constexpr size_t kMaxDateLength = 32;
inline constexpr size_t kMaxRecordHexLength = 16 * 1024;

struct DefinitionRecord {
  int index = 0;  // position among the answer's elements
  std::string name;
  std::string files;
  std::string clsid;
  std::string risk;
  std::string comments;
};

struct UpdateAnswer {
  int elementCount = 0;  // pieces of the body between "<br>", the date included
  std::vector<DefinitionRecord> records;
  int skipped = 0;  // non-empty elements that were not a usable record
  std::string date;
};

// The stored record when it is usable; the default when it is missing, has no
// "|" or holds anything that cannot go into a request line. Blanks can: the
// request sends them as %20 (the date holds none).
std::string UsableUpdateRecord(std::string_view stored);
// The text after the first "|".
std::string UpdateRecordDate(std::string_view record);
// The record's first field and "|", then the date.
std::string ReplaceUpdateRecordDate(std::string_view record, std::string_view date);
std::string DumpPath(std::string_view record);

// Printable, without blanks, "|" or "#", 1 to kMaxDateLength characters.
bool IsWellFormedDate(std::string_view date);

// The body of a complete 2xx answer, read. False (and the answer untouched)
// when there is no "</form>", nothing after it, or no well-formed #date#.
bool ParseUpdateAnswer(std::string_view body, UpdateAnswer& answer);

// One element deciphered and checked; false when it is not a usable record.
bool DecodeDefinitionRecord(std::string_view element, DefinitionRecord& record);

// "Definitions are up-to-date" or "Updated with %d new definitions".
std::string UpdateResultText(int elementCount);
// "N records were skipped as unusable." (one record: "1 record was ..."); empty for none.
std::string SkippedRecordsText(int skipped);
// The result text, then ". " and the skipped records' sentence when any were skipped.
std::string UpdateResultText(int elementCount, int skipped);

}  // namespace tidewell
