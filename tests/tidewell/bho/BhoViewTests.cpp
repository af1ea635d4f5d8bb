// BHOs of both registry views of 64-bit Windows (Wine's prefix is one, for the
// 64-bit and the 32-bit build alike): listed, scanned, watched and removed in
// the view they came from, leaving a twin of the other view alone.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "shared/win/Environment.h"
#include "shared/win/Registry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/bho/BhoTestSupport.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoKeyWatcher.h"
#include "tidewell/bho/BhoListing.h"
#include "tidewell/bho/BhoManager.h"
#include "tidewell/bho/BhoText.h"
#include "tidewell/bho/BhoUninstaller.h"
#include "tidewell/bho/UninstallProgressDlg.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr RegistryView k32 = RegistryView::Bits32, k64 = RegistryView::Bits64;

std::string BhoKey(const std::string& clsid) { return std::string(kBhoKeyPath) + "\\" + clsid; }
std::string ClassKey(const std::string& clsid) { return "CLSID\\" + clsid; }

class BhoViewTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(database.Open(folder.ConnectionString())); }

  static std::vector<BhoItem> ItemsOf(const std::vector<BhoItem>& items, const std::string& clsid) {
    std::vector<BhoItem> found;
    std::copy_if(items.begin(), items.end(), std::back_inserter(found),
                 [&](const BhoItem& item) { return item.clsid == clsid; });
    return found;
  }

  test::TestAppFolder folder;
  CADODatabase database;
};

TEST_F(BhoViewTest, ListingShowsBothViewsAndMarksThe32BitOnes) {
  std::string twin = test::NewClassId();
  test::RegisteredBho in64("C:\\Tools\\helper64.dll", twin, k64), in32("C:\\Tools\\helper32.dll", twin, k32);
  test::RegisteredBho only32(std::nullopt, test::NewClassId(), k32);
  test::InsertBhoRow(database, twin, "Twin helper", "medium");

  ModuleIndex noProcesses;
  auto items = CollectRegisteredBhos(database, noProcesses);
  ASSERT_TRUE(items);
  auto twins = ItemsOf(*items, twin);
  ASSERT_EQ(twins.size(), 2u);
  EXPECT_EQ(twins[0].view, k64);
  EXPECT_EQ(twins[0].name, "Twin helper");
  EXPECT_EQ(twins[1].view, k32);
  EXPECT_EQ(twins[1].name, "Twin helper (32-bit)");
  EXPECT_EQ(twins[1].image, kImageMediumRisk);
  auto single = ItemsOf(*items, only32.Clsid());
  ASSERT_EQ(single.size(), 1u);
  EXPECT_EQ(single[0].name, "Unknown BHO (32-bit)");
  // Each view's class key names its own file.
  EXPECT_EQ(BhoFile(twin, k32), "C:\\Tools\\helper32.dll");
  EXPECT_EQ(BhoFile(twin, k64), "C:\\Tools\\helper64.dll");
  EXPECT_EQ(BhoViewOf(only32.Clsid()), k32);
}

TEST_F(BhoViewTest, AClassUnderProgramFilesNamesTheFolderOfItsOwnView) {
  struct Case {
    RegistryView view;
    const char* folder;  // the variable holding the view's Program Files
  };
  std::string clsid = test::NewClassId();
  test::RegisteredBho in32("%ProgramFiles%\\x\\y.dll", clsid, k32), in64("%ProgramFiles%\\x\\y.dll", clsid, k64);
  for (Case c : {Case{k32, "ProgramFiles(x86)"}, Case{k64, "ProgramW6432"}}) {
    SCOPED_TRACE(ViewLabel(c.view));
    std::optional<std::string> folder = EnvironmentVariable(c.folder);
    ASSERT_TRUE(folder);
    EXPECT_EQ(BhoFile(clsid, c.view), *folder + "\\x\\y.dll");
  }
  EXPECT_NE(BhoFile(clsid, k32), BhoFile(clsid, k64));
}

TEST_F(BhoViewTest, DeepScanFindsAKnownClassOfThe32BitView) {
  std::string clsid = test::NewClassId();
  ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, ClassKey(clsid), KEY_ALL_ACCESS, k32));
  test::InsertBhoRow(database, clsid, "Deep helper", "none");
  StopSource stop;
  std::vector<BhoItem> found;
  DeepScanSink sink;
  sink.found = [&](BhoItem item) {
    if (item.clsid != clsid) return;
    found.push_back(std::move(item));
    stop.RequestStop();
  };
  EXPECT_FALSE(DeepScanBhos(database, stop.Token(), sink)) << "stopped at the find";
  test::RemoveBhoKeys(clsid);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].view, k32);
  EXPECT_EQ(found[0].name, "Deep helper (32-bit)");
}

TEST_F(BhoViewTest, UninstallingThe32BitTwinLeavesThe64BitOneAndItsFile) {
  test::TempFolder bin;
  std::string file32 = bin.File("helper32.dll"), file64 = bin.File("helper64.dll");
  for (const std::string& file : {file32, file64}) ASSERT_TRUE(test::CopyFixtureDll(file));
  std::string clsid = test::NewClassId();
  test::RegisteredBho in32(file32, clsid, k32), in64(file64, clsid, k64);
  test::FakeMainWindow window;
  test::ScriptedPrompt prompt({IDYES});
  UninstallTiming quick;
  quick.stepPause = quick.finalPause = quick.unregister.pauseAfter = 10;

  EXPECT_EQ(UninstallBho(window.Handle(), database, folder.Text(), SelectedBho{clsid, {}, k32}, quick), 1);
  EXPECT_FALSE(fs::exists(file32));
  EXPECT_TRUE(fs::exists(file64));
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, BhoKey(clsid), k32));
  EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, BhoKey(clsid), k64));
  EXPECT_EQ(BhoFile(clsid, k64), file64);
}

TEST_F(BhoViewTest, TheTreeRemembersTheViewOfEachItem) {
  std::string twin = test::NewClassId();
  test::RegisteredBho in64(std::nullopt, twin, k64), in32(std::nullopt, twin, k32);
  test::InsertBhoRow(database, twin, "Tree twin", "high");
  test::FakeMainWindow window{&database};
  BhoManager manager(window);
  manager.Attach(nullptr, nullptr);
  manager.StartListing();
  ASSERT_TRUE(test::PumpUntil([&] { return !manager.Busy() && window.FindTopLevel("Tree twin (32-bit)"); }, 60s));
  for (auto [text, view] : {std::pair{"Tree twin", k64}, std::pair{"Tree twin (32-bit)", k32}}) {
    TreeView_SelectItem(window.Tree(), window.FindTopLevel(text));
    auto selected = manager.Selected();
    ASSERT_TRUE(selected) << text;
    EXPECT_EQ(selected->clsid, twin);
    EXPECT_EQ(selected->view, view) << text;
  }
}

TEST_F(BhoViewTest, KeyWatcherWakesForA32BitRegistration) {
  std::string clsid = test::NewClassId();
  test::FakeMainWindow window;
  std::mutex mutex;
  std::vector<std::string> announced;
  KeyWatchTarget target;
  target.mainWindow = window.Handle();
  target.database = &database;
  target.announce = [&](const std::string& id, const std::string&) {
    std::lock_guard lock(mutex);
    announced.push_back(id);
  };
  std::atomic<DWORD> result{99};
  std::thread watcher([&] { result = WatchBhoKey(target); });
  Sleep(300);  // let it start waiting
  test::RegisteredBho bho(std::nullopt, clsid, k32);
  bool woke = test::PumpUntil([&] { return result.load() != 99; }, 10s);
  if (!woke) {
    test::RegisteredBho wake(std::nullopt, test::NewClassId(), k64);  // lets the thread end
  }
  watcher.join();
  ASSERT_TRUE(woke);
  std::lock_guard lock(mutex);
  EXPECT_EQ(std::count(announced.begin(), announced.end(), clsid), 1);
}

}  // namespace
}  // namespace tidewell
