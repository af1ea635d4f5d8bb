#include "tidewell/removal/ValueBackup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "shared/win/Registry.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

class ValueBackupTest : public ::testing::Test {
 protected:
  ValueBackupTest() { EXPECT_TRUE(database.Open(folder.ConnectionString())); }

  ValueBackupResult Write(const std::string& name, int32_t time = 1104537600,
                          const std::string& comment = "Test backup") {
    return WriteValueBackup(database, folder.Text(),
                            ValueBackupRequest{HKEY_CURRENT_USER, "HKEY_CURRENT_USER", key.Path() + "\\", name, time,
                                               comment});
  }
  std::string Backup(const std::string& name, int32_t time = 1104537600, const std::string& comment = "Test backup") {
    return Write(name, time, comment).file;
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

TEST_F(ValueBackupTest, AMissingValueLeavesOnlyTheKeyLineAndIsNotHeld) {
  ValueBackupResult missing = Write("Missing");
  EXPECT_EQ(test::ReadWholeFile(missing.file), kHeader + KeyLine());
  EXPECT_FALSE(missing.holdsValue);
  WriteString(key.Key(), "Present", "x");
  EXPECT_TRUE(Write("Present").holdsValue);
}

TEST_F(ValueBackupTest, AnUnwritableBackupFolderIsReportedAndLeavesNoRow) {
  WriteString(key.Key(), "Kept", "C:\\kept.exe");
  // A file where the backup root should be: no folder, so no backup file, can be made there.
  std::ofstream(folder.File("BKUP")) << "in the way";
  ValueBackupResult result = Write("Kept");
  EXPECT_FALSE(result.holdsValue);
  EXPECT_TRUE(result.file.empty());
  EXPECT_TRUE(test::RegbkRows(database).empty());
}

TEST_F(ValueBackupTest, FileNamesFollowTheValueName) {
  WriteString(key.Key(), "C:\\WINDOWS\\SYSTEM32\\A.DLL", "1");
  WriteString(key.Key(), "", "unnamed");
  EXPECT_EQ(test::FileName(Backup("C:\\WINDOWS\\SYSTEM32\\A.DLL")), "CxWINDOWSxSYSTEM32xA.DLL.reg");
  std::string unnamed = Backup("");
  EXPECT_EQ(test::FileName(unnamed), ".reg");
  EXPECT_EQ(test::ReadWholeFile(unnamed), kHeader + KeyLine() + "\"\" = \"unnamed\"\r\n\r\n");
}

TEST_F(ValueBackupTest, SameNameInTheSameSecondGetsAFileOfItsOwn) {
  WriteString(key.Key(), "Twice", "first");
  std::string first = Backup("Twice", 5000);
  WriteString(key.Key(), "Twice", "second");
  std::string second = Backup("Twice", 5000);
  EXPECT_NE(first, second);
  EXPECT_EQ(test::FileName(second), "Twice (2).reg");
  EXPECT_NE(test::ReadWholeFile(first).find("\"first\""), std::string::npos);
  EXPECT_NE(test::ReadWholeFile(second).find("\"second\""), std::string::npos);
  EXPECT_EQ(test::RegbkRows(database).size(), 2u);
}

TEST_F(ValueBackupTest, ApostrophesInCommentOrNameKeepTheRow) {
  WriteString(key.Key(), "Bob's tool", "x");
  Backup("Bob's tool", 6000, "Disabled startup entry (Bob's tool)");
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].comment, "Disabled startup entry (Bob's tool)");
  EXPECT_TRUE(test::PathExists(rows[0].file));
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

struct RawCase {
  const char* name;
  DWORD type;
  std::vector<BYTE> data;
  const char* form;  // how the value line starts after the name
  bool utf16File;
};

// The literal's characters as stored, its own terminator left out.
template <size_t N>
std::vector<BYTE> Utf16(const wchar_t (&text)[N]) {
  std::vector<BYTE> bytes((N - 1) * 2);
  std::memcpy(bytes.data(), text, bytes.size());
  return bytes;
}

TEST_F(ValueBackupTest, RegExeRestoresEveryValueTypeByteForByte) {
  const std::vector<RawCase> cases = {
      {"Expand", REG_EXPAND_SZ, Utf16(L"%SystemRoot%\\x.exe -a \"b\"\0"), "hex(2):", true},
      {"Multi", REG_MULTI_SZ, Utf16(L"one\0two \\ \"3\"\0\0"), "hex(7):", true},
      {"Binary", REG_BINARY, {0x00, 0xff, 0x0d, 0x0a, 0x22, 0x5c, 0x00}, "hex:", false},
      {"Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 0x80}, "hex(b):", false},
      {"None", REG_NONE, {0xaa, 0xbb}, "hex(0):", false},
      {"ShortDword", REG_DWORD, {0x01, 0x02}, "hex(4):", false},
      {"Accents", REG_SZ, Utf16(L"caf\u00e9 \u0416 \U0001F600\0"), "\"caf", true},
      {"Unpaired", REG_SZ, Utf16(L"a\xD800" L"z\0"), "hex(1):", true},  // no UTF-8 form: kept as it is stored
      {"Latin", REG_SZ, Utf16(L"caf\u00e9\0"), "\"caf", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::wstring wideName(c.name, c.name + std::strlen(c.name));
    // The wide call stores string data as given; the ANSI one would convert it.
    ASSERT_EQ(RegSetValueExW(key.Key(), wideName.c_str(), 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())),
              ERROR_SUCCESS);
    ValueBackupResult result = Write(c.name);
    EXPECT_TRUE(result.holdsValue);
    std::string bytes = test::ReadWholeFile(result.file);
    std::string text;
    if (c.utf16File) {
      ASSERT_TRUE(bytes.starts_with("\xFF\xFE"));
      for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];
    } else {
      text = bytes;
    }
    EXPECT_NE(text.find("\"" + std::string(c.name) + "\" = " + c.form), std::string::npos) << text;
    RestoreWithRegExe(c.name, result.file);

    DWORD type = 0, length = 0;
    ASSERT_EQ(RegQueryValueExW(key.Key(), wideName.c_str(), nullptr, &type, nullptr, &length), ERROR_SUCCESS);
    std::vector<BYTE> restored(length);
    RegQueryValueExW(key.Key(), wideName.c_str(), nullptr, &type, restored.data(), &length);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(restored, c.data);
  }
}

}  // namespace
}  // namespace tidewell
