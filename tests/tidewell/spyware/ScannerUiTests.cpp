// The scanner tab as a user meets it: the location tree and its rows, a scan
// started with "Scan", its messages and event, and the results dialog.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "resources/resource.h"
#include "shared/db/AdoRecordset.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/spyware/SpywareFixtures.h"
#include "shared/win/AppFolder.h"
#include "shared/win/FileSystem.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/spyware/DefinitionsFile.h"
#include "tidewell/spyware/ScanLocations.h"
#include "tidewell/spyware/SpywarePage.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

// The main window with the scanner tab selected: check boxes in the tree and
// the tree's notifications passed to the page.
class ScannerWindow : public test::FakeMainWindow {
 public:
  explicit ScannerWindow(CADODatabase& database) : FakeMainWindow(&database) {
    ShowTreeCheckBoxes(true);
    onNotify = [this](const NMHDR& header) { return page.OnNotify(header); };
  }
  SpywarePage page{*this};
};

struct Fixture {
  test::TestAppFolder app;
  CADODatabase database;
  Fixture() { EXPECT_TRUE(database.Open(app.ConnectionString())); }
};

std::map<std::string, std::string> LocationRows(CADODatabase& database) {
  std::map<std::string, std::string> rows;
  CADORecordset recordset(database);
  if (!recordset.Open("select * from spwscan") || recordset.RecordCount() == 0) return rows;
  for (recordset.MoveFirst(); !recordset.IsEOF(); recordset.MoveNext()) {
    std::string location, action;
    recordset.GetField("Location", location);
    recordset.GetField("Action", action);
    rows[location] = action;
  }
  return rows;
}

TEST(ScanLocationTree, ChecksAreSavedForTheItemAndItsLoadedChildrenByMouseAndKeyboard) {
  Fixture fixture;
  ScannerWindow window(fixture.database);
  HWND tree = window.Tree();
  BuildLocationTree(tree, {"C:\\"}, fixture.database);
  HTREEITEM root = TreeView_GetRoot(tree);
  ToggleLocation(fixture.database, tree, root);
  std::map<std::string, std::string> expected = {
      {"Scan my PC", "include"},           {"Scan my PC\\My computer", "include"},
      {"Scan my PC\\My computer\\C:\\", "include"}, {"Scan my PC\\Registry", "include"},
      {"Scan my PC\\Memory", "include"},   {"Scan my PC\\Cookies", "include"}};
  EXPECT_EQ(LocationRows(fixture.database), expected) << "placeholders get no row";

  // The space bar toggles the selected item as a click on its box would.
  HTREEITEM drive = window.FindChild(window.FindChild(root, "My computer"), "C:\\");
  ASSERT_TRUE(drive);
  TreeView_SetCheckState(tree, drive, TRUE);
  TreeView_SelectItem(tree, drive);
  NMTVKEYDOWN key{};
  key.hdr.hwndFrom = tree;
  key.hdr.idFrom = 1003;
  key.hdr.code = TVN_KEYDOWN;
  key.wVKey = VK_SPACE;
  SendMessageA(window.Handle(), WM_NOTIFY, 1003, reinterpret_cast<LPARAM>(&key));
  EXPECT_EQ(LocationRows(fixture.database)["Scan my PC\\My computer\\C:\\"], "exclude");

  ScanScope scope = ReadScanScope(fixture.database);
  EXPECT_TRUE(scope.memory && scope.registry && scope.cookies && scope.myComputer);
  EXPECT_TRUE(scope.includedFolders.empty()) << "the excluded drive is not searched";
  SaveLocationChoice(fixture.database, "Scan my PC\\My computer\\C:\\", true);
  EXPECT_EQ(ReadScanScope(fixture.database).includedFolders, std::vector<std::string>{"C:\\"});
  // A folder name with an apostrophe is saved like any other.
  SaveLocationChoice(fixture.database, "Scan my PC\\My computer\\C:\\Bob's", true);
  EXPECT_EQ(LocationRows(fixture.database)["Scan my PC\\My computer\\C:\\Bob's"], "include");
}

TEST(ScanLocationTree, IsFilledOnlyWhileTheScannerTabIsSelected) {
  Fixture fixture;
  ScannerWindow window(fixture.database);
  window.page.Shown();
  window.BorrowTree();  // another tab takes the tree
  test::PumpFor(1000ms);
  EXPECT_EQ(TreeView_GetCount(window.Tree()), 0u) << "another tab owns the tree now";

  SaveLocationChoice(fixture.database, "Scan my PC\\Memory", true);
  window.page.Shown();
  window.page.Shown();
  ASSERT_TRUE(test::PumpUntil([&] { return TreeView_GetCount(window.Tree()) > 0; }, 10s));
  test::PumpFor(300ms);
  EXPECT_EQ(TreeView_GetCount(window.Tree()), 5u + ListScanDrives().size() * 2) << "built once: items and placeholders";
  EXPECT_TRUE(LocationRows(fixture.database).empty()) << "a new showing starts with no choices";
}

struct ScanRun {
  Fixture fixture;
  ScannerWindow window{fixture.database};
  std::string definitions = fixture.app.File("extra.neo");
  ScanRun() { window.page.SetDefinitionsPath(definitions); }
  // What a removal kept beside the test program goes with the test.
  ~ScanRun() {
    for (const test::RegbkRow& row : test::RegbkRows(fixture.database))
      if (IsActionManifest(row.file)) FreeAction(row.file);
  }
  bool WaitUntilIdle() { return test::PumpUntil([this] { return !window.page.Scanning(); }, 20s); }
  void Scan() { window.page.StartScan(); }
  HWND Results() const { return window.page.ResultsWindow(); }
};

TEST(SpywareScanner, ScanShowsTheResultsAndRemovesOnlyTheTickedRows) {
  ScanRun run;
  std::string name = test::SpyName("ui");
  test::PlantedKey first(HKEY_CURRENT_USER, "Software\\" + name + "\\first");
  test::PlantedKey second(HKEY_CURRENT_USER, "Software\\" + name + "\\second");
  ASSERT_TRUE(test::WriteDefinitions(
      run.definitions, "<SPYWARE><E NAME=\"Planted O'Toolbar\"><DESCRIPTION>Planted by a test.</DESCRIPTION>"
                       "<REGISTRY><KEYS>"
                       "<K1 MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\" + name + "\" VALUE=\"first\"/>"
                       "<K2 MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\" + name + "\" VALUE=\"second\"/>"
                       "</KEYS></REGISTRY></E></SPYWARE>"));
  SaveLocationChoice(run.fixture.database, "Scan my PC\\Registry", true);
  test::ScriptedPrompt prompts({IDYES});

  run.Scan();
  run.Scan();  // one scan at a time
  ASSERT_TRUE(test::PumpUntil([&] { return run.Results() != nullptr; }, 20s));
  HWND results = run.Results();
  HWND list = GetDlgItem(results, IDC_DETECTED_LIST);
  ASSERT_EQ(ListView_GetItemCount(list), 2);
  EXPECT_FALSE(IsWindowEnabled(run.window.Button(IDB_SPYWARE_SCAN))) << "one scan at a time";
  char text[300] = {};
  ListView_GetItemText(list, 0, 2, text, sizeof text);
  EXPECT_EQ(std::string(text), "HKEY_CURRENT_USER\\Software\\" + name + "\\second") << "newest first";
  EXPECT_TRUE(ListView_GetCheckState(list, 0) && ListView_GetCheckState(list, 1));
  EXPECT_EQ(test::EventTexts(run.fixture.database).back(), "Spyware scan detected 2 infected locations");

  NMLVGETINFOTIPA tip{};
  char tipText[256] = {};
  tip.hdr.hwndFrom = list;
  tip.hdr.idFrom = IDC_DETECTED_LIST;
  tip.hdr.code = LVN_GETINFOTIPA;
  tip.pszText = tipText;
  tip.cchTextMax = sizeof tipText;
  tip.iItem = 1;
  SendMessageA(results, WM_NOTIFY, IDC_DETECTED_LIST, reinterpret_cast<LPARAM>(&tip));
  EXPECT_STREQ(tipText, "Description: Planted by a test.");

  ListView_SetCheckState(list, 0, FALSE);  // keep "second"
  SendMessageA(results, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(test::PumpUntil([&] { return ListView_GetItemCount(list) == 1; }, 20s));
  EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, "Software\\" + name + "\\first"));
  EXPECT_TRUE(OpenKey(HKEY_CURRENT_USER, "Software\\" + name + "\\second"));
  ASSERT_FALSE(prompts.Requests().empty());
  EXPECT_EQ(prompts.Requests()[0].text, "Are you sure you want to remove selected entries?");
  EXPECT_EQ(prompts.Requests()[0].caption, "Tidewell");

  SendMessageA(results, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(run.WaitUntilIdle());
  EXPECT_TRUE(IsWindowEnabled(run.window.Button(IDB_SPYWARE_SCAN)));
  CADORecordset repair(run.fixture.database);
  EXPECT_FALSE(repair.Open("select * from spw_repair")) << "the table goes with the dialog";
  EXPECT_EQ(test::CountEvents(run.fixture.database, "Spyware scan detected 2 infected locations"), 1);
}

TEST(SpywareScanner, ATickedRowThatCannotBeRemovedStaysAndIsNamed) {
  ScanRun run;
  std::string vendor = test::SpyName("held");
  test::PlantedFolder folder(test::Environment("ProgramFiles") + "\\" + vendor);
  std::string held = folder.File("held.dat"), loose = folder.File("loose.dat");
  ASSERT_TRUE(test::WriteTextFile(held, "held") && test::WriteTextFile(loose, "loose"));
  UniqueHandle lock(CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(test::WriteDefinitions(
      run.definitions, "<SPYWARE><E NAME=\"Held\"><DESCRIPTION>d</DESCRIPTION><FILES>"
                       "<F1 NAME=\"held.dat\" PATH=\"PFDir\\\\" + vendor + "\"/>"
                       "<F2 NAME=\"loose.dat\" PATH=\"PFDir\\\\" + vendor + "\"/></FILES></E></SPYWARE>"));
  SaveLocationChoice(run.fixture.database, "Scan my PC\\My computer", true);
  test::ScriptedPrompt prompts({IDYES, IDOK});

  run.Scan();
  ASSERT_TRUE(test::PumpUntil([&] { return run.Results() != nullptr; }, 20s));
  HWND list = GetDlgItem(run.Results(), IDC_DETECTED_LIST);
  ASSERT_EQ(ListView_GetItemCount(list), 2);
  SendMessageA(run.Results(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(test::PumpUntil([&] { return prompts.Requests().size() == 2; }, 20s));

  ASSERT_EQ(ListView_GetItemCount(list), 1);
  char text[300] = {};
  ListView_GetItemText(list, 0, 2, text, sizeof text);
  EXPECT_EQ(std::string(text), held);
  EXPECT_EQ(prompts.Requests()[1].text, "Unable to remove " + held + " (it is in use)");
  EXPECT_FALSE(test::Exists(loose));
  SendMessageA(run.Results(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(run.WaitUntilIdle());
}

TEST(SpywareScanner, OneRemovalComesBackWholeFromTheBackupManager) {
  ScanRun run;
  std::string vendor = test::SpyName("undo"), name = test::SpyName("undokey");
  test::PlantedFolder folder(test::Environment("ProgramFiles") + "\\" + vendor);
  std::string tree = folder.File("tree"), readOnly = folder.File("tree\\sub\\ro.dat"), file = folder.File("spy.exe");
  ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr) && CreateDirectoryA(folder.File("tree\\sub").c_str(), nullptr));
  ASSERT_TRUE(test::WriteTextFile(readOnly, "read only \x01\x02") && test::WriteTextFile(file, "MZ spy"));
  ASSERT_TRUE(test::WriteTextFile(folder.File("tree\\a.dat"), "a"));
  ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  test::PlantedKey deep(HKEY_CURRENT_USER, "Software\\" + name + "\\one\\two\\three");
  ASSERT_TRUE(deep.SetValue("data", 40));
  std::vector<RegistryValue> deepValues = Values(deep.Key());
  UniqueKey runKey = OpenKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", KEY_ALL_ACCESS);
  ASSERT_TRUE(WriteString(runKey.Get(), name, "\"C:\\spy\\" + name + ".exe\" /quiet"));
  ASSERT_TRUE(test::WriteDefinitions(
      run.definitions, "<SPYWARE><E NAME=\"Undo bar\"><DESCRIPTION>d</DESCRIPTION><REGISTRY><KEYS>"
                       "<K MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\" + name + "\\\\one\" VALUE=\"two\"/></KEYS>"
                       "<VALUES><V MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion"
                       "\\\\Run\" VALUE=\"" + name + "\"/></VALUES></REGISTRY>"
                       "<FILES><F NAME=\"spy.exe\" PATH=\"PFDir\\\\" + vendor + "\"/></FILES>"
                       "<DIRECTORIES><D NAME=\"tree\" PATH=\"PFDir\\\\" + vendor + "\"/></DIRECTORIES></E></SPYWARE>"));
  SaveLocationChoice(run.fixture.database, "Scan my PC\\My computer", true);
  SaveLocationChoice(run.fixture.database, "Scan my PC\\Registry", true);
  test::ScriptedPrompt prompts({IDYES, IDYES});
  run.Scan();
  ASSERT_TRUE(test::PumpUntil([&] { return run.Results() != nullptr; }, 20s));
  HWND list = GetDlgItem(run.Results(), IDC_DETECTED_LIST);
  ASSERT_EQ(ListView_GetItemCount(list), 4);
  SendMessageA(run.Results(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(test::PumpUntil([&] { return ListView_GetItemCount(list) == 0; }, 30s)) << "every piece went";
  EXPECT_FALSE(test::Exists(tree) || test::Exists(file));
  EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, "Software\\" + name + "\\one\\two"));
  EXPECT_FALSE(ReadString(runKey.Get(), name));
  SendMessageA(run.Results(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(run.WaitUntilIdle());

  std::vector<test::RegbkRow> rows = test::RegbkRows(run.fixture.database);
  ASSERT_EQ(rows.size(), 1u) << "one press, one backup";
  EXPECT_EQ(rows[0].comment, "Removed spyware: Undo bar");
  CRegistryBackup backup(run.fixture.database, GetAppFolder());
  std::vector<BackupEntry> listed = backup.ListBackups();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_NE(listed[0].sizeText, "0.00 bytes") << "the row shows what it keeps";
  RestoreResult restored = backup.ImportBackup(listed[0].name, listed[0].time);
  EXPECT_TRUE(restored.notRestored.empty()) << restored.notRestored.front();
  EXPECT_EQ(restored.piecesRestored, restored.pieces);
  EXPECT_EQ(test::ReadWholeFile(readOnly), "read only \x01\x02");
  EXPECT_EQ(test::ReadWholeFile(file), "MZ spy");
  EXPECT_EQ(test::ReadWholeFile(folder.File("tree\\a.dat")), "a");
  EXPECT_TRUE(GetFileAttributesA(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY) << "still read-only";
  UniqueKey back = OpenKey(HKEY_CURRENT_USER, "Software\\" + name + "\\one\\two\\three");
  ASSERT_TRUE(back);
  std::vector<RegistryValue> backValues = Values(back.Get());
  ASSERT_EQ(backValues.size(), deepValues.size());
  EXPECT_EQ(backValues[0].data, deepValues[0].data);
  EXPECT_EQ(ReadString(runKey.Get(), name), "\"C:\\spy\\" + name + ".exe\" /quiet");
  RegDeleteValueA(runKey.Get(), name.c_str());
  EXPECT_TRUE(backup.DeleteBackup(listed[0].name, listed[0].time));
  EXPECT_TRUE(IsGone(backup.BackupFolder(listed[0].time))) << "the kept pieces are freed";
}

TEST(SpywareScanner, DefinitionsThatAreNotOneWholeDocumentEndTheScanWithThePathAlone) {
  ScanRun run;
  SaveLocationChoice(run.fixture.database, "Scan my PC\\Memory", true);
  // This noise deciphers to text that reads as one element cut off by the end.
  std::mt19937 random(3);
  std::string noise(2048, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  // Cut at a whole block inside the description: the text before it is exact.
  std::string whole = test::PackDefinitions("<SPYWARE><E NAME=\"Cut\"><DESCRIPTION>" + std::string(400, 'd') +
                                            "</DESCRIPTION></E></SPYWARE>");
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"short", "short"},
      {"random", noise},
      {"truncated", whole.substr(0, 256)},
  };
  for (const auto& item : cases) {
    test::WriteTextFile(run.definitions, item.bytes);
    test::ScriptedPrompt prompts({IDOK});
    run.Scan();
    ASSERT_TRUE(run.WaitUntilIdle()) << item.what;
    ASSERT_EQ(prompts.Requests().size(), 1u) << item.what << ": nothing after the path";
    EXPECT_EQ(prompts.Requests()[0].text, run.definitions) << item.what;
    EXPECT_EQ(prompts.Requests()[0].caption, "Tidewell") << item.what;
    EXPECT_EQ(test::EventTexts(run.fixture.database).back(), "Spyware scan detected 0 infected locations") << item.what;
  }
  DeleteFileA(run.definitions.c_str());
  test::ScriptedPrompt prompts({IDOK});
  run.Scan();
  ASSERT_TRUE(run.WaitUntilIdle());
  ASSERT_EQ(prompts.Requests().size(), 1u);
  EXPECT_EQ(prompts.Requests()[0].text, MissingDefinitionsMessage());
  EXPECT_EQ(prompts.Requests()[0].caption, "Tidewell");
}

TEST(SpywareScanner, DetectionsTheDatabaseCannotTakeAreSaidSoAndStillListed) {
  ScanRun run;
  std::string name = test::SpyName("unrecorded");
  test::PlantedKey planted(HKEY_CURRENT_USER, "Software\\" + name + "\\agent");
  ASSERT_TRUE(test::WriteDefinitions(
      run.definitions, "<SPYWARE><E NAME=\"Unrecorded\"><DESCRIPTION>d</DESCRIPTION><REGISTRY><KEYS>"
                       "<K1 MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\" + name + "\" VALUE=\"agent\"/>"
                       "</KEYS></REGISTRY></E></SPYWARE>"));
  SaveLocationChoice(run.fixture.database, "Scan my PC\\Registry", true);
  // Another writer (Skylark, say) holds the database: every write of the scan
  // gives up after the connection's wait, here one second.
  run.fixture.database.Close();
  run.fixture.database.SetConnectionTimeout(1);
  ASSERT_TRUE(run.fixture.database.Open(run.fixture.app.ConnectionString()));
  struct HeldWrite {
    ~HeldWrite() { database.RollbackTransaction(); }
    CADODatabase database;
  } writer;
  ASSERT_TRUE(writer.database.Open(run.fixture.app.ConnectionString()));
  ASSERT_TRUE(writer.database.BeginTransaction());
  test::ScriptedPrompt prompts({IDOK});

  run.Scan();
  ASSERT_TRUE(test::PumpUntil([&] { return run.Results() != nullptr; }, 20s));
  EXPECT_EQ(ListView_GetItemCount(GetDlgItem(run.Results(), IDC_DETECTED_LIST)), 1);
  SendMessageA(run.Results(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(run.WaitUntilIdle());

  ASSERT_EQ(prompts.Requests().size(), 1u);
  EXPECT_NE(prompts.Requests()[0].text.find("could not record"), std::string::npos) << prompts.Requests()[0].text;
  EXPECT_EQ(prompts.Requests()[0].caption, "Tidewell");
}

TEST(SpywareScanner, DoesNothingWithoutAChosenLocation) {
  ScanRun run;
  test::ScriptedPrompt prompts;
  run.Scan();
  EXPECT_FALSE(run.window.page.Scanning());
  test::PumpFor(300ms);
  EXPECT_TRUE(prompts.Requests().empty());
}

TEST(DefinitionsFile, SitsBesideTheDatabase) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Tools\\\\bhodb.mdb", "C:\\TOOLS\\extra.neo"},
      {"\\\\server\\share\\Tidewell\\bhodb.mdb", "\\\\SERVER\\SHARE\\TIDEWELL\\extra.neo"},
      {"\\\\server\\\\share\\bhodb.mdb", "\\\\SERVER\\SHARE\\extra.neo"},
  };
  for (const auto& [database, definitions] : cases) EXPECT_EQ(DefinitionsPathFor(database), definitions) << database;
}

}  // namespace
}  // namespace tidewell
