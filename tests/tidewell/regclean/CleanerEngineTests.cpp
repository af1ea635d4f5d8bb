#include "tidewell/regclean/CleanerEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "shared/db/AdoRecordset.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/SystemFolders.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/regclean/RegcleanFixtures.h"

namespace tidewell {
namespace {

constexpr const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kHelp = "SOFTWARE\\Microsoft\\Windows\\Help";
constexpr const char* kHtmlHelp = "SOFTWARE\\Microsoft\\Windows\\HTML Help";
constexpr const char* kSharedDlls = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class NullSink : public CleanerSink {
 public:
  void Status(const std::string& text) override { last = text; }
  void Found(int count) override { found = count; }
  std::string last;
  int found = -1;
};

bool TwoViews() { return RegistryViews().size() > 1; }
std::string Label64() { return TwoViews() ? " (64-bit)" : ""; }
// Where a key planted without a view choice lands: this build's own view.
std::string NativeLabel() { return TwoViews() && sizeof(void*) == 4 ? " (32-bit)" : Label64(); }

using test::Environment;

// A drive letter no volume answers to.
std::string AbsentDrive() {
  DWORD drives = GetLogicalDrives();
  for (char letter = 'Y'; letter > 'D'; --letter)
    if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter) + ":";
  return {};
}

// Files made through the wide functions, so every name is exact whatever the
// code page; the folders given are removed at the end.
class PlantedFiles {
 public:
  ~PlantedFiles() {
    std::error_code ignored;
    for (const auto& path : removed_) std::filesystem::remove_all(PathFromUtf8(path), ignored);
  }
  void Make(const std::string& path, const std::string& removed) {
    removed_.push_back(removed);
    std::error_code ignored;
    std::filesystem::create_directories(PathFromUtf8(path).parent_path(), ignored);
    UniqueHandle file(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_TRUE(file) << path;
  }

 private:
  std::vector<std::string> removed_;
};

class CleanerEngineTest : public ::testing::Test {
 protected:
  CleanerEngineTest() {
    EXPECT_TRUE(database.Open(folder.ConnectionString()));
    missing = "C:\\TwMissing" + M();
  }
  const std::string& M() const { return planted.Marker(); }

  // ptype, rootkey and subkey of the marked rows, sorted.
  std::set<std::string> Found() {
    std::set<std::string> found;
    for (const auto& row : test::MarkedProblems(database, M()))
      found.insert(row.ptype + "|" + row.rootkey + "|" + row.subkey);
    return found;
  }
  ScanResult Scan(Category category) { return ScanCategory(database, category, StopToken(), sink); }
  RepairResult RunRepair(Category category) {
    CRegistryBackup backup(database, folder.Text());
    return RepairCategory(database, backup, category, StopToken(), sink);
  }

  test::TestAppFolder folder;
  CADODatabase database;
  test::PlantedEntries planted;
  NullSink sink;
  std::string missing;
};

TEST_F(CleanerEngineTest, CustomControlsWithMissingFilesAreFoundInBothViews) {
  std::string sys = test::SystemFolder();
  // Found only by the loader's second chance (".dll" added), which must never run its entry point.
  test::TempFolder temp;
  const std::string library = temp.File("TwEntry" + M()), ran = library + ".dll.ran";
  ASSERT_TRUE(std::filesystem::copy_file(test::ProgramFolder() / "regclean_entry_marker.dll",
                                         WideFromUtf8(library + ".dll")));
  std::map<std::string, std::pair<std::string, DWORD>> classes = {
      {"{" + M() + "-1}", {missing + "\\a.dll", REG_SZ}},
      {"{" + M() + "-2}", {sys + "\\kernel32.dll", REG_SZ}},
      {"{" + M() + "-3}", {"%SystemRoot%\\system32\\kernel32.dll", REG_EXPAND_SZ}},
      {"{" + M() + "-4}", {"%SystemRoot%\\TwMissing" + M() + ".dll", REG_EXPAND_SZ}},
      {"{" + M() + "-5}", {"mscoree.dll", REG_SZ}},
      {"{" + M() + "-6}", {"C:\\Tw'Missing" + M() + "\\x.dll", REG_SZ}},
      {"{" + M() + "-7}", {"\"" + sys + "\\kernel32.dll\"", REG_SZ}},
      {"{" + M() + "-8}", {sys + "\\kernel32", REG_SZ}},  // found as a library, ".dll" added
      {"{" + M() + "-10}", {library, REG_SZ}},
  };
  for (const auto& [name, value] : classes)
    planted.Key(HKEY_CLASSES_ROOT, "CLSID\\" + name + "\\InprocServer32", "", value.first, value.second);
  if (TwoViews())
    planted.Key(HKEY_CLASSES_ROOT, "CLSID\\{" + M() + "-9}\\InprocServer32", "", missing + "\\b.dll", REG_SZ,
                RegistryView::Bits32);

  ScanResult result = Scan(Category::CustomControls);
  EXPECT_FALSE(result.stopped);
  std::set<std::string> expected = {
      "RCC|HKCR" + NativeLabel() + "|CLSID\\{" + M() + "-1}\\InprocServer32",
      "RCC|HKCR" + NativeLabel() + "|CLSID\\{" + M() + "-4}\\InprocServer32",
      "RCC|HKCR" + NativeLabel() + "|CLSID\\{" + M() + "-6}\\InprocServer32",
  };
  if (TwoViews()) expected.insert("RCC|HKCR (32-bit)|CLSID\\{" + M() + "-9}\\InprocServer32");
  EXPECT_EQ(Found(), expected);
  EXPECT_TRUE(test::HasEvent(database, "Scanning registered custom controls found " + std::to_string(result.found) +
                       " invalid entries"));
  EXPECT_GE(result.found, static_cast<int>(expected.size()));
  EXPECT_FALSE(test::PathExists(ran));
  UniqueModule run(LoadLibraryA((library + ".dll").c_str()));  // the marker does show a run
  EXPECT_TRUE(run && test::PathExists(ran));
}

TEST_F(CleanerEngineTest, ProgramsAreJudgedMissingOnlyWhenNoReadingOfTheCommandFindsThem) {
  test::TempFolder temp;
  std::string sys = test::SystemFolder(), marker = temp.File("ran.txt");
  std::string appPath = "TwAppPath" + M() + ".exe";
  planted.Key(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "\\" + appPath, "", sys + "\\notepad.exe");
  std::map<std::string, std::string> run = {
      {M() + "-quoted", "\"" + sys + "\\notepad.exe\" -x"},
      {M() + "-switch", sys + "\\notepad.exe /min"},
      {M() + "-variable", "%SystemRoot%\\system32\\notepad.exe"},
      {M() + "-missing", missing + "\\t.exe -min"},
      {M() + "-dash", "C:\\Program Files\\Tw - " + M() + "\\x.exe"},
      {M() + "-unset", "%TW_NOT_SET_" + M() + "%\\x.exe"},
      {M() + "-bare", "notepad.exe"},
      {M() + "-baremissing", "TwMissing" + M() + ".exe"},
      {M() + "-apppath", appPath + " -x"},
      {M() + "-blank", "   "},
      {M() + "-wouldrun", "cmd.exe /c echo ran > \"" + marker + "\""},
  };
  for (const auto& [name, command] : run) planted.Value(HKEY_LOCAL_MACHINE, kRun, name, command);
  if (TwoViews()) planted.Value(HKEY_LOCAL_MACHINE, kRun, M() + "-wow", missing + "\\w.exe", REG_SZ, RegistryView::Bits32);

  planted.Key(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\" + M() + "-quoted", "UninstallString",
              "\"C:\\TwMissing " + M() + "\\un.exe\" /S");
  planted.Key(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\" + M() + "-msi", "UninstallString",
              "MsiExec.exe /X{00000000-0000-0000-0000-000000000000}");
  planted.Key(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\" + M() + "-none", "DisplayName", "No string");
  planted.Key(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\" + M() + "-spaces", "UninstallString",
              "C:\\TwMissing " + M() + "\\un.exe /S");
  planted.Key(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "\\" + M() + "-gone.exe", "", missing + "\\gone.exe");

  Scan(Category::Startup);
  Scan(Category::AddRemove);
  Scan(Category::SoftwareLocations);
  std::string hklm = "HKLM" + NativeLabel();
  std::set<std::string> expected = {
      "SUP|" + hklm + "|" + M() + "-missing",
      "SUP|" + hklm + "|" + M() + "-dash",
      "SUP|" + hklm + "|" + M() + "-baremissing",
      "ARP|" + hklm + "|" + kUninstall + "\\" + M() + "-quoted",
      "ARP|" + hklm + "|" + kUninstall + "\\" + M() + "-spaces",
      "SWL|HKLM" + Label64() + "|" + kAppPaths + "\\" + M() + "-gone.exe",
  };
  if (TwoViews()) expected.insert("SUP|HKLM (32-bit)|" + M() + "-wow");
  EXPECT_EQ(Found(), expected);
  // Judged without being run.
  EXPECT_FALSE(test::PathExists(marker));
}

TEST_F(CleanerEngineTest, HelpAndSharedFilesAreFoundByTheirOwnRules) {
  test::TempFolder temp;
  std::string present = M() + ".chm";
  std::ofstream(temp.File(present)) << "help";
  std::ofstream(temp.File(M() + ".dll")) << "dll";
  std::string tempFolder = temp.Path().string();
  planted.Value(HKEY_LOCAL_MACHINE, kHelp, M() + ".hlp", test::WindowsFolder());
  planted.Value(HKEY_LOCAL_MACHINE, kHelp, M() + "-nofolder.hlp", "");
  planted.Value(HKEY_LOCAL_MACHINE, kHtmlHelp, present, tempFolder);
  planted.Value(HKEY_LOCAL_MACHINE, kHtmlHelp, M() + "-gone.chm", tempFolder);
  planted.Value(HKEY_LOCAL_MACHINE, kSharedDlls, missing + "\\shared.dll", "1", REG_SZ);
  planted.Value(HKEY_LOCAL_MACHINE, kSharedDlls, temp.File(M() + ".dll"), "1", REG_SZ);

  Scan(Category::HelpAndResources);
  Scan(Category::SharedPrograms);
  std::string hklm = "HKLM" + NativeLabel();
  EXPECT_EQ(Found(), (std::set<std::string>{"HHR|" + hklm + "|" + M() + ".hlp", "HHR1|" + hklm + "|" + M() + "-gone.chm",
                                            "SSDLL|" + hklm + "|" + missing + "\\shared.dll"}));
  for (const auto& row : test::MarkedProblems(database, M())) {
    if (row.ptype == "HHR") {
      EXPECT_EQ(row.problem, test::WindowsFolder() + "\\" + M() + ".hlp");
    }
  }
}

TEST_F(CleanerEngineTest, OnlyAFileTheSystemSaysIsNotFoundMakesAnEntryInvalid) {
  test::TempFolder temp;
  PlantedFiles files;
  std::string folder = temp.Text() + "Čech";
  std::string present = folder + "\\日本😀.exe";
  files.Make(present, folder);
  std::string longName;
  for (int i = 0; i < 100; ++i) longName += "日";  // 300 bytes of UTF-8

  struct Case {
    std::string name;
    std::string command;
    RegistryView view;
    bool invalid;
  };
  std::vector<Case> cases = {
      {"-present", "\"" + present + "\" /min", RegistryView::Native, false},
      {"-missing", folder + "\\chybí.exe", RegistryView::Native, true},
      {"-long" + longName, folder + "\\gone.exe", RegistryView::Native, true},
      {"-badname", folder + "\\a<b>.exe", RegistryView::Native, false},
      {"-unc", "\\\\no-such-host-tidewell\\share\\x.exe", RegistryView::Native, false},
      {"-nodrive", AbsentDrive() + "\\TwRc\\x.exe", RegistryView::Native, false},
  };
  if (TwoViews()) {
    // Each view's program folders and System32 hold one file the other's lack.
    std::string own = "\\" + M();
    std::string programs64 = Environment("ProgramW6432") + own, programs32 = Environment("ProgramFiles(x86)") + own;
    std::string common64 = Environment("CommonProgramW6432") + own;
    char system[MAX_PATH] = "", other[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
#ifdef _WIN64
    GetSystemWow64DirectoryA(other, MAX_PATH);
    std::string system64 = system, system32 = other;
#else
    GetWindowsDirectoryA(other, MAX_PATH);
    std::string system64 = std::string(other) + "\\Sysnative", system32 = system;  // SysWOW64 to a 32-bit program
#endif
    files.Make(programs64 + "\\p64.exe", programs64);
    files.Make(programs32 + "\\p32.exe", programs32);
    files.Make(common64 + "\\c64.exe", common64);
    files.Make(system64 + own + "-64.exe", system64 + own + "-64.exe");
    files.Make(system32 + own + "-32.exe", system32 + own + "-32.exe");
    for (RegistryView view : {RegistryView::Bits64, RegistryView::Bits32}) {
      bool is64 = view == RegistryView::Bits64;
      std::string tag = is64 ? "-v64" : "-v32";
      cases.push_back({tag + "-p64", "\"%ProgramFiles%" + own + "\\p64.exe\" -x", view, !is64});
      cases.push_back({tag + "-p32", "\"%ProgramFiles%" + own + "\\p32.exe\" -x", view, is64});
      cases.push_back({tag + "-c64", "%CommonProgramFiles%" + own + "\\c64.exe", view, !is64});
      cases.push_back({tag + "-s64", "%SystemRoot%\\system32" + own + "-64.exe", view, !is64});
      cases.push_back({tag + "-s32", "%SystemRoot%\\system32" + own + "-32.exe", view, is64});
    }
  }
  std::set<std::string> expected;
  for (const auto& c : cases) {
    planted.Value(HKEY_LOCAL_MACHINE, kRun, M() + c.name, c.command, REG_EXPAND_SZ, c.view);
    std::string label = c.view == RegistryView::Native ? NativeLabel() : " (" + ViewLabel(c.view) + ")";
    if (c.invalid) expected.insert("SUP|HKLM" + label + "|" + M() + c.name);
  }
  // App Paths: a key named outside ASCII whose program exists, and one whose does not.
  std::string appPaths = std::string(kAppPaths) + "\\" + M();
  planted.Key(HKEY_LOCAL_MACHINE, appPaths + "日本.exe", "", present);
  planted.Key(HKEY_LOCAL_MACHINE, appPaths + longName + ".exe", "", folder + "\\gone.exe");
  expected.insert("SWL|HKLM" + Label64() + "|" + appPaths + longName + ".exe");

  Scan(Category::Startup);
  Scan(Category::SoftwareLocations);
  EXPECT_EQ(Found(), expected);
}

TEST_F(CleanerEngineTest, AnEntryWhoseFileAppearedAfterTheScanIsKeptAndDropsOutOfTheProblems) {
  test::TempFolder temp;
  std::string program = temp.File("late.exe"), value = M() + "-late";
  std::string key = std::string(kAppPaths) + "\\" + M() + ".exe";
  planted.Value(HKEY_LOCAL_MACHINE, kRun, value, "\"" + program + "\" /start");
  planted.Key(HKEY_LOCAL_MACHINE, key, "", program);
  Scan(Category::Startup);
  Scan(Category::SoftwareLocations);
  auto rows = test::MarkedProblems(database, M());
  ASSERT_EQ(rows.size(), 2u);
  test::MarkForRepair(database, rows);
  std::ofstream(program) << "reinstalled";

  EXPECT_EQ(RunRepair(Category::Startup).valid, 1);
  EXPECT_EQ(RunRepair(Category::SoftwareLocations).valid, 1);
  EXPECT_TRUE(ReadString(OpenKey(HKEY_LOCAL_MACHINE, kRun).Get(), value));
  EXPECT_TRUE(OpenKey(HKEY_LOCAL_MACHINE, key));
  EXPECT_TRUE(test::MarkedProblems(database, M()).empty());
  EXPECT_TRUE(test::RegbkRows(database).empty());
  for (const auto& event : test::Events(database)) EXPECT_EQ(event.text.find("Repaired"), std::string::npos);
}

TEST_F(CleanerEngineTest, RepairDeletesOnlyMarkedEntriesAfterTheirBackupAndTheBackupBringsThemBack) {
  std::string sys = test::SystemFolder();
  std::string valid = M() + "-valid", invalid = M() + "-invalid", other = M() + "-unmarked";
  planted.Value(HKEY_LOCAL_MACHINE, kRun, valid, sys + "\\notepad.exe");
  planted.Value(HKEY_LOCAL_MACHINE, kRun, invalid, "\"" + missing + "\\t.exe\" -a", REG_EXPAND_SZ);
  planted.Value(HKEY_LOCAL_MACHINE, kRun, other, missing + "\\other.exe");
  std::string clsid = "CLSID\\{" + M() + "}";
  planted.Key(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "", missing + "\\c.dll");
  UniqueKey inproc = OpenKey(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", KEY_ALL_ACCESS);
  WriteString(inproc.Get(), "ThreadingModel", "Both");
  inproc.Reset();

  Scan(Category::Startup);
  Scan(Category::CustomControls);
  auto rows = test::MarkedProblems(database, M());
  ASSERT_EQ(rows.size(), 3u);
  rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const auto& row) { return row.subkey == other; }), rows.end());
  test::MarkForRepair(database, rows);

  RepairResult startup = RunRepair(Category::Startup);
  RepairResult controls = RunRepair(Category::CustomControls);
  EXPECT_EQ(startup.repaired, 1);
  EXPECT_EQ(controls.repaired, 1);
  EXPECT_TRUE(test::HasEvent(database, "Repaired 1 startup invalid entries"));
  EXPECT_TRUE(test::HasEvent(database, "Repaired 1 registered custom control invalid entries"));
  UniqueKey run = OpenKey(HKEY_LOCAL_MACHINE, kRun);
  EXPECT_FALSE(ReadString(run.Get(), invalid));
  EXPECT_TRUE(ReadString(run.Get(), valid));
  EXPECT_TRUE(ReadString(run.Get(), other));
  EXPECT_FALSE(OpenKey(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32"));
  // The repaired rows are gone; the unmarked one stays for review.
  auto left = test::MarkedProblems(database, M());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].subkey, other);

  auto backups = test::RegbkRows(database);
  ASSERT_EQ(backups.size(), 2u);
  for (const auto& backup : backups) ASSERT_EQ(test::RunReg("import \"" + backup.file + "\""), 0u) << backup.file;
  run = OpenKey(HKEY_LOCAL_MACHINE, kRun);
  DWORD type = 0;
  RegQueryValueExA(run.Get(), invalid.c_str(), nullptr, &type, nullptr, nullptr);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(ReadString(run.Get(), invalid), "\"" + missing + "\\t.exe\" -a");
  UniqueKey restored = OpenKey(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32");
  ASSERT_TRUE(restored);
  EXPECT_EQ(ReadString(restored.Get(), ""), missing + "\\c.dll");
  EXPECT_EQ(ReadString(restored.Get(), "ThreadingModel"), "Both");
}

TEST_F(CleanerEngineTest, ThirtyTwoBitEntriesAreRepairedInTheirOwnViewAndRestoredThere) {
  if (!TwoViews()) GTEST_SKIP() << "one registry view here";
  std::string name = M() + "-wow";
  planted.Value(HKEY_LOCAL_MACHINE, kRun, name, missing + "\\w.exe", REG_SZ, RegistryView::Bits32);
  planted.Value(HKEY_LOCAL_MACHINE, kRun, name, test::SystemFolder() + "\\notepad.exe", REG_SZ, RegistryView::Bits64);
  Scan(Category::Startup);
  auto rows = test::MarkedProblems(database, M());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].rootkey, "HKLM (32-bit)");
  test::MarkForRepair(database, rows);
  EXPECT_EQ(RunRepair(Category::Startup).repaired, 1);
  EXPECT_FALSE(ReadString(OpenKey(HKEY_LOCAL_MACHINE, kRun, KEY_READ, RegistryView::Bits32).Get(), name));
  EXPECT_TRUE(ReadString(OpenKey(HKEY_LOCAL_MACHINE, kRun, KEY_READ, RegistryView::Bits64).Get(), name));

  auto backups = test::RegbkRows(database);
  ASSERT_EQ(backups.size(), 1u);
  ASSERT_EQ(test::RunReg("import \"" + backups[0].file + "\""), 0u);
  EXPECT_EQ(ReadString(OpenKey(HKEY_LOCAL_MACHINE, kRun, KEY_READ, RegistryView::Bits32).Get(), name), missing + "\\w.exe");
  EXPECT_EQ(ReadString(OpenKey(HKEY_LOCAL_MACHINE, kRun, KEY_READ, RegistryView::Bits64).Get(), name),
            test::SystemFolder() + "\\notepad.exe");
}

TEST_F(CleanerEngineTest, DamagedRowsNeverReachBeyondTheirCategory) {
  struct Row {
    const char* ptype;
    std::string rootkey, subkey;
    Category category;
  };
  // A view the rows could have come from, so only the subkey can refuse them.
  const std::string label = ViewLabel(RegistryViews().front());
  const std::string hkcr = label.empty() ? "HKCR" : "HKCR (" + label + ")";
  const std::vector<Row> rows = {
      {"SWL", "HKLM", "SOFTWARE\\Microsoft", Category::SoftwareLocations},
      {"SWL", "HKLM", std::string(kAppPaths), Category::SoftwareLocations},
      {"RCC", "HKCR", "CLSID", Category::CustomControls},
      {"RCC", "HKCR", "CLSID\\", Category::CustomControls},
      {"RCC", hkcr, "CLSID\\" + M() + "\\LocalServer32", Category::CustomControls},
      {"RCC", hkcr, "CLSID\\" + M() + "\\TreatAs", Category::CustomControls},
      {"RCC", hkcr, "CLSID\\" + M() + "\\XInprocServer32", Category::CustomControls},
      {"ARP", "HKCU", std::string(kUninstall) + "\\" + M(), Category::AddRemove},
      {"ARP", "HKLM (16-bit)", std::string(kUninstall) + "\\" + M(), Category::AddRemove},
      {"ARP", "HKLM", std::string(kUninstall) + "\\" + M() + "\\..\\..", Category::AddRemove},
  };
  planted.Key(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\" + M(), "UninstallString", missing + "\\u.exe");
  planted.Key(HKEY_CLASSES_ROOT, "CLSID\\" + M(), "", "a class with keys beside the one the scan reads");
  for (const char* entry : {"LocalServer32", "TreatAs", "XInprocServer32"})
    planted.Key(HKEY_CLASSES_ROOT, "CLSID\\" + M() + "\\" + entry, "", missing + "\\c.dll");
  for (const auto& row : rows)
    ASSERT_TRUE(ExecuteStatement(database, "insert into problems(ptype,rootkey,subkey,problem,state) values('" +
                                               std::string(row.ptype) + "','" + row.rootkey + "','" + row.subkey +
                                               "','x',1)"));
  for (Category category : {Category::SoftwareLocations, Category::CustomControls, Category::AddRemove}) {
    RepairResult result = RunRepair(category);
    EXPECT_EQ(result.repaired, 0);
  }
  EXPECT_TRUE(OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft"));
  EXPECT_TRUE(OpenKey(HKEY_LOCAL_MACHINE, kAppPaths));
  EXPECT_TRUE(OpenKey(HKEY_CLASSES_ROOT, "CLSID"));
  for (const char* entry : {"LocalServer32", "TreatAs", "XInprocServer32"})
    EXPECT_TRUE(OpenKey(HKEY_CLASSES_ROOT, "CLSID\\" + M() + "\\" + entry)) << entry;
  EXPECT_TRUE(OpenKey(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\" + M()));
  // Back to "found": none counted, none removed, no event.
  CADORecordset left(database);
  ASSERT_TRUE(left.Open("select * from problems where state=0"));
  EXPECT_EQ(left.RecordCount(), rows.size());
  for (const auto& event : test::Events(database)) EXPECT_EQ(event.text.find("Repaired"), std::string::npos);
}

TEST_F(CleanerEngineTest, WithoutAUsableBackupNothingIsDeleted) {
  std::ofstream(folder.File("BKUP")) << "a file where the backup folder belongs";
  std::string name = M() + "-kept";
  planted.Value(HKEY_LOCAL_MACHINE, kRun, name, missing + "\\k.exe");
  planted.Key(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "\\" + M() + ".exe", "", missing + "\\k.exe");
  Scan(Category::Startup);
  Scan(Category::SoftwareLocations);
  test::MarkForRepair(database, test::MarkedProblems(database, M()));

  EXPECT_EQ(RunRepair(Category::Startup).failed, 1);
  EXPECT_EQ(RunRepair(Category::SoftwareLocations).failed, 1);
  EXPECT_TRUE(ReadString(OpenKey(HKEY_LOCAL_MACHINE, kRun).Get(), name));
  EXPECT_TRUE(OpenKey(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "\\" + M() + ".exe"));
  auto rows = test::MarkedProblems(database, M());
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) EXPECT_EQ(row.state, 0);
  for (const auto& event : test::Events(database)) EXPECT_EQ(event.text.find("Repaired"), std::string::npos);
}

TEST_F(CleanerEngineTest, AStoppedScanKeepsItsRowsAndSaysItIsIncomplete) {
  StopSource stop;
  stop.RequestStop();
  ScanResult result = ScanCategory(database, Category::Startup, stop.Token(), sink);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(sink.last, "Stopped");
  EXPECT_TRUE(test::HasEvent(database, "Scanning startup (incomplete) found 0 invalid entries"));
}

}  // namespace
}  // namespace tidewell
