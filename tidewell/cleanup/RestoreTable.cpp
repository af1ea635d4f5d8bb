#include "tidewell/cleanup/RestoreTable.h"

#include <algorithm>

namespace tidewell {

namespace {

// The first line of UTF-16LE text as code units, after a byte-order mark;
// `start` is the line's byte offset. Empty when no line feed ends it.
std::optional<std::u16string> FirstLine(const std::string& bytes, size_t& start) {
  start = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                  static_cast<unsigned char>(bytes[1]) == 0xFE
              ? 2
              : 0;
  std::u16string line;
  for (size_t at = start; at + 1 < bytes.size(); at += 2) {
    char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                          (static_cast<unsigned char>(bytes[at + 1]) << 8));
    if (unit == u'\n') return line;
    line += unit;
  }
  return std::nullopt;
}

struct LastNumber {
  size_t offset = 0;  // in code units, within the line
  size_t length = 0;
  int64_t value = 0;
};

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\r'; }

// The last blank-separated field of the line, when it is a plain number.
std::optional<LastNumber> FindLastNumber(const std::u16string& line) {
  size_t end = line.size();
  while (end > 0 && IsBlank(line[end - 1])) --end;
  size_t begin = end;
  while (begin > 0 && !IsBlank(line[begin - 1])) --begin;
  if (begin == end || end - begin > 15) return std::nullopt;
  LastNumber number{begin, end - begin, 0};
  for (size_t at = begin; at < end; ++at) {
    if (line[at] < u'0' || line[at] > u'9') return std::nullopt;
    number.value = number.value * 10 + (line[at] - u'0');
  }
  return number;
}

}  // namespace

std::optional<int64_t> ParseRestoreLimit(const std::string& fileBytes) {
  size_t start = 0;
  auto line = FirstLine(fileBytes, start);
  if (!line) return std::nullopt;
  auto number = FindLastNumber(*line);
  if (!number) return std::nullopt;
  return number->value;
}

std::optional<std::string> RewriteRestoreLimit(const std::string& fileBytes, int64_t megabytes) {
  size_t start = 0;
  auto line = FirstLine(fileBytes, start);
  if (!line) return std::nullopt;
  auto number = FindLastNumber(*line);
  if (!number) return std::nullopt;
  // The number must stand once as a field of its own, or the change is ambiguous.
  std::u16string field = line->substr(number->offset, number->length);
  size_t fields = 0;
  for (size_t at = line->find(field); at != std::u16string::npos; at = line->find(field, at + 1)) {
    bool startsField = at == 0 || IsBlank((*line)[at - 1]);
    bool endsField = at + field.size() == line->size() || IsBlank((*line)[at + field.size()]);
    if (startsField && endsField) ++fields;
  }
  if (fields != 1) return std::nullopt;
  std::string digits = std::to_string(std::clamp<int64_t>(megabytes, 0, kMaxLimitMegabytes));
  std::string replacement;
  for (char digit : digits) replacement += {digit, '\0'};
  std::string result = fileBytes;
  result.replace(start + number->offset * 2, number->length * 2, replacement);
  return result;
}

}  // namespace tidewell
