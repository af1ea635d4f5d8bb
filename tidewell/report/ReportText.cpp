#include "tidewell/report/ReportText.h"

#include <algorithm>
#include <cstdio>

#include "shared/text/Text.h"

namespace tidewell {
namespace {

bool IsWordByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsWholeAt(std::string_view text, size_t at, std::string_view name) {
  if (name.empty() || at + name.size() > text.size() || !EqualsNoCase(text.substr(at, name.size()), name)) return false;
  bool startsClean = at == 0 || !IsWordByte(text[at - 1]) || !IsWordByte(name.front());
  size_t after = at + name.size();
  bool endsClean = after == text.size() || !IsWordByte(text[after]) || !IsWordByte(name.back());
  return startsClean && endsClean;
}

bool IsLoopback(std::string_view address) {
  return StartsWithNoCase(address, "127.") || address == "::1" || EqualsNoCase(address, "0:0:0:0:0:0:0:1");
}

}  // namespace

std::string HidePrivateNames(std::string_view text, const std::vector<PrivateName>& names) {
  // The longest first, so a profile folder goes whole before its short form
  // or the user name inside it could match a part of it.
  std::vector<const PrivateName*> byLength;
  for (const PrivateName& name : names) byLength.push_back(&name);
  std::stable_sort(byLength.begin(), byLength.end(),
                   [](const PrivateName* a, const PrivateName* b) { return a->text.size() > b->text.size(); });
  std::string result;
  size_t at = 0;
  while (at < text.size()) {
    auto match = std::find_if(byLength.begin(), byLength.end(),
                              [&](const PrivateName* name) { return IsWholeAt(text, at, name->text); });
    if (match == byLength.end()) {
      result += text[at++];
    } else {
      result += (*match)->replacement;
      at += (*match)->text.size();
    }
  }
  return result;
}

std::vector<std::string> HostsEntries(std::string_view hostsText) {
  std::vector<std::string> entries;
  size_t start = 0;
  while (start <= hostsText.size()) {
    size_t end = hostsText.find('\n', start);
    if (end == std::string_view::npos) end = hostsText.size();
    std::string_view line = hostsText.substr(start, end - start);
    start = end + 1;
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
      size_t first = line.find_first_not_of(" \t\r", at);
      if (first == std::string_view::npos) break;
      size_t last = line.find_first_of(" \t\r", first);
      if (last == std::string_view::npos) last = line.size();
      words.push_back(line.substr(first, last - first));
      at = last;
    }
    if (words.size() < 2 || IsLoopback(words[0])) continue;
    std::string entry(words[0]);
    for (size_t i = 1; i < words.size(); ++i) entry += " " + std::string(words[i]);
    entries.push_back(entry);
  }
  return entries;
}

std::string ReportFields(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += " | ";
    line += fields[i].empty() ? "-" : fields[i];
  }
  return line;
}

void SortReportLines(std::vector<ReportLine>& lines) {
  std::stable_sort(lines.begin(), lines.end(), [](const ReportLine& a, const ReportLine& b) {
    std::string placeA = LowerAscii(a.place), placeB = LowerAscii(b.place);
    if (placeA != placeB) return placeA < placeB;
    return LowerAscii(a.name) < LowerAscii(b.name);
  });
}

std::string ReportSection(std::string_view title, const std::vector<ReportLine>& lines) {
  std::string text = "[" + std::string(title) + "]\r\n";
  for (const ReportLine& line : lines) text += line.text + "\r\n";
  return text + "\r\n";
}

std::string ReportTimeText(int year, int month, int day, int hour, int minute, int second) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return text;
}

std::string DefaultReportFileName(int year, int month, int day) {
  return "Tidewell report " + ReportTimeText(year, month, day, 0, 0, 0).substr(0, 10) + ".txt";
}

}  // namespace tidewell
