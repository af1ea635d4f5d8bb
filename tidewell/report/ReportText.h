#pragma once
// The rules of the shareable report that need no system: hiding private
// names, reading the hosts file, and how lines are laid out and ordered.

#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

// A text that must not reach a public post, and what stands in its place.
struct PrivateName {
  std::string text;
  std::string replacement;
};

// Every whole occurrence of each name (ASCII case ignored; not inside a longer
// word, number or identifier) replaced, a longer name before a shorter one at one place.
std::string HidePrivateNames(std::string_view text, const std::vector<PrivateName>& names);

// The hosts file's entries, one "address name..." line each with single
// blanks, without comments and without the loopback ones (127.x.x.x, ::1).
std::vector<std::string> HostsEntries(std::string_view hostsText);

// The fields joined by " | ", an empty one shown as "-".
std::string ReportFields(const std::vector<std::string>& fields);

struct ReportLine {
  std::string place;
  std::string name;
  std::string text;
};

// By place, then by name, ASCII case ignored; equal ones keep their order.
void SortReportLines(std::vector<ReportLine>& lines);

// "[title]", the lines' texts, and an empty line after them.
std::string ReportSection(std::string_view title, const std::vector<ReportLine>& lines);

// "2026-12-08 17:33:16".
std::string ReportTimeText(int year, int month, int day, int hour, int minute, int second);

// "Tidewell report 2026-12-08.txt": the name the save dialog offers.
std::string DefaultReportFileName(int year, int month, int day);

}  // namespace tidewell
