#include "skylark/UpdateAnswer.h"

#include <cstdio>

#include "shared/crypto/BlowfishCipher.h"
#include "shared/text/Text.h"

namespace tidewell {

namespace {

constexpr size_t kMaxNameLength = 255, kMaxFilesLength = 255, kMaxRiskLength = 20, kMaxCommentsLength = 255;

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

bool HasControl(std::string_view text) {
  for (char c : text)
    if (IsControl(c)) return true;
  return false;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view TrimBlanks(std::string_view text) { return Trim(text, " \t\r\n"); }

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  for (size_t start = 0;;) {
    size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
}

// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
bool IsBracedGuid(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != '-' : !IsHexDigit(text[i])) return false;
  }
  return true;
}

const CBlowfishCipher& DefinitionsCipher() {
  static const CBlowfishCipher cipher(kDefinitionsKey);
  return cipher;
}

}  // namespace

std::string UsableUpdateRecord(std::string_view stored) {
  if (stored.find('|') == std::string_view::npos || stored.size() > 255) return kDefaultUpdateRecord;
  // The record goes into the request line with only its blanks encoded.
  for (char c : stored)
    if (IsControl(c) || c == '#') return kDefaultUpdateRecord;
  if (!IsWellFormedDate(UpdateRecordDate(stored))) return kDefaultUpdateRecord;
  return std::string(stored);
}

std::string UpdateRecordDate(std::string_view record) {
  size_t bar = record.find('|');
  return bar == std::string_view::npos ? std::string() : std::string(record.substr(bar + 1));
}

std::string ReplaceUpdateRecordDate(std::string_view record, std::string_view date) {
  std::string usable = UsableUpdateRecord(record);
  return usable.substr(0, usable.find('|') + 1) + std::string(date);
}

std::string DumpPath(std::string_view record) {
  std::string path = kDumpPathFormat;
  path.replace(path.find("%s"), 2, ReplaceAll(record, " ", "%20"));
  return path;
}

bool IsWellFormedDate(std::string_view date) {
  if (date.empty() || date.size() > kMaxDateLength) return false;
  for (char c : date) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '|' || c == '#') return false;
  }
  return true;
}

bool DecodeDefinitionRecord(std::string_view element, DefinitionRecord& record) {
  std::string_view hex = TrimBlanks(element);
  // Whole cipher blocks of digit pairs only: anything else would decipher into noise.
  if (hex.empty() || hex.size() % (2 * CBlowfishCipher::kBlockLength) != 0 || hex.size() > kMaxRecordHexLength)
    return false;
  for (char c : hex)
    if (!IsHexDigit(c)) return false;
  std::string plain;
  try {
    plain = DefinitionsCipher().DecryptFromHex(hex);
  } catch (const CBlowfishException&) {
    return false;
  }
  std::vector<std::string_view> fields = Split(plain, "|");
  if (fields.size() != 5) return false;
  if (!IsBracedGuid(fields[2])) return false;
  const size_t limits[] = {kMaxNameLength, kMaxFilesLength, 38, kMaxRiskLength, kMaxCommentsLength};
  for (size_t i = 0; i < 5; ++i)
    if (fields[i].size() > limits[i] || HasControl(fields[i])) return false;
  record.name = fields[0];
  record.files = fields[1];
  record.clsid = fields[2];
  record.risk = fields[3];
  record.comments = fields[4];
  return true;
}

bool ParseUpdateAnswer(std::string_view body, UpdateAnswer& answer) {
  size_t form = body.find("</form>");
  if (form == std::string_view::npos) return false;
  body.remove_prefix(form + 7);
  if (body.empty()) return false;

  std::vector<std::string_view> elements = Split(body, "<br>");
  std::string_view last = elements.back();
  size_t open = last.find('#');
  size_t close = open == std::string_view::npos ? open : last.find('#', open + 1);
  if (close == std::string_view::npos) return false;
  std::string_view date = last.substr(open + 1, close - open - 1);
  if (!IsWellFormedDate(date)) return false;

  UpdateAnswer read;
  read.elementCount = static_cast<int>(elements.size());
  read.date = date;
  for (size_t i = 0; i + 1 < elements.size(); ++i) {
    DefinitionRecord record;
    if (DecodeDefinitionRecord(elements[i], record)) {
      record.index = static_cast<int>(i);
      read.records.push_back(std::move(record));
    } else if (!TrimBlanks(elements[i]).empty()) {
      ++read.skipped;
    }
  }
  answer = std::move(read);
  return true;
}

std::string SkippedRecordsText(int skipped) {
  if (skipped <= 0) return {};
  if (skipped == 1) return "1 record was skipped as unusable.";
  return std::to_string(skipped) + " records were skipped as unusable.";
}

std::string UpdateResultText(int elementCount, int skipped) {
  std::string text = UpdateResultText(elementCount);
  return skipped > 0 ? text + ". " + SkippedRecordsText(skipped) : text;
}

std::string UpdateResultText(int elementCount) {
  int count = elementCount - 2;
  // Fewer than two elements carry no record at all.
  if (count == 1 || count < 0) return "Definitions are up-to-date";
  char text[64];
  std::snprintf(text, sizeof text, "Updated with %d new definition%c", count, 's');
  return text;
}

}  // namespace tidewell
