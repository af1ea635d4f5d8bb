#include "tidewell/startup/StartupText.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(StartupProgramPath, QuotedPathsAreTakenFromTheirQuotes) {
  EXPECT_EQ(StartupProgramPath("\"C:\\Program Files\\Tool\\Tool.exe\" -min"), "c:\\program files\\tool\\tool.exe");
  EXPECT_EQ(StartupProgramPath("\"C:\\A B\\x.EXE\""), "c:\\a b\\x.exe");
}

TEST(StartupProgramPath, UnquotedCommandsEndAfterTheFirstExe) {
  EXPECT_EQ(StartupProgramPath("C:\\WINDOWS\\System32\\CTFMON.EXE /n"), "c:\\windows\\system32\\ctfmon.exe");
  EXPECT_EQ(StartupProgramPath("C:\\a.exe.exe x"), "c:\\a.exe");
  EXPECT_EQ(StartupProgramPath("C:\\tools\\agent.com -q"), "c:\\tools\\agent.com -q");
}

TEST(StartupProgramPath, Rundll32IsDroppedSoTheDllIsNamed) {
  EXPECT_EQ(StartupProgramPath("rundll32.exe \"C:\\Lib\\Helper.dll\",Start"), "c:\\lib\\helper.dll");
  EXPECT_EQ(ProgramFileName(StartupProgramPath("RUNDLL32.EXE \"C:\\Lib\\Helper.dll\",Start")), "helper.dll");
  EXPECT_EQ(StartupProgramPath("C:\\WINDOWS\\rundll32.exe x.dll,Go "), "c:\\windows\\ x.dll,go");
}

TEST(StartupProgramPath, FileNameIsThePartAfterTheLastSeparator) {
  EXPECT_EQ(ProgramFileName("c:\\program files\\tool\\tool.exe"), "tool.exe");
  EXPECT_EQ(ProgramFileName("tool.exe"), "tool.exe");
  EXPECT_EQ(ProgramFileName("c:/x/y.exe"), "y.exe");
  EXPECT_EQ(ProgramFileName(""), "");
}

TEST(StartupDescription, EmptyMeansUnknownWithTheSubmitHint) {
  EXPECT_EQ(StartupDescriptionText(""),
            "Description: Unknown (Right-click to submit the information to Tidewell web server)");
  EXPECT_EQ(StartupDescriptionText("Language bar"), "Description: Language bar");
}

TEST(StartupInfoEncoding, BlanksAndAmpersandsAreEncodedButPathCharactersAreNot) {
  EXPECT_EQ(EncodeStartupInfo("a b&c", "C:\\x y.exe"), "{sup_info}%20|%20a%20b%26c%20|%20C:\\x%20y.exe");
  EXPECT_EQ(StartupInfoRequestPath("a b&c", "C:\\x y.exe"),
            "/cgi/submit_misc.cgi?diverse={sup_info}%20|%20a%20b%26c%20|%20C:\\x%20y.exe");
}

TEST(StartupInfoEncoding, PercentIsEncodedFirstAndEveryTableCharacterOnce) {
  EXPECT_EQ(EncodeStartupInfo("%20", ""), "{sup_info}%20|%20%2520%20|%20");
  EXPECT_EQ(EncodeStartupInfo("'+=?", "%"), "{sup_info}%20|%20%27%2B%3D%3F%20|%20%25");
}

TEST(StartupInfoEncoding, ControlBytesOfAValueNameNeverReachTheRequestLineRaw) {
  EXPECT_EQ(StartupInfoRequestPath("a\r\nHost: x\t\x7F", "C:\\y.exe\n"),
            "/cgi/submit_misc.cgi?diverse={sup_info}%20|%20a%0D%0AHost:%20x%09%7F%20|%20C:\\y.exe%0A");
}

TEST(NewStartupEntriesText, OneEntryIsNamedAndMoreAreCounted) {
  struct Row {
    std::vector<std::string> names;
    std::string text;
  };
  const Row rows[] = {
      {{"Updater"}, "New startup entry: Updater"},
      {{""}, "New startup entry: (Default)"},
      {{"a", "b"}, "2 new startup entries"},
      {{}, ""},
  };
  for (const Row& row : rows) EXPECT_EQ(NewStartupEntriesText(row.names), row.text);
}

}  // namespace
}  // namespace tidewell
