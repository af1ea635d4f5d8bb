// Removing a BHO: its processes, its registration, its file and its keys.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <filesystem>

#include "resources/resource.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/bho/BhoTestSupport.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoKeyWatcher.h"
#include "tidewell/bho/BhoManager.h"
#include "tidewell/bho/BhoUninstaller.h"
#include "tidewell/bho/UninstallProgressDlg.h"
#include "tidewell/backup/RegistryBackup.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kScratch = "Software\\TidewellTests\\d";

UninstallTiming Quick() {
  UninstallTiming timing;
  timing.stepPause = 10;
  timing.finalPause = 10;
  timing.unregister.pauseAfter = 10;
  return timing;
}

class BhoUninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(database.Open(folder.ConnectionString()));
    DeleteKeyTree(HKEY_CURRENT_USER, kScratch);
  }
  void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kScratch); }

  test::TestAppFolder folder;
  CADODatabase database;
};

TEST_F(BhoUninstallTest, DeleteKeyTreeRemovesNestedKeysInOneCall) {
  for (const char* path : {"\\tree\\a\\b\\c\\d", "\\tree\\a\\b2", "\\tree\\a\\b3\\x", "\\tree\\z", "\\tree\\y\\w"}) {
    UniqueKey key = CreateKey(HKEY_CURRENT_USER, kScratch + path);
    ASSERT_TRUE(key);
    WriteString(key.Get(), "value", "data");
  }
  UniqueKey keep = CreateKey(HKEY_CURRENT_USER, kScratch + "\\treehouse");
  EXPECT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kScratch + "\\tree"));
  EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kScratch + "\\tree"));
  EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kScratch + "\\treehouse"));
  EXPECT_FALSE(DeleteKeyTree(HKEY_CURRENT_USER, kScratch + "\\tree")) << "nothing left to delete";
}

TEST_F(BhoUninstallTest, RegistryTracesAreKeptAndRemovedFromTheFixedPlacesButValuesStay) {
  std::string clsid = test::NewClassId();
  const std::string places[] = {
      std::string(kBhoKeyPath) + "\\" + clsid,
      "Software\\Classes\\CLSID\\" + clsid + "\\InprocServer32",
      "software\\microsoft\\internet explorer\\toolbar\\" + clsid,
      "software\\microsoft\\internet explorer\\extensions\\" + clsid + "\\deeper",
      "software\\microsoft\\windows\\currentversion\\run\\" + clsid,
  };
  for (const std::string& place : places) ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, place)) << place;
  ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\Interface\\" + clsid));
  ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, "typelib\\" + clsid + "\\1.0"));
  UniqueKey toolbar = CreateKey(HKEY_CURRENT_USER, "software\\microsoft\\internet explorer\\toolbar");
  WriteString(toolbar.Get(), clsid, "a value named after the class");

  RemovalAction action(database, RemovalGuards{folder.Text(), {}}, UninstalledBhoComment("traces"));
  std::vector<Piece> pieces = BhoRegistryPieces(clsid);
  EXPECT_EQ(pieces.size(), std::size(places) + 2) << "each real copy is a piece of its own";
  for (const Piece& piece : pieces) EXPECT_TRUE(action.Remove(piece).gone) << piece.DisplayName();
  for (const std::string& place : places) EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, place)) << place;
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\Interface\\" + clsid));
  EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "typelib\\" + clsid));
  EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + clsid));
  EXPECT_EQ(ReadString(toolbar.Get(), clsid), std::optional<std::string>("a value named after the class"));
  RegDeleteValueA(toolbar.Get(), clsid.c_str());
}

TEST_F(BhoUninstallTest, AnEmptyClassIdRemovesNothing) {
  UniqueKey scratch = CreateKey(HKEY_CURRENT_USER, kScratch + "\\still here");
  EXPECT_TRUE(BhoRegistryPieces("").empty());
  EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kScratch + "\\still here"));
  EXPECT_TRUE(test::KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
  EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kBhoKeyPath));
}

TEST_F(BhoUninstallTest, CleaningAKeyThatCannotBeDeletedEnds) {
  // A predefined root opens but is never deleted; the loop must still end.
  CleanKey(HKEY_CURRENT_USER, "");
  EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(BhoUninstallTest, AMissingFileIsReportedAndLogsNoEvent) {
  test::TempFolder bin;
  test::ScriptedPrompt prompt({IDOK});
  std::string missing = bin.File("gone.dll");
  EXPECT_FALSE(UnregisterBho(database, missing, "Gone helper", nullptr, Quick().unregister));
  ASSERT_EQ(prompt.Requests().size(), 1u);
  EXPECT_EQ(prompt.Requests()[0].text, "File '" + missing + "' does not exist");
  EXPECT_EQ(test::CountEvents(database, "BHO \"Gone helper\" uninstalled"), 0);
}

TEST_F(BhoUninstallTest, AnEmptyPathSkipsTheToolButLogsEvenANameWithAnApostrophe) {
  test::ScriptedPrompt prompt;
  EXPECT_TRUE(UnregisterBho(database, "", "O'Brien's helper", nullptr, Quick().unregister));
  EXPECT_TRUE(prompt.Requests().empty());
  EXPECT_EQ(test::CountEvents(database, "BHO \"O'Brien's helper\" uninstalled"), 1);
}

TEST_F(BhoUninstallTest, TerminatesLinkedProcessesAndSkipsOnesAlreadyGone) {
  test::TempFolder bin;
  std::string dll = bin.File("bho.dll");
  ASSERT_TRUE(test::CopyFixtureDll(dll));
  test::HostProcess host(dll);
  ASSERT_TRUE(host.WaitUntilLoaded(dll, 10s));
  test::ScriptedPrompt prompt;
  // A process id that no longer runs cannot be opened and is skipped silently.
  EXPECT_TRUE(TerminateLinkedProcesses({{0xFFFFFFF0, "gone.exe"}, {host.Id(), "test_bho_host.exe"}}, dll, nullptr));
  EXPECT_FALSE(host.Running());
  EXPECT_TRUE(prompt.Requests().empty());
}

TEST_F(BhoUninstallTest, LeavesAProcessWhoseIdNowBelongsToAnotherProgram) {
  test::TempFolder bin;
  std::string dll = bin.File("bho.dll"), other = bin.File("other.dll");
  ASSERT_TRUE(test::CopyFixtureDll(dll));
  ASSERT_TRUE(test::CopyFixtureDll(other));
  // The listed ID now runs a program without the BHO loaded, or under another name.
  test::HostProcess host(other);
  ASSERT_TRUE(host.WaitUntilLoaded(other, 10s));
  test::ScriptedPrompt prompt;
  const std::vector<LinkedProcess> cases[] = {{{host.Id(), "test_bho_host.exe"}}, {{host.Id(), "iexplore.exe"}}};
  EXPECT_TRUE(TerminateLinkedProcesses(cases[0], dll, nullptr));
  EXPECT_TRUE(TerminateLinkedProcesses(cases[1], other, nullptr));
  EXPECT_TRUE(TerminateLinkedProcesses({{GetCurrentProcessId(), "bho_tests.exe"}}, "", nullptr));
  EXPECT_TRUE(host.Running());
  EXPECT_TRUE(prompt.Requests().empty());
}

class UninstallFlowTest : public BhoUninstallTest {
 protected:
  void SetUp() override {
    BhoUninstallTest::SetUp();
    test::RemoveBhoKeys(test::kFixtureClsid);
    // A name of several scripts: listed, linked, ended and deleted exactly.
    dll = bin.File("Čech 日本 😀 test_bho.dll");
    ASSERT_TRUE(test::CopyFixtureDll(dll));
    // Registered by the DLL itself, as its installer would.
    HMODULE module = LoadLibraryA(dll.c_str());
    ASSERT_NE(module, nullptr);
    auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK);
    FreeLibrary(module);
    test::InsertBhoRow(database, test::kFixtureClsid, "Tidewell's test helper", "high");
  }
  void TearDown() override {
    test::RemoveBhoKeys(test::kFixtureClsid);
    BhoUninstallTest::TearDown();
  }

  test::TempFolder bin;
  std::string dll;
};

TEST_F(UninstallFlowTest, DecliningTouchesNothing) {
  test::HostProcess host(dll);
  ASSERT_TRUE(host.WaitUntilLoaded(dll, 10s));
  test::FakeMainWindow window;
  test::ScriptedPrompt prompt({IDNO});
  SelectedBho bho{test::kFixtureClsid, {{host.Id(), "test_bho_host.exe"}}};
  EXPECT_EQ(UninstallBho(window.Handle(), database, folder.Text(), bho, Quick()), 0);
  ASSERT_EQ(prompt.Requests().size(), 1u);
  EXPECT_EQ(prompt.Requests()[0].text,
            "Tidewell will terminate all linked processes (including IE). Do you want to proceed?");
  EXPECT_EQ(prompt.Requests()[0].caption, "Warning");
  EXPECT_EQ(prompt.Requests()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
  EXPECT_TRUE(host.Running());
  EXPECT_TRUE(test::PathExists(dll));
  EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + test::kFixtureClsid));
  EXPECT_FALSE(FindWindowA(nullptr, "Tidewell")) << "no progress window";
  test::PumpFor(100ms);
  EXPECT_EQ(window.refreshes, 0);
}

TEST_F(UninstallFlowTest, RemovesProcessFileAndKeysAndLogsTheEvent) {
  test::HostProcess host(dll);
  ASSERT_TRUE(host.WaitUntilLoaded(dll, 10s));
  test::FakeMainWindow window;
  test::ScriptedPrompt prompt({IDYES});
  SelectedBho bho{test::kFixtureClsid, {{host.Id(), "test_bho_host.exe"}}};
  EXPECT_EQ(UninstallBho(window.Handle(), database, folder.Text(), bho, Quick()), 1);
  EXPECT_EQ(prompt.Requests().size(), 1u) << "only the confirmation";
  EXPECT_FALSE(host.Running());
  EXPECT_FALSE(test::PathExists(dll));
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + test::kFixtureClsid));
  EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + test::kFixtureClsid));
  EXPECT_EQ(test::CountEvents(database, "BHO \"Tidewell's test helper\" uninstalled"), 1);
  EXPECT_TRUE(test::PumpUntil([&] { return window.refreshes == 1; }, 2s)) << "the tree is asked to refresh";

  // One click in the Backup manager brings the keys and the file back, no re-registration needed.
  CRegistryBackup backup(database, folder.Text());
  std::vector<BackupEntry> listed = backup.ListBackups();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].comment, "Uninstalled BHO \"Tidewell's test helper\"");
  RestoreResult restored = backup.ImportBackup(listed[0].name, listed[0].time);
  EXPECT_TRUE(restored.notRestored.empty()) << restored.notRestored.front();
  EXPECT_EQ(test::ReadWholeFile(dll), test::ReadWholeFile(test::FixtureDll()));
  EXPECT_EQ(BhoFile(test::kFixtureClsid), dll);
  std::vector<std::string> announced;
  KeyWatchTarget watch;
  watch.announce = [&](const std::string& clsid, const std::string&) { announced.push_back(clsid); };
  CheckForNewBho(watch);
  EXPECT_EQ(std::count(announced.begin(), announced.end(), test::kFixtureClsid), 0)
      << "no popup for Tidewell's own restore";
  ModuleIndex modules;
  auto listing = CollectRegisteredBhos(database, modules);
  ASSERT_TRUE(listing);
  EXPECT_TRUE(std::any_of(listing->begin(), listing->end(),
                          [](const BhoItem& item) { return item.clsid == test::kFixtureClsid; }))
      << "listed again";
}

TEST_F(UninstallFlowTest, RegsvrRemovesTheRegistrationItselfWhenOnlyItsKeysRemain) {
  // Without the trace cleaning, regsvr32 "/u /s" alone unregisters the DLL.
  test::ScriptedPrompt prompt;
  EXPECT_TRUE(UnregisterBho(database, dll, "Tidewell's test helper", nullptr, Quick().unregister));
  EXPECT_TRUE(test::PumpUntil(
      [] { return !test::KeyExists(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + test::kFixtureClsid); }, 10s));
  EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + test::kFixtureClsid));
  EXPECT_TRUE(test::PathExists(dll)) << "the file is the next step's";
}

TEST_F(UninstallFlowTest, AMissingFileStillLosesItsKeys) {
  DeleteFileA(dll.c_str());
  test::FakeMainWindow window;
  test::ScriptedPrompt prompt({IDYES, IDOK});
  EXPECT_EQ(UninstallBho(window.Handle(), database, folder.Text(), {test::kFixtureClsid, {}}, Quick()), 1);
  ASSERT_EQ(prompt.Requests().size(), 2u);
  EXPECT_EQ(prompt.Requests()[1].text, "File '" + dll + "' does not exist");
  EXPECT_EQ(test::CountEvents(database, "BHO \"Tidewell's test helper\" uninstalled"), 0);
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + test::kFixtureClsid));
  EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + test::kFixtureClsid));
}

TEST(UninstallProgress, TicksTheStepsAndClosesOnItsMessage) {
  CUninstallProgressDlg progress(0);
  HWND window = progress.Create(GetModuleHandleA(nullptr), IDD_UNINSTALL_PROGRESS, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window)) << "hidden until shown";
  auto checked = [&](int id) { return SendDlgItemMessageA(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED; };
  auto position = [&] { return SendDlgItemMessageA(window, IDC_UNINSTALL_PROGRESS, PBM_GETPOS, 0, 0); };
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_UNINSTALL_PROGRESS, PBM_GETRANGE, FALSE, 0), 4);
  const std::pair<UINT, int> steps[] = {{WM_UNINSTALL_TERMINATED, IDC_UNINSTALL_TERMINATE_CHECK},
                                        {WM_UNINSTALL_UNREGISTERED, IDC_UNINSTALL_UNREGISTER_CHECK},
                                        {WM_UNINSTALL_DELETED, IDC_UNINSTALL_DELETE_CHECK},
                                        {WM_UNINSTALL_CLEANED, IDC_UNINSTALL_REGISTRY_CHECK}};
  int expected = 0;
  for (auto [message, check] : steps) {
    EXPECT_FALSE(checked(check));
    SendMessageA(window, message, 0, 0);
    EXPECT_TRUE(checked(check));
    EXPECT_EQ(position(), ++expected);
  }
  SendMessageA(window, WM_UNINSTALL_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace tidewell
