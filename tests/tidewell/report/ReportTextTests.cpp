#include "tidewell/report/ReportText.h"

#include "tidewell/report/CommandLine.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(HidePrivateNames, ReplacesWholeNamesInAnyAsciiCase) {
  std::vector<PrivateName> names{{"C:\\users\\bob", "%USERPROFILE%"},
                                 {"C:\\users\\BOB~1", "%USERPROFILE%"},
                                 {"bob", "%USERNAME%"},
                                 {"DESK-7", "%COMPUTERNAME%"}};
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"c:\\USERS\\Bob\\app\\x.exe /q", "%USERPROFILE%\\app\\x.exe /q"},
      {"\"C:\\users\\BOB~1\\Ü.exe\"", "\"%USERPROFILE%\\Ü.exe\""},
      {"C:\\users\\bobby\\x.exe", "C:\\users\\bobby\\x.exe"},  // another user's folder
      {"\\\\desk-7\\share by bob", "\\\\%COMPUTERNAME%\\share by %USERNAME%"},
      {"bobcat jobob Bob2 HKEY_BOB", "bobcat jobob Bob2 HKEY_BOB"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(HidePrivateNames(c.text, names), c.expected) << c.text;
}

TEST(HostsEntries, KeepsOnlyEntriesThatDoNotPointAtLoopback) {
  std::string hosts =
      "# comment line\r\n"
      "127.0.0.1   localhost\r\n"
      "::1 localhost\r\n"
      "127.0.0.2 ads.example\n"
      "10.0.0.5\tintranet   wiki # our server\r\n"
      "  93.184.216.34 bank.example\n"
      "lonely\n"
      "\n"
      "0.0.0.0 tracker.example";
  std::vector<std::string> expected{"10.0.0.5 intranet wiki", "93.184.216.34 bank.example",
                                    "0.0.0.0 tracker.example"};
  EXPECT_EQ(HostsEntries(hosts), expected);
}

TEST(ReportLines, FieldsJoinWithEmptyOnesShownAsDash) {
  EXPECT_EQ(ReportFields({"{A}", "", "C:\\x.dll", "signed by Ü"}), "{A} | - | C:\\x.dll | signed by Ü");
  EXPECT_EQ(ReportFields({}), "");
}

TEST(ReportLines, SortByPlaceThenNameIgnoringCaseAndKeepTies) {
  std::vector<ReportLine> lines{{"HKLM", "b", "1"}, {"hkcu", "Z", "2"}, {"HKCU", "a", "3"},
                                {"HKLM", "B", "4"}, {"HKCU", "A", "5"}};
  SortReportLines(lines);
  std::string order;
  for (const ReportLine& line : lines) order += line.text;
  EXPECT_EQ(order, "35214");
  EXPECT_EQ(ReportSection("Hosts file", lines), "[Hosts file]\r\n3\r\n5\r\n2\r\n1\r\n4\r\n\r\n");
  EXPECT_EQ(ReportTimeText(2026, 1, 2, 3, 4, 5), "2026-01-02 03:04:05");
  EXPECT_EQ(DefaultReportFileName(2026, 12, 8), "Tidewell report 2026-12-08.txt");
}

TEST(CommandArguments, NameWhatTheProgramIsAskedToDo) {
  using Kind = CommandRequest::Kind;
  struct Case {
    std::vector<std::string> arguments;
    Kind kind;
    std::string file;
  } cases[] = {
      {{}, Kind::Start, ""},
      {{"/report", "C:\\r Ü.txt"}, Kind::Report, "C:\\r Ü.txt"},
      {{"-REPORT", "r.txt"}, Kind::Report, "r.txt"},
      {{"/?"}, Kind::Usage, ""},
      {{"-help"}, Kind::Usage, ""},
      {{"/report"}, Kind::Invalid, ""},
      {{"/report", ""}, Kind::Invalid, ""},
      {{"/report", "a", "b"}, Kind::Invalid, ""},
      {{"/min"}, Kind::Invalid, ""},
  };
  for (const Case& c : cases) {
    CommandRequest request = ParseCommandArguments(c.arguments);
    EXPECT_EQ(request.kind, c.kind) << c.arguments.size();
    EXPECT_EQ(request.file, c.file);
  }
}

}  // namespace
}  // namespace tidewell
