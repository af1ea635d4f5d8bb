// Naming, rating and linking the BHOs registered on the (Wine) machine.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include "shared/win/Registry.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/bho/BhoTestSupport.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoListing.h"
#include "tidewell/bho/BhoText.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class BhoCatalogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(database.Open(folder.ConnectionString())); }

  const BhoItem* Find(const std::vector<BhoItem>& items, const std::string& clsid) {
    auto found = std::find_if(items.begin(), items.end(), [&](const BhoItem& item) { return item.clsid == clsid; });
    return found == items.end() ? nullptr : &*found;
  }

  test::TestAppFolder folder;
  CADODatabase database;
};

TEST_F(BhoCatalogTest, NamesAndRatesFromTheBhosTable) {
  test::RegisteredBho unknown(std::nullopt), known(std::nullopt), high(std::nullopt), wrongCase(std::nullopt),
      emptyName(std::nullopt);
  test::InsertBhoRow(database, known.Clsid(), "Known helper", "medium");
  test::InsertBhoRow(database, high.Clsid(), "Bad helper", "high");
  test::InsertBhoRow(database, wrongCase.Clsid(), "Shouting helper", "High");
  test::InsertBhoRow(database, emptyName.Clsid(), "", "none");

  EXPECT_EQ(BhoName(database, unknown.Clsid()), "Unknown BHO");
  EXPECT_EQ(BhoRiskImage(database, unknown.Clsid()), kImageUnknownRisk);
  EXPECT_EQ(BhoName(database, known.Clsid()), "Known helper");
  EXPECT_EQ(BhoRiskImage(database, known.Clsid()), kImageMediumRisk);
  EXPECT_EQ(BhoRiskImage(database, high.Clsid()), kImageHighRisk);
  EXPECT_EQ(BhoRiskImage(database, wrongCase.Clsid()), kImageUnknownRisk);
  EXPECT_EQ(BhoName(database, emptyName.Clsid()), "");
  EXPECT_EQ(BhoRiskImage(database, emptyName.Clsid()), kImageNoRisk);
  // Class IDs arrive in either case.
  std::string lower = known.Clsid();
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  EXPECT_EQ(BhoName(database, lower), "Known helper");
}

TEST_F(BhoCatalogTest, LooksUpAClassIdWithAnApostropheWithoutBreakingTheStatement) {
  EXPECT_EQ(BhoName(database, "{it's'}"), "Unknown BHO");
  test::InsertBhoRow(database, "{it's'}", "Quote", "none");
  EXPECT_EQ(BhoName(database, "{it's'}"), "Quote");
}

TEST_F(BhoCatalogTest, ReadsAndExpandsTheRegisteredFile) {
  test::RegisteredBho plain("C:\\Program Files\\Tool\\helper.dll");
  test::RegisteredBho variable("%windir%\\helper.dll");
  test::RegisteredBho noServer(std::nullopt);
  char windir[MAX_PATH];
  ASSERT_GT(GetEnvironmentVariableA("windir", windir, MAX_PATH), 0u);

  EXPECT_EQ(BhoFile(plain.Clsid()), "C:\\Program Files\\Tool\\helper.dll");
  EXPECT_EQ(BhoFile(variable.Clsid()), std::string(windir) + "\\helper.dll");
  EXPECT_EQ(BhoFile(noServer.Clsid()), "");
  EXPECT_EQ(BhoFile(""), "");
}

TEST_F(BhoCatalogTest, LastWriteTimeIsTheBhoKeysOrZero) {
  int64_t before = time(nullptr);
  test::RegisteredBho bho(std::nullopt);
  int64_t written = BhoLastWriteTime(bho.Clsid());
  EXPECT_GE(written, before - 2);
  EXPECT_LE(written, time(nullptr) + 2);
  EXPECT_EQ(BhoLastWriteTime(test::NewClassId()), 0);
  EXPECT_EQ(BhoLastWriteTime(""), KeyLastWriteTime(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\"));
}

TEST_F(BhoCatalogTest, ListingNamesRatesAndSkipsNothingRegistered) {
  test::RegisteredBho unknown(std::nullopt), high(std::nullopt), wrongCase(std::nullopt);
  test::InsertBhoRow(database, high.Clsid(), "Bad helper", "high");
  test::InsertBhoRow(database, wrongCase.Clsid(), "Shouting helper", "High");
  ModuleIndex modules;
  modules.Build();
  auto items = CollectRegisteredBhos(database, modules);
  ASSERT_TRUE(items);
  const BhoItem* first = Find(*items, unknown.Clsid());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->name, test::Shown("Unknown BHO"));
  EXPECT_EQ(first->image, kImageUnknownRisk);
  EXPECT_TRUE(first->processes.empty()) << "no InprocServer32, no linked process";
  ASSERT_NE(Find(*items, high.Clsid()), nullptr);
  EXPECT_EQ(Find(*items, high.Clsid())->image, kImageHighRisk);
  ASSERT_NE(Find(*items, wrongCase.Clsid()), nullptr);
  EXPECT_EQ(Find(*items, wrongCase.Clsid())->image, kImageUnknownRisk);
  for (const BhoItem& item : *items) EXPECT_FALSE(item.clsid.empty());
}

// A machine where no BHO was ever registered has no registration key: that
// is an empty list, not an error, and the key is there for the watcher after.
TEST_F(BhoCatalogTest, MissingRegistrationKeyListsNothingAndIsCreated) {
  for (RegistryView view : RegistryViews()) {
    UniqueKey existing = OpenKey(HKEY_LOCAL_MACHINE, kBhoKeyPath, KEY_READ, view);
    if (existing && !SubkeyNames(existing.Get()).empty()) GTEST_SKIP() << "other BHOs are registered";
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kBhoKeyPath);
  ASSERT_FALSE(OpenKey(HKEY_LOCAL_MACHINE, kBhoKeyPath));
  ModuleIndex modules;
  modules.Build();
  auto items = CollectRegisteredBhos(database, modules);
  ASSERT_TRUE(items);
  EXPECT_TRUE(items->empty());
  EXPECT_TRUE(OpenKey(HKEY_LOCAL_MACHINE, kBhoKeyPath));
}

TEST_F(BhoCatalogTest, LinksTheProcessesThatHaveTheFileLoadedWhateverTheCase) {
  test::TempFolder bin;
  std::string dll = bin.File("linked_bho.dll");
  ASSERT_TRUE(test::CopyFixtureDll(dll));
  test::HostProcess host(dll);
  ASSERT_TRUE(host.WaitUntilLoaded(dll, 10s));
  std::string upper = dll;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  test::RegisteredBho exact(dll), shouted(upper), other(bin.File("other.dll"));

  ModuleIndex modules;
  modules.Build();
  auto items = CollectRegisteredBhos(database, modules);
  ASSERT_TRUE(items);
  for (const auto* bho : {&exact, &shouted}) {
    const BhoItem* item = Find(*items, bho->Clsid());
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->processes.size(), 1u);
    EXPECT_EQ(item->processes[0].processId, host.Id());
    EXPECT_STREQ(item->processes[0].exeName.c_str(), "test_bho_host.exe");
  }
  ASSERT_NE(Find(*items, other.Clsid()), nullptr);
  EXPECT_TRUE(Find(*items, other.Clsid())->processes.empty());
}

TEST(ClassIdTable, GivesDistinctIndicesUnderConcurrentUseAndNeverOverruns) {
  ClassIdTable table;
  std::vector<std::vector<std::pair<int, std::string>>> taken(4);
  std::vector<int> refused(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        std::string clsid = "{" + std::to_string(t) + "-" + std::to_string(i) + "}";
        if (auto index = table.Add(clsid))
          taken[t].emplace_back(*index, clsid);
        else
          ++refused[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<int> indices;
  size_t total = 0;
  for (const auto& list : taken) {
    for (const auto& [index, clsid] : list) {
      EXPECT_TRUE(indices.insert(index).second) << "index " << index << " given twice";
      EXPECT_EQ(table.At(index), clsid);
      ++total;
    }
  }
  EXPECT_EQ(total, static_cast<size_t>(ClassIdTable::kCapacity));
  EXPECT_EQ(refused[0] + refused[1] + refused[2] + refused[3], 800 - ClassIdTable::kCapacity);
  EXPECT_EQ(*indices.rbegin(), ClassIdTable::kCapacity - 1);
  EXPECT_EQ(table.At(ClassIdTable::kCapacity), "");
  EXPECT_EQ(table.At(-1), "");
  table.Restart();
  EXPECT_EQ(table.Add("{again}"), std::optional<int>(0));
}

}  // namespace
}  // namespace tidewell
