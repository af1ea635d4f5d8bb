#include "tidewell/backup/RegistryBackup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "shared/win/Registry.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tidewell/shell/EventLog.h"
#include "tidewell/removal/BackupText.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Where the machine's own reg.exe reads and writes a plain key path.
RegistryView MachineView() { return RegistryViews().size() > 1 ? RegistryView::Bits64 : RegistryView::Native; }

class RegistryBackupTest : public ::testing::Test {
 protected:
  RegistryBackupTest() {
    EXPECT_TRUE(database.Open(folder.ConnectionString()));
  }

  std::string FolderOf(int32_t time) const { return folder.Text() + BackupFolderName(time); }

  test::TestAppFolder folder;
  CADODatabase database;
  CRegistryBackup backup{database, folder.Text()};
};

TEST_F(RegistryBackupTest, ExportWritesTheKeyWithRegExeAndFilesItsRow) {
  test::ScratchKey key("export");
  WriteString(key.Key(), "Path", "C:\\Tools\\tool.exe");
  int listChanges = 0, waits = 0;
  CRegistryBackup observed(database, folder.Text(), nullptr,
                           BackupObserver{[&] { ++waits; }, {}, [&] { ++listChanges; }});

  EXPECT_TRUE(observed.ExportRegistryKey(key.ShortPath(), "Scratch", 1104537600, "Scratch backup"));

  std::string file = FolderOf(1104537600) + "\\Scratch.reg";
  ASSERT_TRUE(test::PathExists(file));
  EXPECT_GT(fs::file_size(file), 0u);
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].time, 1104537600);
  EXPECT_EQ(rows[0].file, file);
  EXPECT_EQ(rows[0].comment, "Scratch backup");
  EXPECT_EQ(waits, 1);
  EXPECT_EQ(listChanges, 1);

  // A single export is listed at once, with the size of its file.
  auto entries = backup.ListBackups();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].time, 1104537600);
  EXPECT_EQ(entries[0].name, "Scratch backup - " + FormatEventTime(1104537600));
  EXPECT_EQ(entries[0].sizeText, BackupSizeText(fs::file_size(file)));
}

TEST_F(RegistryBackupTest, ExportOfAMissingKeyStillFilesARowAndListsZeroBytes) {
  EXPECT_FALSE(
      backup.ExportRegistryKey("HKCU\\Software\\TidewellTests\\c\\no such key", "Missing", 1000, "Missing backup"));
  EXPECT_FALSE(test::PathExists(FolderOf(1000) + "\\Missing.reg"));
  ASSERT_EQ(test::RegbkRows(database).size(), 1u);
  auto entries = backup.ListBackups();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].sizeText, "0.00 bytes");
}

TEST_F(RegistryBackupTest, ExportingTheSameFileTwiceInOneSecondReplacesItInsteadOfHanging) {
  test::ScratchKey key("twice");
  WriteString(key.Key(), "First", "1");
  backup.ExportRegistryKey(key.ShortPath(), "Same", 2000, "");
  WriteString(key.Key(), "Second", "2");
  backup.ExportRegistryKey(key.ShortPath(), "Same", 2000, "");
  std::string text = test::ReadWholeFile(FolderOf(2000) + "\\Same.reg");
  // reg.exe writes UTF-16: look for the name's letters two bytes apart.
  EXPECT_NE(text.find(std::string("S\0e\0c\0o\0n\0d", 11)), std::string::npos);
  EXPECT_EQ(test::RegbkRows(database).size(), 2u);
}

TEST_F(RegistryBackupTest, ListIsNewestFirstWithTheTimeAsItemData) {
  backup.ExportRegistryKey("HKCU\\Software\\TidewellTests\\c\\none", "A", 3000, "");
  backup.ExportRegistryKey("HKCU\\Software\\TidewellTests\\c\\none", "B", 5000, "Later");
  backup.ExportRegistryKey("HKCU\\Software\\TidewellTests\\c\\none", "C", 4000, "Middle");
  auto entries = backup.ListBackups();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].time, 5000);
  EXPECT_EQ(entries[1].time, 4000);
  EXPECT_EQ(entries[2].time, 3000);
  EXPECT_EQ(entries[2].name, "Registry Backup " + FormatEventTime(3000));
}

TEST_F(RegistryBackupTest, SizeCountsEveryFileOfTheFolderSubfoldersIncluded) {
  backup.ExportRegistryKey("HKCU\\Software\\TidewellTests\\c\\none", "A", 6000, "Sized");
  fs::create_directories(FolderOf(6000) + "\\sub");
  std::ofstream(FolderOf(6000) + "\\one.reg", std::ios::binary) << std::string(1000, 'x');
  std::ofstream(FolderOf(6000) + "\\sub\\two.reg", std::ios::binary) << std::string(25, 'y');
  auto entries = backup.ListBackups();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].sizeText, "1.00 Kb");  // 1,025 bytes
}

TEST_F(RegistryBackupTest, TwoOperationsInOneSecondShareTheFolderAndActTogether) {
  test::ScratchKey first("same-second-1"), second("same-second-2");
  WriteString(first.Key(), "V", "first");
  WriteString(second.Key(), "V", "second");
  backup.ExportRegistryKey(first.ShortPath(), "One", 7000, "First part");
  backup.ExportRegistryKey(second.ShortPath(), "Two", 7000, "Second part");

  auto entries = backup.ListBackups();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].time, 7000);
  EXPECT_EQ(entries[1].time, 7000);
  std::set<std::string> names{entries[0].name, entries[1].name};
  EXPECT_TRUE(names.count("First part - " + FormatEventTime(7000)));
  EXPECT_TRUE(names.count("Second part - " + FormatEventTime(7000)));

  // Restoring one of them imports the files of both.
  WriteString(first.Key(), "V", "changed");
  WriteString(second.Key(), "V", "changed");
  {
    test::ScriptedPrompt script{IDYES, IDOK};
    EXPECT_TRUE(backup.RestoreBackup(entries[0].name, entries[0].time));
  }
  EXPECT_TRUE(test::PumpUntil(
      [&] { return ReadString(first.Key(), "V") == "first" && ReadString(second.Key(), "V") == "second"; }, 60s));
  EXPECT_TRUE(test::WaitForRegExe(60s));

  // Deleting one of them removes the files and rows of both, not the folder.
  {
    test::ScriptedPrompt script{IDYES};
    EXPECT_TRUE(backup.DeleteBackup(entries[1].name, entries[1].time));
  }
  EXPECT_FALSE(test::PathExists(FolderOf(7000) + "\\One.reg"));
  EXPECT_FALSE(test::PathExists(FolderOf(7000) + "\\Two.reg"));
  EXPECT_TRUE(fs::is_directory(FolderOf(7000)));
  EXPECT_TRUE(test::RegbkRows(database).empty());
  EXPECT_TRUE(backup.ListBackups().empty());
}

TEST_F(RegistryBackupTest, RestoreAsksNamesTheEventAfterTheFirstDashAndReportsCompletion) {
  test::ScratchKey key("restore-dash");
  WriteString(key.Key(), "V", "kept");
  backup.ExportRegistryKey(key.ShortPath(), "Dash", 8000, "Add-on backup");
  std::string name = "Add-on backup - " + FormatEventTime(8000);
  WriteString(key.Key(), "V", "changed");

  test::ScriptedPrompt script{IDYES, IDOK};
  EXPECT_TRUE(backup.RestoreBackup(name, 8000));
  auto prompts = script.Requests();
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_EQ(prompts[0].text, "Are you sure you want to restore the registry using " + name + " ?");
  EXPECT_EQ(prompts[0].caption, "Tidewell registry restore");
  EXPECT_EQ(prompts[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(prompts[1].text, "Operation completed");
  EXPECT_EQ(prompts[1].type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_TRUE(test::HasEvent(database, "Restored on backup - " + FormatEventTime(8000)));
  EXPECT_TRUE(test::PumpUntil([&] { return ReadString(key.Key(), "V") == "kept"; }, 60s));
}

TEST_F(RegistryBackupTest, RestoreOfAGeneralBackupNamesTheEventByItsDate) {
  test::ScratchKey key("restore-general");
  WriteString(key.Key(), "V", "kept");
  backup.ExportRegistryKey(key.ShortPath(), "A", 9000, "");
  test::ScriptedPrompt script{IDYES, IDOK};
  backup.RestoreBackup("Registry Backup " + FormatEventTime(9000), 9000);
  EXPECT_TRUE(test::HasEvent(database, "Restored " + FormatEventTime(9000)));
}

TEST_F(RegistryBackupTest, RestoreWithoutSelectionShowsTheErrorAndWritesNoEvent) {
  backup.ExportRegistryKey("HKCU\\Software\\TidewellTests\\c\\none", "A", 9100, "");
  test::ScriptedPrompt script{IDOK};
  EXPECT_FALSE(backup.RestoreBackup("", 0));
  auto prompts = script.Requests();
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts[0].text, "ERROR: No backup entry selected");
  EXPECT_EQ(prompts[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(test::Events(database).empty());
}

TEST_F(RegistryBackupTest, DecliningRestoreOrDeleteChangesNothing) {
  test::ScratchKey key("declined");
  WriteString(key.Key(), "V", "kept");
  backup.ExportRegistryKey(key.ShortPath(), "Declined", 9200, "Declined backup");
  WriteString(key.Key(), "V", "changed");
  std::string name = "Declined backup - " + FormatEventTime(9200);
  test::ScriptedPrompt script{IDNO, IDNO};
  EXPECT_FALSE(backup.RestoreBackup(name, 9200));
  EXPECT_FALSE(backup.DeleteBackup(name, 9200));
  Sleep(1500);
  EXPECT_EQ(ReadString(key.Key(), "V"), "changed");
  EXPECT_TRUE(test::Events(database).empty());
  EXPECT_EQ(test::RegbkRows(database).size(), 1u);
  EXPECT_TRUE(test::PathExists(FolderOf(9200) + "\\Declined.reg"));
}

TEST_F(RegistryBackupTest, DeleteWithoutSelectionAsksAboutAnEmptyNameAndRemovesNothing) {
  test::ScratchKey key("delete-empty");
  backup.ExportRegistryKey(key.ShortPath(), "Kept", 9300, "");
  test::ScriptedPrompt script{IDYES};
  backup.DeleteBackup("", 0);
  auto prompts = script.Requests();
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts[0].text, "Are you sure you want to delete  ?");
  EXPECT_EQ(prompts[0].caption, "Tidewell");
  EXPECT_EQ(test::RegbkRows(database).size(), 1u);
  EXPECT_TRUE(test::PathExists(FolderOf(9300) + "\\Kept.reg"));
}

TEST_F(RegistryBackupTest, ApostrophesInTheCommentOrFolderKeepTheRow) {
  backup.ExportRegistryKey("HKCU\\Software\\TidewellTests\\c\\none", "A", 9400, "Bob's backup");
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].comment, "Bob's backup");
}

TEST_F(RegistryBackupTest, RepairExportNamesTheFileAfterTheSubkeyWithARandomNumber) {
  test::ScratchKey key("repair\\Classes\\{1234}");
  UniqueKey child = CreateKey(HKEY_CURRENT_USER, key.Path() + "\\InprocServer32");
  std::string replaced = "Software\\TidewellTests\\c\\repair\\Classes\\";
  EXPECT_TRUE(backup.ExportKeyForRepair(HKEY_CURRENT_USER, "HKCU", replaced, key.Path(), 9500,
                                        "Backup before repairing registered custom controls entries"));
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  std::string fileName = test::FileName(rows[0].file);
  EXPECT_TRUE(std::regex_match(fileName, std::regex(R"(file\d{1,3}\{1234\}\.reg)"))) << fileName;
  EXPECT_TRUE(test::PathExists(rows[0].file));
  EXPECT_EQ(rows[0].comment, "Backup before repairing registered custom controls entries");
}

TEST(BackupTime, OperationsInOneSecondGetTimesOfTheirOwn) {
  int32_t first = NewBackupTime(), second = NewBackupTime();
  int32_t now = static_cast<int32_t>(std::time(nullptr));
  EXPECT_GT(second, first);
  // No further ahead of the clock than the step past the first needs (earlier
  // tests' bursts may already have put the first ahead).
  EXPECT_LE(second, std::max(first + 1, now));
}

TEST_F(RegistryBackupTest, RepairExportsOfOneNameInOneRunKeepTheirOwnFiles) {
  test::ScratchKey first("same\\A\\Key"), second("same\\B\\Key");
  WriteString(first.Key(), "Which", "first");
  WriteString(second.Key(), "Which", "second");
  // The replaced parts make both file names "file<r>Key": the second must not replace the first.
  ASSERT_TRUE(backup.ExportKeyForRepair(HKEY_CURRENT_USER, "HKCU", "Software\\TidewellTests\\c\\same\\A\\",
                                        first.Path(), 9700, "Run"));
  ASSERT_TRUE(backup.ExportKeyForRepair(HKEY_CURRENT_USER, "HKCU", "Software\\TidewellTests\\c\\same\\B\\",
                                        second.Path(), 9700, "Run"));
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NE(rows[0].file, rows[1].file);
  EXPECT_NE(test::ReadWholeFile(rows[0].file).find(std::string("f\0i\0r\0s\0t", 9)), std::string::npos);
  EXPECT_NE(test::ReadWholeFile(rows[1].file).find(std::string("s\0e\0c\0o\0n\0d", 11)), std::string::npos);
}

TEST_F(RegistryBackupTest, RepairExportOfAMissingKeyStillFilesItsRow) {
  // Reported as failed, so the caller keeps the key.
  EXPECT_FALSE(backup.ExportKeyForRepair(HKEY_CURRENT_USER, "HKCU", "Software\\TidewellTests\\c\\",
                                         "Software\\TidewellTests\\c\\gone\\Key", 9600, "Backup before repairing"));
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(std::regex_match(test::FileName(rows[0].file), std::regex(R"(file\d{1,3}gonexKey\.reg)")));
  EXPECT_FALSE(test::PathExists(rows[0].file));
}

TEST_F(RegistryBackupTest, CategoryBackupLogsAtTheBackupTimeAndReportsIt) {
  // Both keys there, so both are exported (a fresh machine has neither).
  CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help", KEY_READ, MachineView());
  CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\HTML Help", KEY_READ, MachineView());
  test::ScriptedPrompt script{IDYES, IDOK};
  ASSERT_TRUE(backup.BackupCategory({"Help and resources backup",
                                     {{"HKLM\\SOFTWARE\\Microsoft\\Windows\\Help", "WHelp"},
                                      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help", "WHTMLHelp"}}}));
  auto rows = test::RegbkRows(database);
  ASSERT_GE(rows.size(), 2u);  // and the 32-bit twins the machine has
  EXPECT_EQ(rows[0].time, rows[1].time);
  EXPECT_EQ(test::FileName(rows[0].file), "WHelp.reg");
  EXPECT_EQ(test::FileName(rows[1].file), "WHTMLHelp.reg");
  EXPECT_EQ(rows[0].comment, "Help and resources backup");
  std::string text = "Help and resources backup - " + FormatEventTime(rows[0].time);
  auto events = test::Events(database);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, text);
  EXPECT_EQ(events[0].time, rows[0].time);
  auto prompts = script.Requests();
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_EQ(prompts[0].text, "Tidewell will backup parts of your registry system. Proceed?");
  EXPECT_EQ(prompts[0].caption, "Tidewell registry backup");
  EXPECT_EQ(prompts[1].text, "Backup completed: " + text);
}

TEST_F(RegistryBackupTest, DecliningABackupExportsNothing) {
  test::ScriptedPrompt script{IDNO, IDNO};
  EXPECT_FALSE(backup.BackupCategory(
      {"Startup entries backup", {{"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Startup"}}}));
  EXPECT_FALSE(backup.RunGeneralBackup());
  EXPECT_TRUE(test::RegbkRows(database).empty());
  EXPECT_TRUE(test::Events(database).empty());
  EXPECT_FALSE(fs::exists(folder.Path() / "BKUP"));
}

// The whole road: the machine's keys among the seven out, the machine's keys
// changed, the backup restored, then deleted.
TEST_F(RegistryBackupTest, GeneralBackupRestoresChangedKeysAndDeletesCleanly) {
  const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + test::UniqueName("tool") + ".exe";
  const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::string runValue = test::UniqueName("TidewellGeneral");
  const std::string htmlHelp = "SOFTWARE\\Microsoft\\Windows\\HTML Help";
  {
    UniqueKey app = CreateKey(HKEY_LOCAL_MACHINE, appPaths);
    ASSERT_TRUE(app);
    WriteString(app.Get(), "", "C:\\Tools\\tool.exe");
    UniqueKey run = CreateKey(HKEY_LOCAL_MACHINE, runKey);
    WriteString(run.Get(), runValue, "C:\\Tools\\tool.exe -min");
  }
  // As on a fresh machine: no HTML Help key in either view (other tests leave it empty).
  for (RegistryView view : RegistryViews()) {
    if (UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, htmlHelp, KEY_READ, view)) {
      ASSERT_TRUE(Values(key.Get()).empty() && SubkeyNames(key.Get()).empty()) << "another test left HTML Help entries";
    }
    DeleteKeyTree(HKEY_LOCAL_MACHINE, htmlHelp, view);
  }

  {
    test::ScriptedPrompt script{IDYES, IDOK};
    ASSERT_TRUE(backup.RunGeneralBackup());
    auto prompts = script.Requests();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    EXPECT_EQ(prompts[1].text, "Registry backup complete");
  }
  auto rows = test::RegbkRows(database);
  // A row for each key the machine has, in the table's order, then the 32-bit
  // view's twins of those it has (the keys planted above among them in the
  // 32-bit build); none for a key it lacks.
  const struct {
    HKEY root;
    std::string path;
    const char* file;
  } keys[] = {{HKEY_CLASSES_ROOT, "CLSID", "CustomControls"},
              {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", "ApplicationPaths"},
              {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help", "WHelp"},
              {HKEY_LOCAL_MACHINE, htmlHelp, "WHTMLHelp"},
              {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", "SharedDLLs"},
              {HKEY_LOCAL_MACHINE, runKey, "Startup"},
              {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "AddRemoveProgr"}};
  ASSERT_FALSE(rows.empty());
  std::vector<std::string> expected;
  for (const auto& key : keys)
    if (OpenKey(key.root, key.path, KEY_READ, MachineView()))
      expected.push_back(FolderOf(rows[0].time) + "\\" + key.file + ".reg");
  ASSERT_GE(rows.size(), expected.size());
  ASSERT_LE(rows.size(), RegistryViews().size() > 1 ? 2 * expected.size() : expected.size());
  uintmax_t total = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].time, rows[0].time);
    EXPECT_EQ(rows[i].comment, "");
    if (i < expected.size()) {
      EXPECT_EQ(rows[i].file, expected[i]);
    } else {
      EXPECT_TRUE(rows[i].file.ends_with("32.reg")) << rows[i].file;
    }
    EXPECT_EQ(rows[i].file.find("WHTMLHelp"), std::string::npos);
    std::error_code error;
    uintmax_t size = fs::file_size(rows[i].file, error);
    if (!error) total += size;
  }
  EXPECT_TRUE(test::HasEvent(database, "General registry backup"));
  auto entries = backup.ListBackups();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "Registry Backup " + FormatEventTime(rows[0].time));
  EXPECT_EQ(entries[0].sizeText, BackupSizeText(total));

  RegDeleteTreeA(HKEY_LOCAL_MACHINE, appPaths.c_str());
  if (UniqueKey run = OpenKey(HKEY_LOCAL_MACHINE, runKey, KEY_SET_VALUE)) RegDeleteValueA(run.Get(), runValue.c_str());
  {
    test::ScriptedPrompt script{IDYES, IDOK};
    EXPECT_TRUE(backup.RestoreBackup(entries[0].name, entries[0].time));
    ASSERT_EQ(script.Requests().size(), 2u);
    EXPECT_EQ(script.Requests()[1].text, "Operation completed");
  }
  // The restore waited for every import and read it back.
  UniqueKey app = OpenKey(HKEY_LOCAL_MACHINE, appPaths);
  UniqueKey run = OpenKey(HKEY_LOCAL_MACHINE, runKey);
  EXPECT_TRUE(app && ReadString(app.Get(), "") == "C:\\Tools\\tool.exe");
  EXPECT_TRUE(run && ReadString(run.Get(), runValue) == "C:\\Tools\\tool.exe -min");
  app.Reset();
  run.Reset();

  {
    test::ScriptedPrompt script{IDYES};
    EXPECT_TRUE(backup.DeleteBackup(entries[0].name, entries[0].time));
  }
  for (const auto& row : rows) EXPECT_FALSE(test::PathExists(row.file)) << row.file;
  EXPECT_TRUE(test::RegbkRows(database).empty());
  EXPECT_TRUE(fs::is_directory(FolderOf(rows[0].time)));

  RegDeleteTreeA(HKEY_LOCAL_MACHINE, appPaths.c_str());
  if (UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, runKey, KEY_SET_VALUE)) RegDeleteValueA(key.Get(), runValue.c_str());
}

}  // namespace
}  // namespace tidewell
