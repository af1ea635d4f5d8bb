#include "tidewell/backup/ValueBackup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "shared/win/Registry.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/backup/BackupTestSupport.h"

namespace tidewell {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

class ValueBackupTest : public ::testing::Test {
 protected:
  ValueBackupTest() { EXPECT_TRUE(database.Open(folder.ConnectionString())); }

  std::string Backup(const std::string& name, int32_t time = 1104537600, const std::string& comment = "Test backup") {
    return WriteValueBackup(database, folder.Text(),
                            ValueBackupRequest{HKEY_CURRENT_USER, "HKEY_CURRENT_USER", key.Path() + "\\", name, time,
                                               comment});
  }
  std::string KeyLine() const { return "[HKEY_CURRENT_USER\\" + key.Path() + "\\]\r\n"; }

  // Deletes the value, imports the backup file with reg.exe and reads the value back.
  void RestoreWithRegExe(const std::string& name, const std::string& file) {
    ASSERT_EQ(RegDeleteValueA(key.Key(), name.c_str()), ERROR_SUCCESS);
    ASSERT_EQ(test::RunReg("import \"" + file + "\""), 0u);
  }

  test::TestAppFolder folder;
  CADODatabase database;
  test::ScratchKey key{"values"};
};

TEST_F(ValueBackupTest, QuotedProgramPathIsEscapedAndFiledInRegbk) {
  WriteString(key.Key(), "Tool", "\"C:\\Program Files\\Tool\\tool.exe\" -min");
  std::string file = Backup("Tool", 1104537600, "Backup before repairing startup entries");
  EXPECT_EQ(file, folder.Text() + "BKUP\\reg1104537600\\Tool.reg");
  EXPECT_EQ(test::ReadWholeFile(file),
            kHeader + KeyLine() + "\"Tool\" = \"\\\"C:\\\\Program Files\\\\Tool\\\\tool.exe\\\" -min\"\r\n\r\n");
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].time, 1104537600);
  EXPECT_EQ(rows[0].file, file);
  EXPECT_EQ(rows[0].comment, "Backup before repairing startup entries");
}

TEST_F(ValueBackupTest, DwordIsWrittenAsEightHexDigits) {
  WriteDword(key.Key(), "Count", 255);
  EXPECT_EQ(test::ReadWholeFile(Backup("Count")), kHeader + KeyLine() + "\"Count\" = dword:000000ff\r\n\r\n");
}

TEST_F(ValueBackupTest, OtherTypesAndMissingValuesLeaveOnlyTheKeyLine) {
  WriteString(key.Key(), "Expand", "%SystemRoot%\\x.exe", REG_EXPAND_SZ);
  EXPECT_EQ(test::ReadWholeFile(Backup("Expand")), kHeader + KeyLine());
  EXPECT_EQ(test::ReadWholeFile(Backup("Missing")), kHeader + KeyLine());
  EXPECT_EQ(test::RegbkRows(database).size(), 2u);
}

TEST_F(ValueBackupTest, FileNamesFollowTheValueName) {
  WriteString(key.Key(), "C:\\WINDOWS\\SYSTEM32\\A.DLL", "1");
  WriteString(key.Key(), "", "unnamed");
  EXPECT_EQ(fs::path(Backup("C:\\WINDOWS\\SYSTEM32\\A.DLL")).filename().string(), "CxWINDOWSxSYSTEM32xA.DLL.reg");
  std::string unnamed = Backup("");
  EXPECT_EQ(fs::path(unnamed).filename().string(), ".reg");
  EXPECT_EQ(test::ReadWholeFile(unnamed), kHeader + KeyLine() + "\"\" = \"unnamed\"\r\n\r\n");
}

TEST_F(ValueBackupTest, SameNameInTheSameSecondOverwritesOneFileButKeepsTwoRows) {
  WriteString(key.Key(), "Twice", "first");
  std::string first = Backup("Twice", 5000);
  WriteString(key.Key(), "Twice", "second");
  std::string second = Backup("Twice", 5000);
  EXPECT_EQ(first, second);
  EXPECT_NE(test::ReadWholeFile(second).find("\"second\""), std::string::npos);
  EXPECT_EQ(test::RegbkRows(database).size(), 2u);
}

TEST_F(ValueBackupTest, ApostrophesInCommentOrNameKeepTheRow) {
  WriteString(key.Key(), "Bob's tool", "x");
  Backup("Bob's tool", 6000, "Disabled startup entry (Bob's tool)");
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].comment, "Disabled startup entry (Bob's tool)");
  EXPECT_TRUE(test::FileExists(rows[0].file));
}

TEST_F(ValueBackupTest, RegExeRestoresStringsDwordsAndTheUnnamedValueExactly) {
  const std::string tool = "\"C:\\Program Files\\Tool\\tool.exe\" -min \\\\share\\x \"";
  WriteString(key.Key(), "Tool \"quoted\" \\ name", tool);
  WriteDword(key.Key(), "Count", 0xDEADBEEF);
  WriteString(key.Key(), "", "C:\\unnamed.exe");

  RestoreWithRegExe("Tool \"quoted\" \\ name", Backup("Tool \"quoted\" \\ name"));
  RestoreWithRegExe("Count", Backup("Count"));
  RestoreWithRegExe("", Backup(""));

  EXPECT_EQ(ReadString(key.Key(), "Tool \"quoted\" \\ name"), tool);
  EXPECT_EQ(ReadDword(key.Key(), "Count"), 0xDEADBEEFu);
  EXPECT_EQ(ReadString(key.Key(), ""), "C:\\unnamed.exe");
}

TEST_F(ValueBackupTest, LineBreaksAndLongDataSurviveTheRoundTrip) {
  const std::string lines = "first line\r\nsecond \"line\"\nthird\\";
  const std::string longCommand = "C:\\Tools\\tool.exe " + std::string(600, 'a');
  WriteString(key.Key(), "Lines", lines);
  WriteString(key.Key(), "Long", longCommand);

  std::string linesFile = Backup("Lines");
  std::string bytes = test::ReadWholeFile(linesFile);
  // Such a file is written in UTF-16, where every reg.exe reads hex(1) data as UTF-16.
  ASSERT_TRUE(bytes.starts_with("\xFF\xFE"));
  std::string narrow;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) narrow += bytes[i];
  EXPECT_NE(narrow.find("\"Lines\" = hex(1):66,00,69,00"), std::string::npos) << narrow;
  EXPECT_TRUE(narrow.starts_with("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\"));
  RestoreWithRegExe("Lines", linesFile);
  RestoreWithRegExe("Long", Backup("Long"));

  EXPECT_EQ(ReadString(key.Key(), "Lines"), lines);
  EXPECT_EQ(ReadString(key.Key(), "Long"), longCommand);
  DWORD type = 0;
  RegQueryValueExA(key.Key(), "Lines", nullptr, &type, nullptr, nullptr);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

}  // namespace
}  // namespace tidewell
