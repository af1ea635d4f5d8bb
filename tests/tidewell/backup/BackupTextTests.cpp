#include "tidewell/removal/BackupText.h"

#include <gtest/gtest.h>

#include "tidewell/removal/RegFileText.h"

namespace tidewell {
namespace {

TEST(BackupSizeText, SwitchesUnitOnlyAboveEachThreshold) {
  EXPECT_EQ(BackupSizeText(0), "0.00 bytes");
  EXPECT_EQ(BackupSizeText(512), "512.00 bytes");
  EXPECT_EQ(BackupSizeText(1024), "1024.00 bytes");
  EXPECT_EQ(BackupSizeText(1025), "1.00 Kb");
  EXPECT_EQ(BackupSizeText(1536), "1.50 Kb");
  EXPECT_EQ(BackupSizeText(1048576), "1024.00 Kb");
  EXPECT_EQ(BackupSizeText(1048577), "1.00 Mb");
  EXPECT_EQ(BackupSizeText(1572864), "1.50 Mb");
  EXPECT_EQ(BackupSizeText(3ull << 30), "3072.00 Mb");
}

TEST(BackupNames, GeneralBackupAndCommentedBackupsReadAsTheListShowsThem) {
  EXPECT_EQ(BackupDisplayName("", "01.02.2005 03:04:05"), "Registry Backup 01.02.2005 03:04:05");
  EXPECT_EQ(BackupDisplayName("Shared programs backup", "01.02.2005 03:04:05"),
            "Shared programs backup - 01.02.2005 03:04:05");
  EXPECT_EQ(BackupFolderName(1104537600), "BKUP\\reg1104537600");
}

TEST(RestoreEventSuffix, IsTheDatePartForGeneralAndCommentedNames) {
  EXPECT_EQ(RestoreEventSuffix("Registry Backup 01.02.2005 03:04:05"), "01.02.2005 03:04:05");
  EXPECT_EQ(RestoreEventSuffix("Startup entries backup - 01.02.2005 03:04:05"), "01.02.2005 03:04:05");
  EXPECT_EQ(RestoreEventSuffix("Disabled startup entry (Tool) - 12.31.2004 23:59:59"), "12.31.2004 23:59:59");
}

TEST(RestoreEventSuffix, StartsAfterTheFirstDashWhenTheCommentHoldsOne) {
  EXPECT_EQ(RestoreEventSuffix("Disabled startup entry (Add-on) - 01.02.2005 03:04:05"),
            "on) - 01.02.2005 03:04:05");
  EXPECT_EQ(RestoreEventSuffix("no dash at all "), "no dash at all");
}

TEST(BackupFileNames, ValueNamesBecomeFileNames) {
  EXPECT_EQ(ValueBackupFileName("C:\\WINDOWS\\SYSTEM32\\A.DLL", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\", 7),
            "CxWINDOWSxSYSTEM32xA.DLL.reg");
  EXPECT_EQ(ValueBackupFileName("", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", 7), ".reg");
  EXPECT_EQ(ValueBackupFileName("Tool", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", 7), "Tool.reg");
  // The key path inside a value name gives way to the random number.
  EXPECT_EQ(ValueBackupFileName("X\\SOFTWARE\\Run\\a.hlp", "SOFTWARE\\Run\\", 42), "Xxfile42a.hlp.reg");
}

TEST(BackupFileNames, CharactersNoFileNameHoldsAreReplaced) {
  EXPECT_EQ(ValueBackupFileName("http://host/a?b=\"c\"|<d>*", "Run\\", 1), "httpxxhostxaxb=xcxxxdxx.reg");
  EXPECT_EQ(ValueBackupFileName("two\nlines", "Run\\", 1), "twoxlines.reg");
}

TEST(BackupFileNames, RepairExportsNameTheSubkeyWithoutItsCategoryPart) {
  EXPECT_EQ(RepairFileBaseName("CLSID\\{0000-1111}", "CLSID\\", 815), "file815{0000-1111}");
  EXPECT_EQ(RepairFileBaseName("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe",
                               "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\", 3),
            "file3tool.exe");
  EXPECT_EQ(RepairFileBaseName("Other\\Key", "CLSID\\", 3), "OtherxKey");
  // Uninstall and App Paths key names may hold what no file name can.
  EXPECT_EQ(RepairFileBaseName("Uninstall\\a:b*c?\"d\"<e>|f/g\th", "Uninstall\\", 5), "file5abxcxxdxxexxfxgxh");
}

TEST(BackupFileNames, DoubledSeparatorsCollapseButANetworkPathKeepsItsPrefix) {
  EXPECT_EQ(CollapseDoubledBackslashes("C:\\Tools\\\\BKUP\\reg1\\\\a.reg"), "C:\\Tools\\BKUP\\reg1\\a.reg");
  EXPECT_EQ(CollapseDoubledBackslashes("\\\\server\\share\\\\BKUP"), "\\\\server\\share\\BKUP");
}

TEST(RegFileText, StringLinesEscapeBackslashesThenQuotes) {
  EXPECT_EQ(RegStringValueLine("Tool", "\"C:\\Program Files\\Tool\\tool.exe\" -min"),
            "\"Tool\" = \"\\\"C:\\\\Program Files\\\\Tool\\\\tool.exe\\\" -min\"");
  EXPECT_EQ(RegStringValueLine("a\"b\\c", ""), "\"a\\\"b\\\\c\" = \"\"");
  EXPECT_EQ(RegStringValueLine("", "x"), "\"\" = \"x\"");
}

TEST(RegFileText, DwordLinesCarryEightLowercaseHexDigits) {
  EXPECT_EQ(RegDwordValueLine("Count", 255), "\"Count\" = dword:000000ff");
  EXPECT_EQ(RegDwordValueLine("Max", 0xDEADBEEF), "\"Max\" = dword:deadbeef");
  EXPECT_EQ(RegDwordValueLine("C:\\A\"B", 0), "\"C:\\\\A\\\"B\" = dword:00000000");
}

TEST(RegFileText, LineBreaksGoIntoTheHexForm) {
  EXPECT_TRUE(NeedsHexForm("a\r\nb"));
  EXPECT_TRUE(NeedsHexForm("a\nb"));
  EXPECT_FALSE(NeedsHexForm("C:\\a.exe -x"));
  EXPECT_EQ(RegHexValueLine("M", 1, {0x61, 0x00, 0x0a, 0x00, 0x00, 0x00}), "\"M\" = hex(1):61,00,0a,00,00,00");
  EXPECT_EQ(RegHexValueLine("E", 2, {}), "\"E\" = hex(2):");
  // The type number is hexadecimal in the file, and binary data has a form of its own.
  EXPECT_EQ(RegHexValueLine("Q", 11, {0x01, 0xff}), "\"Q\" = hex(b):01,ff");
  EXPECT_EQ(RegHexValueLine("B", 3, {0x00, 0x10}), "\"B\" = hex:00,10");
}

TEST(RegFileText, FileHasHeaderKeyLineAndOptionalValueLineWithCrLf) {
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\";
  EXPECT_EQ(ValueBackupFileText("HKEY_CURRENT_USER", key, RegDwordValueLine("D", 1)),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\]\r\n"
            "\"D\" = dword:00000001\r\n\r\n");
  EXPECT_EQ(ValueBackupFileText("HKEY_LOCAL_MACHINE", key, std::nullopt),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\]\r\n");
}

}  // namespace
}  // namespace tidewell
