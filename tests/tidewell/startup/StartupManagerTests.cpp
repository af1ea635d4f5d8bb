#include "tidewell/startup/StartupManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tidewell/shell/EventLog.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/startup/StartupText.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kUnknown = "Description: Unknown (Right-click to submit the information to Tidewell web server)";
constexpr const char* kDisabledMessage =
    "The specified startup entry was disabled.You can reenable it by using the backup manager";

constexpr RegistryView k32 = RegistryView::Bits32, k64 = RegistryView::Bits64;

// Run values of this test only, removed again at the end.
class RunValues {
 public:
  ~RunValues() {
    for (const auto& [root, name, view] : added_)
      if (UniqueKey key = OpenKey(root, kRunKey, KEY_SET_VALUE, view)) RegDeleteValueA(key.Get(), name.c_str());
  }
  void AddString(HKEY root, const std::string& name, const std::string& data,
                 RegistryView view = RegistryView::Native) {
    UniqueKey key = CreateKey(root, kRunKey, KEY_ALL_ACCESS, view);
    ASSERT_TRUE(WriteString(key.Get(), name, data));
    added_.emplace_back(root, name, view);
  }
  void Track(HKEY root, const std::string& name) { added_.emplace_back(root, name, RegistryView::Native); }
  void AddDword(HKEY root, const std::string& name, DWORD data) {
    UniqueKey key = CreateKey(root, kRunKey);
    ASSERT_TRUE(WriteDword(key.Get(), name, data));
    added_.emplace_back(root, name, RegistryView::Native);
  }

 private:
  std::vector<std::tuple<HKEY, std::string, RegistryView>> added_;
};

std::optional<std::string> RunString(HKEY root, const std::string& name, RegistryView view = RegistryView::Native) {
  UniqueKey key = OpenKey(root, kRunKey, KEY_READ, view);
  return key ? ReadString(key.Get(), name) : std::nullopt;
}

int IndexOf(const std::vector<StartupEntry>& entries, const std::string& name, int root,
            std::optional<RegistryView> view = std::nullopt) {
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].name == name && entries[i].root == root && (!view || entries[i].view == *view))
      return static_cast<int>(i);
  return -1;
}

class StartupManagerTest : public ::testing::Test {
 protected:
  StartupManagerTest() { EXPECT_TRUE(database.Open(folder.ConnectionString())); }


  test::TestAppFolder folder;
  CADODatabase database;
  RunValues run;
};

TEST_F(StartupManagerTest, CurrentUserEntriesComeFirstWithTheirRootCodes) {
  std::string shared = test::UniqueName("Shared"), machine = test::UniqueName("Machine"),
              user = test::UniqueName("User");
  run.AddString(HKEY_LOCAL_MACHINE, shared, "C:\\machine.exe");
  run.AddString(HKEY_LOCAL_MACHINE, machine, "C:\\m.exe");
  run.AddString(HKEY_CURRENT_USER, shared, "C:\\user.exe");
  run.AddString(HKEY_CURRENT_USER, user, "C:\\u.exe -x");

  auto entries = ListStartupEntries();
  int sharedUser = IndexOf(entries, shared, kStartupRootUser), userOnly = IndexOf(entries, user, kStartupRootUser);
  int sharedMachine = IndexOf(entries, shared, kStartupRootMachine),
      machineOnly = IndexOf(entries, machine, kStartupRootMachine);
  ASSERT_GE(sharedUser, 0);
  ASSERT_GE(userOnly, 0);
  ASSERT_GE(sharedMachine, 0);
  ASSERT_GE(machineOnly, 0);
  EXPECT_EQ(entries[sharedUser].command, "C:\\user.exe");
  EXPECT_EQ(entries[userOnly].command, "C:\\u.exe -x");
  EXPECT_EQ(entries[sharedMachine].command, "C:\\machine.exe");
  // Every current-user row precedes every machine row; each key keeps its order.
  auto firstMachine = std::find_if(entries.begin(), entries.end(),
                                   [](const StartupEntry& e) { return e.root == kStartupRootMachine; });
  EXPECT_TRUE(std::all_of(firstMachine, entries.end(),
                          [](const StartupEntry& e) { return e.root == kStartupRootMachine; }));
  // Within a root and view, the key's own enumeration order.
  std::vector<std::tuple<HKEY, int, RegistryView>> keys{{HKEY_CURRENT_USER, kStartupRootUser, RegistryView::Native}};
  for (RegistryView view : RegistryViews()) keys.emplace_back(HKEY_LOCAL_MACHINE, kStartupRootMachine, view);
  for (auto [root, code, view] : keys) {
    std::vector<std::string> listed, enumerated;
    for (const auto& entry : entries)
      if (entry.root == code && entry.view == view) listed.push_back(entry.name);
    UniqueKey key = OpenKey(root, kRunKey, KEY_READ, view);
    for (const auto& value : Values(key.Get())) enumerated.push_back(value.name);
    EXPECT_EQ(listed, enumerated);
  }
}

TEST_F(StartupManagerTest, LongCommandLinesAreListedWholeAndDoNotHideLaterEntries) {
  std::string longOne = test::UniqueName("Long"), after = test::UniqueName("After");
  std::string command = "C:\\tool.exe " + std::string(400, 'x');
  run.AddString(HKEY_CURRENT_USER, longOne, command);
  run.AddString(HKEY_CURRENT_USER, after, "C:\\after.exe");
  auto entries = ListStartupEntries();
  int index = IndexOf(entries, longOne, kStartupRootUser);
  ASSERT_GE(index, 0);
  EXPECT_EQ(entries[index].command, command);
  EXPECT_GE(IndexOf(entries, after, kStartupRootUser), 0);
}

TEST_F(StartupManagerTest, DisableBacksUpRemovesLogsAndTheBackupRestoresTheEntry) {
  // A name and a path of several scripts come back byte for byte too.
  for (const auto& [base, command] :
       {std::pair<std::string, std::string>{"Tool", "\"C:\\Program Files\\Tool\\tool.exe\" -min \\\\x"},
        {"Čech 日本 😀 ", "\"C:\\Program Files\\Čech\\日本 😀.exe\" /x"}}) {
    SCOPED_TRACE(base);
    std::string name = test::UniqueName(base);
    run.AddString(HKEY_CURRENT_USER, name, command);
    ASSERT_GE(IndexOf(ListStartupEntries(), name, kStartupRootUser), 0) << "listed with its exact name";

    test::ScriptedPrompt script{IDYES, IDOK};
    ASSERT_TRUE(DisableStartupEntry(database, folder.Text(), StartupEntry{name, command, kStartupRootUser}));
    auto prompts = script.Requests();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].text, "Are you sure you want to disable this startup entry " + name + " ?");
    EXPECT_EQ(prompts[0].caption, "Tidewell startup manager");
    EXPECT_EQ(prompts[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(prompts[1].text, kDisabledMessage);
    EXPECT_FALSE(RunString(HKEY_CURRENT_USER, name));
    EXPECT_TRUE(test::HasEvent(database, "Startup entry disabled (" + name + ")"));

    auto rows = test::RegbkRows(database);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].comment, "Disabled startup entry (" + name + ")");
    EXPECT_EQ(rows[0].file, folder.Text() + "BKUP\\reg" + std::to_string(rows[0].time) + "\\" + name + ".reg");

    CRegistryBackup backup(database, folder.Text());
    auto entries = backup.ListBackups();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Disabled startup entry (" + name + ") - " + FormatEventTime(rows[0].time));
    test::ScriptedPrompt restoreScript{IDYES, IDOK};
    ASSERT_TRUE(backup.RestoreBackup(entries[0].name, entries[0].time));
    EXPECT_TRUE(test::PumpUntil([&] { return RunString(HKEY_CURRENT_USER, name) == command; }, 60s));
    EXPECT_GE(IndexOf(ListStartupEntries(), name, kStartupRootUser), 0);
    CADORecordset(database).Open("delete from regbk");  // the next case's backup is then the only one
  }
}

TEST_F(StartupManagerTest, DisabledMachineDwordEntryComesBackFromItsBackup) {
  std::string name = test::UniqueName("Flag");
  run.AddDword(HKEY_LOCAL_MACHINE, name, 255);
  test::ScriptedPrompt script{IDYES, IDOK, IDYES, IDOK};
  ASSERT_TRUE(DisableStartupEntry(database, folder.Text(), StartupEntry{name, "\xff", kStartupRootMachine}));
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  // Named where the 64-bit view has it: the 32-bit build's key is Wow6432Node's.
  EXPECT_NE(test::ReadWholeFile(rows[0].file)
                .find(sizeof(void*) == 8
                          ? "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\]"
                          : "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\]"),
            std::string::npos);
  EXPECT_EQ(IndexOf(ListStartupEntries(), name, kStartupRootMachine), -1);

  CRegistryBackup backup(database, folder.Text());
  auto entries = backup.ListBackups();
  ASSERT_EQ(entries.size(), 1u);
  backup.RestoreBackup(entries[0].name, entries[0].time);
  EXPECT_TRUE(test::PumpUntil(
      [&] {
        UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, kRunKey);
        return key && ReadDword(key.Get(), name) == 255u;
      },
      60s));
}

// Run values written through the wide API, so string data is stored exactly as given.
std::vector<BYTE> RunRaw(HKEY root, const std::wstring& name, DWORD& type) {
  UniqueKey key = OpenKey(root, kRunKey);
  DWORD length = 0;
  if (!key || RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &length) != ERROR_SUCCESS) return {};
  std::vector<BYTE> data(length);
  RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, data.data(), &length);
  return data;
}

TEST_F(StartupManagerTest, DisabledExpandMultiAndBinaryEntriesComeBackByteForByte) {
  struct Case {
    DWORD type;
    std::wstring data;  // raw bytes, two per character
  };
  const std::vector<Case> cases = {
      {REG_EXPAND_SZ, std::wstring(L"\"%ProgramFiles%\\Tool\\t.exe\" -min\0", 33)},
      {REG_MULTI_SZ, std::wstring(L"a.exe\0b \"c\"\0\0", 13)},
      {REG_BINARY, std::wstring(L"\x0100\xff0d\x5c22", 3)},
  };
  std::vector<std::string> names;
  for (const auto& c : cases) {
    std::string name = test::UniqueName("Raw");
    names.push_back(name);
    std::wstring wide(name.begin(), name.end());
    UniqueKey key = CreateKey(HKEY_CURRENT_USER, kRunKey);
    ASSERT_EQ(RegSetValueExW(key.Get(), wide.c_str(), 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                             static_cast<DWORD>(c.data.size() * 2)),
              ERROR_SUCCESS);
    run.Track(HKEY_CURRENT_USER, name);
    test::ScriptedPrompt script{IDYES, IDOK};
    ASSERT_TRUE(DisableStartupEntry(database, folder.Text(), StartupEntry{name, "", kStartupRootUser}));
    EXPECT_EQ(script.Requests().back().text, kDisabledMessage);
    DWORD type = 0;
    EXPECT_TRUE(RunRaw(HKEY_CURRENT_USER, wide, type).empty()) << name;
  }

  CRegistryBackup backup(database, folder.Text());
  for (const auto& entry : backup.ListBackups()) {
    test::ScriptedPrompt restoreScript{IDYES, IDOK};
    ASSERT_TRUE(backup.RestoreBackup(entry.name, entry.time));
  }
  ASSERT_TRUE(test::WaitForRegExe(60s));
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(names[i]);
    DWORD type = 0;
    std::vector<BYTE> restored = RunRaw(HKEY_CURRENT_USER, std::wstring(names[i].begin(), names[i].end()), type);
    const auto* expected = reinterpret_cast<const BYTE*>(cases[i].data.data());
    EXPECT_EQ(restored, std::vector<BYTE>(expected, expected + cases[i].data.size() * 2));
    EXPECT_EQ(type, cases[i].type);
  }
}

TEST_F(StartupManagerTest, DisableDeletesNothingWhenTheBackupCannotBeWritten) {
  std::string name = test::UniqueName("Guarded");
  run.AddString(HKEY_CURRENT_USER, name, "C:\\guarded.exe");
  std::ofstream(folder.File("BKUP")) << "a file where the backup folder belongs";

  test::ScriptedPrompt script{IDYES, IDOK};
  EXPECT_FALSE(DisableStartupEntry(database, folder.Text(), StartupEntry{name, "C:\\guarded.exe", kStartupRootUser}));
  auto prompts = script.Requests();
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_EQ(prompts[1].text, "ERROR: The startup entry " + name +
                                 " was not disabled, because its backup could not be written to " + folder.Text() +
                                 "BKUP. Nothing was changed.");
  EXPECT_EQ(prompts[1].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(RunString(HKEY_CURRENT_USER, name), "C:\\guarded.exe");
  EXPECT_FALSE(test::HasEvent(database, "Startup entry disabled (" + name + ")"));
  EXPECT_TRUE(test::RegbkRows(database).empty());
}

TEST_F(StartupManagerTest, UnnamedEntryIsBackedUpAsDefaultAndRestored) {
  if (RunString(HKEY_CURRENT_USER, "")) GTEST_SKIP() << "the unnamed Run value is in use here";
  UniqueKey key = CreateKey(HKEY_CURRENT_USER, kRunKey);
  ASSERT_TRUE(WriteString(key.Get(), "", "C:\\unnamed.exe"));
  auto entries = ListStartupEntries();
  int index = IndexOf(entries, "", kStartupRootUser);
  ASSERT_GE(index, 0);

  test::ScriptedPrompt script{IDYES, IDOK, IDYES, IDOK};
  ASSERT_TRUE(DisableStartupEntry(database, folder.Text(), entries[index]));
  EXPECT_EQ(script.Requests()[0].text, "Are you sure you want to disable this startup entry  ?");
  EXPECT_FALSE(RunString(HKEY_CURRENT_USER, ""));
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].comment, "Disabled startup entry ((Default))");
  EXPECT_TRUE(rows[0].file.ends_with("\\.reg"));
  EXPECT_TRUE(test::HasEvent(database, "Startup entry disabled ()"));

  CRegistryBackup backup(database, folder.Text());
  backup.RestoreBackup(backup.ListBackups()[0].name, rows[0].time);
  EXPECT_TRUE(test::PumpUntil([&] { return RunString(HKEY_CURRENT_USER, "") == "C:\\unnamed.exe"; }, 60s));
  RegDeleteValueA(key.Get(), "");
}

TEST_F(StartupManagerTest, NothingSelectedIsRefusedByDisableAndDelete) {
  test::ScriptedPrompt script{IDOK, IDOK};
  EXPECT_FALSE(DisableStartupEntry(database, folder.Text(), StartupEntry{}));
  EXPECT_FALSE(DeleteStartupEntry(database, folder.Text(), StartupEntry{}));
  auto prompts = script.Requests();
  ASSERT_EQ(prompts.size(), 2u);
  for (const auto& prompt : prompts) {
    EXPECT_EQ(prompt.text, "ERROR: No backup entry selected");
    EXPECT_EQ(prompt.type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  }
  EXPECT_TRUE(test::RegbkRows(database).empty());
  EXPECT_TRUE(test::Events(database).empty());
}

TEST_F(StartupManagerTest, DecliningLeavesTheEntryAndWritesNothing) {
  std::string name = test::UniqueName("Kept");
  run.AddString(HKEY_CURRENT_USER, name, "C:\\kept.exe");
  test::ScriptedPrompt script{IDNO, IDNO};
  EXPECT_FALSE(DisableStartupEntry(database, folder.Text(), StartupEntry{name, "C:\\kept.exe", kStartupRootUser}));
  EXPECT_FALSE(DeleteStartupEntry(database, folder.Text(), StartupEntry{name, "C:\\kept.exe", kStartupRootUser}));
  EXPECT_EQ(RunString(HKEY_CURRENT_USER, name), "C:\\kept.exe");
  EXPECT_TRUE(test::RegbkRows(database).empty());
  EXPECT_TRUE(test::Events(database).empty());
}

TEST_F(StartupManagerTest, DeleteRemovesOnlyThatRootsValueKeepingItForTheBackupManager) {
  std::string name = test::UniqueName("Both");
  run.AddString(HKEY_CURRENT_USER, name, "C:\\user.exe");
  run.AddString(HKEY_LOCAL_MACHINE, name, "C:\\machine.exe");
  test::ScriptedPrompt script{IDYES};
  ASSERT_TRUE(DeleteStartupEntry(database, folder.Text(), StartupEntry{name, "C:\\machine.exe", kStartupRootMachine}));
  EXPECT_EQ(script.Requests()[0].text, "Are you sure you want to delete this startup entry " + name + " ?");
  EXPECT_EQ(script.Requests()[0].caption, "Tidewell startup manager");
  EXPECT_FALSE(RunString(HKEY_LOCAL_MACHINE, name));
  EXPECT_EQ(RunString(HKEY_CURRENT_USER, name), "C:\\user.exe");
  EXPECT_TRUE(test::Events(database).empty());
  CRegistryBackup backup(database, folder.Text());
  std::vector<BackupEntry> listed = backup.ListBackups();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].comment, "Deleted startup entry (" + name + ")");
  EXPECT_TRUE(backup.ImportBackup(listed[0].name, listed[0].time).notRestored.empty());
  EXPECT_EQ(RunString(HKEY_LOCAL_MACHINE, name), "C:\\machine.exe");
}

TEST_F(StartupManagerTest, MachineEntriesOfBothViewsAreListedAndDeletedInTheirOwnView) {
  std::string name = test::UniqueName("Twin");
  run.AddString(HKEY_LOCAL_MACHINE, name, "C:\\x64\\tool.exe", k64);
  run.AddString(HKEY_LOCAL_MACHINE, name, "C:\\x86\\tool.exe", k32);
  auto entries = ListStartupEntries();
  int in64 = IndexOf(entries, name, kStartupRootMachine, k64), in32 = IndexOf(entries, name, kStartupRootMachine, k32);
  ASSERT_GE(in64, 0);
  ASSERT_GT(in32, in64) << "the 64-bit view's first";
  EXPECT_EQ(entries[in64].command, "C:\\x64\\tool.exe");
  EXPECT_EQ(entries[in32].command, "C:\\x86\\tool.exe");
  EXPECT_EQ(StartupViewText(entries[in32]), "32-bit");
  EXPECT_EQ(StartupViewText(entries[in64]), "64-bit");

  test::ScriptedPrompt script{IDYES};
  ASSERT_TRUE(DeleteStartupEntry(database, folder.Text(), entries[in64]));
  EXPECT_FALSE(RunString(HKEY_LOCAL_MACHINE, name, k64));
  EXPECT_EQ(RunString(HKEY_LOCAL_MACHINE, name, k32), "C:\\x86\\tool.exe");
}

TEST_F(StartupManagerTest, DisablingAnEntryBacksUpAndRestoresItInItsOwnViewOnly) {
  struct Case {
    RegistryView disabled, kept;
    const char* header;
  };
  for (Case c : {Case{k32, k64, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\]"},
                 Case{k64, k32, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\]"}}) {
    SCOPED_TRACE(ViewLabel(c.disabled));
    std::string name = test::UniqueName("View");
    const std::string command = "\"C:\\Program Files\\Tool\\tool.exe\" /" + ViewLabel(c.disabled);
    run.AddString(HKEY_LOCAL_MACHINE, name, command, c.disabled);
    run.AddString(HKEY_LOCAL_MACHINE, name, "C:\\kept.exe", c.kept);
    auto entries = ListStartupEntries();
    int index = IndexOf(entries, name, kStartupRootMachine, c.disabled);
    ASSERT_GE(index, 0);

    test::ScriptedPrompt script{IDYES, IDOK, IDYES, IDOK};
    ASSERT_TRUE(DisableStartupEntry(database, folder.Text(), entries[index]));
    EXPECT_FALSE(RunString(HKEY_LOCAL_MACHINE, name, c.disabled));
    EXPECT_EQ(RunString(HKEY_LOCAL_MACHINE, name, c.kept), "C:\\kept.exe");
    auto rows = test::RegbkRows(database);
    ASSERT_FALSE(rows.empty());
    std::string file = test::ReadWholeFile(rows.front().file);
    EXPECT_NE(file.find(c.header), std::string::npos) << file;
    EXPECT_NE(file.find("tool.exe"), std::string::npos) << file;

    CRegistryBackup backup(database, folder.Text());
    ASSERT_TRUE(backup.RestoreBackup(backup.ListBackups().front().name, rows.front().time));
    EXPECT_TRUE(test::PumpUntil([&] { return RunString(HKEY_LOCAL_MACHINE, name, c.disabled) == command; }, 60s));
    EXPECT_TRUE(test::WaitForRegExe(60s));
    EXPECT_EQ(RunString(HKEY_LOCAL_MACHINE, name, c.kept), "C:\\kept.exe");
    CADORecordset(database).Open("delete from regbk");  // the next case's backup is then the only one
  }
}

TEST_F(StartupManagerTest, DescriptionsComeFromTheProcessesTable) {
  // Rows of the delivered table, by program name and by alternative name.
  CADORecordset recordset(database);
  ASSERT_TRUE(recordset.Open("select * from processes where pname='ctfmon.exe'"));
  std::string ctfmon;
  recordset.GetField("description", ctfmon);
  ASSERT_FALSE(ctfmon.empty());
  EXPECT_EQ(DescribeStartupCommand(database, "C:\\WINDOWS\\system32\\CTFMON.EXE /n"), "Description: " + ctfmon);
  EXPECT_EQ(DescribeStartupCommand(database, "\"C:\\Program Files\\x\\ctfmon.exe\" -q"), "Description: " + ctfmon);

  CADORecordset insert(database);
  insert.Open(FormatSql("insert into processes(pname,paltname,description) values('%s','%s','%s')", "main.exe",
                        "helper.dll", "Helper's library"));
  EXPECT_EQ(DescribeStartupCommand(database, "rundll32.exe \"C:\\Lib\\Helper.dll\",Start"),
            "Description: Helper's library");
}

TEST_F(StartupManagerTest, UnknownProgramsOfferTheSubmission) {
  std::string description = DescribeStartupCommand(database, "C:\\nowhere\\unheard-of-c.exe -x");
  EXPECT_EQ(description, kUnknown);
  EXPECT_TRUE(IsUnknownStartupDescription(description));
  EXPECT_FALSE(IsUnknownStartupDescription(DescribeStartupCommand(database, "C:\\WINDOWS\\system32\\ctfmon.exe")));
  CADORecordset insert(database);
  insert.Open("insert into processes(pname,paltname,description) values('blank.exe','','')");
  EXPECT_EQ(DescribeStartupCommand(database, "C:\\blank.exe"), kUnknown);
}

TEST_F(StartupManagerTest, CommandsWithoutAProgramNameNeverBorrowAnotherProgramsText) {
  // The delivered table has many rows without an alternative name; none may answer for an empty name.
  for (const char* command : {"", "rundll32.exe", "RUNDLL32.EXE ", "C:\\Program Files\\Vendor\\"}) {
    SCOPED_TRACE(command);
    EXPECT_TRUE(IsUnknownStartupDescription(DescribeStartupCommand(database, command)));
  }
  CADORecordset empty(database);
  ASSERT_TRUE(empty.Open("select * from processes where paltname=''"));
  EXPECT_EQ(empty.RecordCount(), 0) << "the delivered table stores empty fields as NULL";
}

TEST_F(StartupManagerTest, VersionCommentsDescribeProgramsTheTableDoesNotKnow) {
  std::string self = (test::ProgramFolder() / "startup_tests.exe").string();
  EXPECT_EQ(VersionComments(self), "Startup manager test program");
  EXPECT_EQ(DescribeStartupCommand(database, "\"" + self + "\" /background"),
            "Description: Startup manager test program");
  EXPECT_EQ(VersionComments("C:\\nowhere\\missing.exe"), "");
}

TEST(StartupSubmission, SendsTheEncodedEntryAndReportsAnyAnswerAsSubmitted) {
  test::LoopbackHttpServer server("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(SendStartupInfo(server.Host(), "a b&c", "C:\\x y.exe"), "Information submited");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].starts_with(
      "GET /cgi/submit_misc.cgi?diverse={sup_info}%20|%20a%20b%26c%20|%20C:\\x%20y.exe HTTP/1.1\r\n"))
      << requests[0];

  EXPECT_EQ(SendStartupInfo(server.Host(), "%20", ""), "Information submited");
  EXPECT_TRUE(server.Requests().back().starts_with("GET /cgi/submit_misc.cgi?diverse={sup_info}%20|%20%2520%20|%20 "));
}

TEST(StartupSubmission, NoServerMeansUnableToConnect) {
  EXPECT_EQ(SendStartupInfo(test::LoopbackHttpServer::UnusedHost(), "a", "b"), "Unable to connect to server");
}

}  // namespace
}  // namespace tidewell
