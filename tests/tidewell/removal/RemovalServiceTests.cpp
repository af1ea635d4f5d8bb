// The removal service: one guard table refuses what must never go, links are
// left and never followed, and an action's restore brings every piece back as
// it was without overwriting what took its place meanwhile.

#include <windows.h>

#include <gtest/gtest.h>


#include <filesystem>

#include "shared/win/FileSystem.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/SystemFolders.h"
#include "tests/support/TestFolder.h"
#include "tests/support/UnixLink.h"
#include "tidewell/removal/ForceDelete.h"
#include "tidewell/removal/RemovalService.h"

namespace tidewell {
namespace {

using test::Environment;

// A folder of its own in TEMP, removed with what is in it (links by name only).
class Scratch {
 public:
  Scratch() : path_(Environment("TEMP") + "\\" + test::UniqueName("svc")) {
    CreateDirectoryW(LongPath(path_).c_str(), nullptr);
  }
  ~Scratch() { Clear(path_); }
  const std::string& Path() const { return path_; }
  std::string At(const std::string& name) const { return path_ + "\\" + name; }
  std::string Folder(const std::string& name) const {
    CreateDirectoryW(LongPath(At(name)).c_str(), nullptr);
    return At(name);
  }
  std::string File(const std::string& name, const std::string& bytes, DWORD attributes = 0) const {
    std::string path = At(name);
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (attributes) SetFileAttributesW(LongPath(path).c_str(), attributes);
    return path;
  }

 private:
  static void Clear(const std::string& path) {
    DWORD attributes = PathAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      if (!RemoveDirectoryW(LongPath(path).c_str()) && !DeleteFileW(LongPath(path).c_str())) test::RemoveUnixLink(path);
      return;
    }
    SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      DeleteFileW(LongPath(path).c_str());
      return;
    }
    ForEachFolderEntry(path, [](const FolderEntry& entry) { return Clear(entry.path), true; });
    RemoveDirectoryW(LongPath(path).c_str());
  }
  std::string path_;
};

struct Snapshot {
  std::string bytes;
  DWORD attributes = 0;
  FILETIME written{};
};

Snapshot Take(const std::string& path) {
  Snapshot snapshot{test::ReadWholeFile(path), PathAttributes(path), {}};
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data))
    snapshot.written = data.ftLastWriteTime;
  return snapshot;
}

void ExpectSame(const Snapshot& was, const std::string& path) {
  Snapshot now = Take(path);
  EXPECT_EQ(now.bytes, was.bytes) << path;
  EXPECT_EQ(now.attributes, was.attributes) << path;
  EXPECT_EQ(CompareFileTime(&now.written, &was.written), 0) << path;
}

std::optional<std::string> ValueData(HKEY root, const std::string& path, const std::string& name) {
  UniqueKey key = OpenKey(root, path);
  if (!key) return std::nullopt;
  return ReadString(key.Get(), name);
}

class RemovalServiceTest : public ::testing::Test {
 protected:
  RemovalServiceTest() { EXPECT_TRUE(database.Open(app.ConnectionString())); }
  RemovalGuards Guards() const { return RemovalGuards{app.Text(), {}}; }

  test::TestAppFolder app;
  CADODatabase database;
  Scratch scratch;
};

TEST_F(RemovalServiceTest, TheGuardTableRefusesWhatMustStayAndPassesWhatLiesBelowIt) {
  RemovalGuards guards = Guards();
  std::string windir = test::WindowsFolder(), profile = Environment("USERPROFILE");
  struct Row {
    std::string path;
    bool refused;
  };
  const Row paths[] = {
      {"C:\\", true},
      {"C:", true},
      {windir, true},
      {windir + "\\System32", true},
      {windir + "\\System32\\..\\System32", true},
      {windir + "\\SysWOW64", true},
      {Environment("ProgramFiles"), true},
      {Environment("ProgramFiles(x86)"), true},
      {Environment("CommonProgramFiles"), true},
      {Environment("ProgramData"), true},
      {ParentFolder(profile), true},  // the profiles' root
      {profile, true},
      {profile + "\\Desktop", true},
      {Environment("APPDATA"), true},
      {Environment("LOCALAPPDATA"), true},
      {Environment("TEMP"), true},
      {ParentFolder(Environment("TEMP")), true},  // above a guarded folder
      {app.Text(), true},
      {app.File("BKUP"), true},
      {app.File("bhodb.mdb"), true},
      {ParentFolder(app.Text() + "x"), true},  // is it, spelled without the separator
      {"relative\\name", true},
      {"C:name", true},
      {"", true},
      {scratch.At("plain.dll"), false},
      {Environment("ProgramFiles") + "\\" + test::UniqueName("vendor"), false},
      {windir + "\\" + test::UniqueName("dropped.exe"), false},
  };
  for (const Row& row : paths) EXPECT_EQ(!guards.PathRefusal(row.path).empty(), row.refused) << row.path;
  // A folder above the application folder that nothing else guards.
  RemovalGuards nested{scratch.At("app\\bin"), {}};
  EXPECT_FALSE(nested.PathRefusal(scratch.At("app")).empty());
  EXPECT_TRUE(nested.PathRefusal(scratch.At("apps")).empty()) << "a name that only starts alike";

  struct KeyRow {
    const char* key;
    bool refused;
  };
  const KeyRow keys[] = {
      {"HKCU\\Software", true},
      {"HKLM\\SOFTWARE\\Microsoft", true},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows", true},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", true},
      {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
      {"HKLM\\SOFTWARE\\Classes", true},
      {"HKLM\\SOFTWARE\\Classes\\CLSID", true},
      {"HKCR\\CLSID", true},
      {"HKCR\\Interface", true},
      {"HKCU\\Software\\Classes\\TypeLib", true},
      {"HKCR\\AppID", true},
      {"HKLM\\SOFTWARE\\Wow6432Node", true},
      {"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft", true},
      {"HKLM\\SYSTEM\\CurrentControlSet", true},
      {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip", true},
      {"HKLM\\SOFTWARE\\Policies", true},
      {"HKCU\\Software\\TidewellTests\\c\\planted", false},
      {"HKCR\\CLSID\\{3F2504E0-4F89-11D3-9A0C-0305E82C3301}", false},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
       "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}",
       false},
  };
  for (const KeyRow& row : keys) {
    std::optional<RegistryLocation> key = RegistryLocation::Parse(row.key);
    ASSERT_TRUE(key) << row.key;
    EXPECT_EQ(!guards.KeyRefusal(*key).empty(), row.refused) << row.key;
  }

  struct ValueRow {
    const char* key;
    const char* value;
    bool refused;
  };
  const ValueRow values[] = {
      {"HKCU\\Software", "Planted", true},
      {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip", "Start", true},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Userinit", true},
      {"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "shell", true},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Planted", false},
      {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Planted", false},
  };
  for (const ValueRow& row : values)
    EXPECT_EQ(!guards.ValueRefusal(*RegistryLocation::Parse(row.key), row.value).empty(), row.refused) << row.key;

  EXPECT_FALSE(guards.ProcessRefusal(GetCurrentProcessId(), "removal_tests.exe").empty());
  for (const char* critical : {"csrss.exe", "EXPLORER.EXE", "C:\\windows\\system32\\winlogon.exe", "services.exe"})
    EXPECT_FALSE(guards.ProcessRefusal(GetCurrentProcessId() + 4, critical).empty()) << critical;
  EXPECT_TRUE(guards.ProcessRefusal(GetCurrentProcessId() + 4, "planted.exe").empty());
}

TEST_F(RemovalServiceTest, ALinkInARemovedFolderIsLeftAndWhatItNamesIsUntouched) {
  std::string target = scratch.Folder("target");
  std::string keep = scratch.File("target\\keep.txt", "what the link names", FILE_ATTRIBUTE_READONLY);
  Snapshot before = Take(keep);
  SetFileAttributesW(LongPath(target).c_str(), FILE_ATTRIBUTE_READONLY);
  DWORD targetAttributes = PathAttributes(target);
  std::string spy = scratch.Folder("spy");
  std::string plain = scratch.File("spy\\plain.dat", "spyware");
  std::string plainTarget = scratch.File("owned.dat", "the user's");
  ASSERT_TRUE(test::MakeUnixSymlink(spy + "\\link", target)) << "the link fixture could not be made";
  ASSERT_TRUE(PathAttributes(spy + "\\link") & FILE_ATTRIBUTE_REPARSE_POINT) << "Wine no longer shows the link";

  RemovalAction action(database, Guards(), "Link test");
  PieceOutcome folder = action.Remove(Piece::Folder(spy));
  PieceOutcome link = action.Remove(Piece::Folder(spy + "\\link"));

  EXPECT_FALSE(folder.gone);
  EXPECT_NE(folder.reason.find(kLeftLink), std::string::npos) << folder.reason;
  EXPECT_FALSE(link.gone);
  EXPECT_EQ(link.reason, kLeftLink);
  EXPECT_TRUE(IsGone(plain)) << "the folder's own file goes";
  ExpectSame(before, keep);
  EXPECT_EQ(PathAttributes(target), targetAttributes);

  // The forced delete, which takes over what refuses it, leaves links alone
  // too: a security change through the link would reach what it names.
  SECURITY_DESCRIPTOR open{};
  InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
  SecurityApi system;
  EXPECT_FALSE(system.ApplyFileSecurity(spy + "\\link", DACL_SECURITY_INFORMATION, &open));
  EXPECT_TRUE(system.ApplyFileSecurity(plainTarget, DACL_SECURITY_INFORMATION, &open)) << "a plain entry is changed";
  ForceDeleteTree(spy);
  ExpectSame(before, keep);
  EXPECT_EQ(PathAttributes(target), targetAttributes);
}

TEST_F(RemovalServiceTest, AnActionsRestoreBringsEveryPieceBackAsItWas) {
  std::string tree = scratch.Folder("tree");
  scratch.Folder("tree\\sub");
  std::string readOnly = scratch.File("tree\\sub\\ro.dat", std::string("\0\1binary\xff", 10),
                                      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  std::string top = scratch.File("tree\\top.txt", "top");
  std::string lone = scratch.File("lone.exe", "MZ lone", FILE_ATTRIBUTE_SYSTEM);
  Snapshot readOnlyWas = Take(readOnly), topWas = Take(top), loneWas = Take(lone);
  DWORD treeAttributes = PathAttributes(tree);

  test::ScratchKey root(test::UniqueName("svc"));
  std::string deep = root.Path() + "\\one\\two\\three";
  ASSERT_TRUE(WriteString(CreateKey(HKEY_CURRENT_USER, deep).Get(), "Path", "C:\\x\\y.dll"));
  ASSERT_TRUE(WriteDword(CreateKey(HKEY_CURRENT_USER, root.Path() + "\\one").Get(), "Count", 7));
  ASSERT_TRUE(WriteString(root.Key(), "Loader", "%windir%\\a.dll", REG_EXPAND_SZ));
  RegistryLocation keyPlace{HKEY_CURRENT_USER, root.Path() + "\\one"};
  RegistryLocation valuePlace{HKEY_CURRENT_USER, root.Path()};

  std::string manifest;
  {
    RemovalAction action(database, Guards(), "Removed O'Planted");
    const Piece pieces[] = {Piece::Folder(tree), Piece::File(lone), Piece::Key(keyPlace),
                            Piece::Value(valuePlace, "Loader")};
    for (const Piece& piece : pieces) {
      PieceOutcome outcome = action.Remove(piece);
      EXPECT_TRUE(outcome.gone) << piece.DisplayName() << ": " << outcome.reason;
    }
    EXPECT_TRUE(action.Commit());
    manifest = action.Folder() + "\\removal.manifest";
  }
  EXPECT_TRUE(IsGone(tree));
  EXPECT_TRUE(IsGone(lone));
  EXPECT_FALSE(keyPlace.Exists());
  EXPECT_FALSE(ValueData(HKEY_CURRENT_USER, root.Path(), "Loader"));
  auto rows = test::RegbkRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].file, manifest);
  EXPECT_EQ(rows[0].comment, "Removed O'Planted");
  EXPECT_TRUE(IsActionManifest(rows[0].file));

  ActionRestoreResult restored = RestoreAction(manifest);

  EXPECT_EQ(restored.restored, 7) << "two folders, three files, the key and the value";
  EXPECT_TRUE(restored.notRestored.empty()) << restored.notRestored.front();
  ExpectSame(readOnlyWas, readOnly);
  ExpectSame(topWas, top);
  ExpectSame(loneWas, lone);
  EXPECT_EQ(PathAttributes(tree), treeAttributes);
  EXPECT_EQ(ValueData(HKEY_CURRENT_USER, deep, "Path"), "C:\\x\\y.dll");
  EXPECT_EQ(ReadDword(OpenKey(HKEY_CURRENT_USER, root.Path() + "\\one").Get(), "Count"), 7u);
  EXPECT_EQ(ValueData(HKEY_CURRENT_USER, root.Path(), "Loader"), "%windir%\\a.dll");
  EXPECT_TRUE(RestoredLately(RegistryLocation{HKEY_CURRENT_USER, root.Path()}));
  EXPECT_FALSE(RestoredLately(RegistryLocation{HKEY_CURRENT_USER, "Software\\" + test::UniqueName("other")}));

  EXPECT_FALSE(FreeAction(scratch.File("removal.manifest", "not an action's"))) << "only below BKUP";
  EXPECT_TRUE(FreeAction(manifest));
  EXPECT_TRUE(IsGone(ParentFolder(manifest)));
}

TEST_F(RemovalServiceTest, APlaceTakenAgainIsNotOverwritten) {
  std::string file = scratch.File("taken.dll", "spyware");
  test::ScratchKey root(test::UniqueName("svc"));
  ASSERT_TRUE(WriteString(root.Key(), "Run", "spy.exe"));
  std::string manifest;
  {
    RemovalAction action(database, Guards(), "Taken");
    EXPECT_TRUE(action.Remove(Piece::File(file)).gone);
    EXPECT_TRUE(action.Remove(Piece::Value(RegistryLocation{HKEY_CURRENT_USER, root.Path()}, "Run")).gone);
    action.Commit();
    manifest = action.Folder() + "\\removal.manifest";
  }
  scratch.File("taken.dll", "the user's new file");
  ASSERT_TRUE(WriteString(root.Key(), "Run", "new.exe"));

  ActionRestoreResult restored = RestoreAction(manifest);

  EXPECT_EQ(restored.restored, 0);
  ASSERT_EQ(restored.notRestored.size(), 2u);
  EXPECT_NE(restored.notRestored[0].find(file), std::string::npos) << restored.notRestored[0];
  EXPECT_EQ(test::ReadWholeFile(file), "the user's new file");
  EXPECT_EQ(ValueData(HKEY_CURRENT_USER, root.Path(), "Run"), "new.exe");
}

TEST_F(RemovalServiceTest, AListRenumberedAfterARemovalGetsItsOldNumbersBack) {
  test::ScratchKey root(test::UniqueName("svc"));
  RegistryLocation list{HKEY_CURRENT_USER, root.Path()};
  for (const char* value : {"1", "2", "3"}) ASSERT_TRUE(WriteString(root.Key(), value, std::string("entry") + value));
  // The bytes RegQueryValueExW gives, as a caller moving a value up has them.
  auto moved = [](const char* text) {
    std::wstring wide = WideFromUtf8(text);
    auto bytes = reinterpret_cast<const BYTE*>(wide.c_str());
    return std::vector<BYTE>(bytes, bytes + (wide.size() + 1) * sizeof(wchar_t));
  };
  std::string manifest;
  {
    RemovalAction action(database, Guards(), "Renumbered");
    EXPECT_TRUE(action.Remove(Piece::Value(list, "2")).gone);
    EXPECT_TRUE(action.Remove(Piece::Value(list, "3")).gone);
    EXPECT_TRUE(action.WriteValue(list, "2", REG_SZ, moved("entry3")));
    EXPECT_FALSE(action.WriteValue(list, "1", REG_SZ, moved("over"))) << "a value that is there is never written";
    action.Commit();
    manifest = action.Folder() + "\\removal.manifest";
  }
  EXPECT_EQ(ValueData(HKEY_CURRENT_USER, root.Path(), "1"), "entry1");
  EXPECT_EQ(ValueData(HKEY_CURRENT_USER, root.Path(), "2"), "entry3");
  EXPECT_FALSE(ValueData(HKEY_CURRENT_USER, root.Path(), "3"));

  ActionRestoreResult restored = RestoreAction(manifest);

  EXPECT_EQ(restored.restored, 2);
  EXPECT_TRUE(restored.notRestored.empty()) << restored.notRestored.front();
  for (const char* value : {"1", "2", "3"})
    EXPECT_EQ(ValueData(HKEY_CURRENT_USER, root.Path(), value), std::string("entry") + value);

  // Changed since by someone else (a domain's policy): left, and said so.
  {
    RemovalAction action(database, Guards(), "Renumbered again");
    EXPECT_TRUE(action.Remove(Piece::Value(list, "3")).gone);
    EXPECT_TRUE(action.WriteValue(list, "3", REG_SZ, moved("mine")));
    action.Commit();
    manifest = action.Folder() + "\\removal.manifest";
  }
  ASSERT_TRUE(WriteString(root.Key(), "3", "theirs"));
  restored = RestoreAction(manifest);
  ASSERT_EQ(restored.notRestored.size(), 2u);
  EXPECT_NE(restored.notRestored[0].find("changed since"), std::string::npos) << restored.notRestored[0];
  EXPECT_EQ(ValueData(HKEY_CURRENT_USER, root.Path(), "3"), "theirs");
}

TEST_F(RemovalServiceTest, APieceKeptBeforeItsRemovalIsKeptOnce) {
  std::string file = scratch.File("unregistered long name.dll", "bho");
  wchar_t shortName[MAX_PATH];
  DWORD shortLength = GetShortPathNameW(LongPath(file).c_str(), shortName, MAX_PATH);
  ASSERT_TRUE(shortLength > 0 && shortLength < MAX_PATH);
  // A detection may name it by its short name; it is listed and put back under its own.
  std::string shortPath = Utf8FromWide(std::wstring_view(shortName + 4, shortLength - 4)).value_or("");
  ASSERT_NE(shortPath, file);
  test::ScratchKey root(test::UniqueName("svc"));
  RegistryLocation key{HKEY_CURRENT_USER, root.Path()};
  ASSERT_TRUE(WriteString(root.Key(), "", "Planted BHO"));
  std::string manifest;
  {
    RemovalAction action(database, Guards(), "Kept first");
    EXPECT_TRUE(action.Keep(Piece::File(file)));
    EXPECT_TRUE(action.Keep(Piece::Key(key)));
    EXPECT_EQ(test::ReadWholeFile(file), "bho") << "Keep removes nothing";
    EXPECT_TRUE(key.Exists());
    PieceOutcome viaShort = action.Remove(Piece::File(shortPath));
    EXPECT_TRUE(viaShort.gone) << shortPath << ": " << viaShort.reason;
    EXPECT_TRUE(action.Remove(Piece::Key(key)).gone);
    EXPECT_TRUE(action.Commit());
    manifest = action.Folder() + "\\removal.manifest";
  }
  ASSERT_TRUE(IsGone(file));

  ActionRestoreResult restored = RestoreAction(manifest);

  EXPECT_EQ(restored.restored, 2);
  EXPECT_TRUE(restored.notRestored.empty()) << restored.notRestored.front();
  EXPECT_EQ(test::ReadWholeFile(file), "bho");
  EXPECT_EQ(ValueData(HKEY_CURRENT_USER, root.Path(), ""), "Planted BHO");
}

TEST_F(RemovalServiceTest, APieceWhoseBackupFailsIsLeft) {
  test::ScratchKey root(test::UniqueName("svc"));
  RegistryLocation key{HKEY_CURRENT_USER, root.Path()};
  std::string file = scratch.File("kept-not.dll", "spyware");
  struct Row {
    Piece piece;
    RemovalGuards guards;
    RemovalHooks hooks;
  };
  const Row rows[] = {
      // reg.exe cannot run, so the key is never exported.
      {Piece::Key(key), Guards(), RemovalHooks{RegTool{"\"" + scratch.At("no-reg.exe") + "\""}}},
      // The application folder is a file: no action folder can be made.
      {Piece::File(file), RemovalGuards{scratch.File("app-file", "x"), {}}, {}},
  };
  for (const Row& row : rows) {
    RemovalAction action(database, row.guards, "Fails", row.hooks);
    PieceOutcome outcome = action.Remove(row.piece);
    EXPECT_FALSE(outcome.gone) << row.piece.DisplayName();
    EXPECT_EQ(outcome.reason, "its backup could not be written") << row.piece.DisplayName();
    EXPECT_FALSE(action.Commit()) << "nothing was kept";
  }
  EXPECT_TRUE(key.Exists());
  EXPECT_EQ(test::ReadWholeFile(file), "spyware");
  EXPECT_TRUE(test::RegbkRows(database).empty());
}

TEST(RestoredLately, AValueABackupFilePutsBackIsKnownByItsKeyViewAndName) {
  std::string run = "SOFTWARE\\" + test::UniqueName("noted") + "\\Run";
  std::string wowRun = "SOFTWARE\\Wow6432Node\\" + run.substr(9);
  RegFileKey machine32{"HKEY_LOCAL_MACHINE\\" + wowRun, false, {{"Agent"}}};
  RegFileKey user{"HKEY_CURRENT_USER\\" + run, false, {{"Tray"}, {"Gone", true}}};
  NoteRestoredValues({machine32, user});
  struct Row {
    RegistryLocation key;
    const char* value;
    bool restored;
  };
  const Row rows[] = {
      {{HKEY_LOCAL_MACHINE, run, RegistryView::Bits32}, "agent", true},
      {{HKEY_LOCAL_MACHINE, run, RegistryView::Bits32}, "Other", false},
      {{HKEY_CURRENT_USER, run}, "Tray", true},
      {{HKEY_CURRENT_USER, run}, "Gone", false},
      {{HKEY_CURRENT_USER, run + "\\Sub"}, "Tray", false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(RestoredLately(row.key, row.value), row.restored) << row.key.path << " " << row.value;
  if (HasTwoViews())
    EXPECT_FALSE(RestoredLately(RegistryLocation{HKEY_LOCAL_MACHINE, run, RegistryView::Bits64}, "Agent"));
}

}  // namespace
}  // namespace tidewell
