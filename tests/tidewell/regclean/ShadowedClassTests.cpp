// A class registered twice, the user's copy over the machine's: only the
// copy that names a missing file is the cleaner's.
#include <gtest/gtest.h>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"
#include "shared/win/RegistryLocation.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/SystemFolders.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/regclean/RegcleanFixtures.h"
#include "tidewell/regclean/CleanerEngine.h"

namespace tidewell {
namespace {

class NullSink : public CleanerSink {
 public:
  void Status(const std::string&) override {}
  void Found(int) override {}
};

// The copies the merged view is made of, as the test places them.
class PresentedCopies : public KeyCopies {
 public:
  std::vector<RegistryLocation> Of(const RegistryLocation& key) const override {
    asked.push_back(key);
    return copies;
  }
  std::vector<RegistryLocation> copies;
  mutable std::vector<RegistryLocation> asked;
};

// The 64-bit view for both builds: Wine keeps the user's classes in one
// place for both views, where Windows gives the 32-bit view a Wow6432Node.
constexpr RegistryView k64 = RegistryView::Bits64;

TEST(ShadowedClass, OnlyTheCopyThatNamesAMissingFileIsExportedAndDeleted) {
  struct Case {
    const char* name;
    bool presented;     // copies given to the repair; otherwise the registry's own
    std::string user, machine;  // parents of CLSID in HKCU and HKLM
  };
  const std::string scratch = "Software\\TidewellTests\\Shadow" + test::UniqueName("TwSc");
  const Case cases[] = {
      {"presented copies", true, scratch + "\\User", scratch + "\\Machine"},
      {"the registry's copies", false, "Software\\Classes", "Software\\Classes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestAppFolder folder;
    CADODatabase database;
    ASSERT_TRUE(database.Open(folder.ConnectionString()));
    test::PlantedEntries planted;
    const std::string clsid = "{" + planted.Marker() + "}", entry = "CLSID\\" + clsid + "\\InprocServer32";
    const std::string missing = "C:\\TwMissing" + planted.Marker() + "\\u.dll";
    const std::string valid = test::SystemFolder() + "\\kernel32.dll";
    RegistryLocation user{HKEY_CURRENT_USER, c.user + "\\" + entry, k64};
    RegistryLocation machine{HKEY_LOCAL_MACHINE, c.machine + "\\" + entry, k64};
    // The outermost key each case adds, so all below it goes at the end.
    std::string userTop = c.presented ? scratch : c.user + "\\CLSID\\" + clsid;
    std::string machineTop = c.presented ? scratch : c.machine + "\\CLSID\\" + clsid;
    planted.Key(HKEY_CURRENT_USER, userTop, "", "", REG_SZ, k64);
    planted.Key(HKEY_LOCAL_MACHINE, machineTop, "", "", REG_SZ, k64);
    planted.Key(HKEY_CURRENT_USER, user.path, "", missing, REG_SZ, k64);
    planted.Key(HKEY_LOCAL_MACHINE, machine.path, "", valid, REG_SZ, k64);
    planted.Value(HKEY_LOCAL_MACHINE, machine.path, "ThreadingModel", "Both", REG_SZ, k64);
    ASSERT_TRUE(ExecuteStatement(database, "insert into problems(ptype,rootkey,subkey,problem,state) values('RCC','" +
                                               RootKeyText(RootText::Hkcr, ViewLabel(k64)) + "','" + entry + "','" +
                                               missing + "',1)"));
    PresentedCopies copies;
    copies.copies = {user, machine};

    CRegistryBackup backup(database, folder.Text());
    NullSink sink;
    RepairResult result =
        RepairCategory(database, backup, Category::CustomControls, StopToken(), sink, c.presented ? &copies : nullptr);

    EXPECT_EQ(result.repaired, 1);
    EXPECT_EQ(result.failed, 0);
    if (c.presented) {
      EXPECT_EQ(copies.asked, (std::vector<RegistryLocation>{{HKEY_CLASSES_ROOT, entry, k64}}));
    }
    EXPECT_FALSE(user.Exists());
    UniqueKey kept = machine.Open();
    ASSERT_TRUE(kept);
    EXPECT_EQ(ReadString(kept.Get(), ""), valid);
    EXPECT_EQ(ReadString(kept.Get(), "ThreadingModel"), "Both");
    // One export, the user's copy, and it brings that copy back.
    auto exports = test::RegbkRows(database);
    ASSERT_EQ(exports.size(), 1u);
    ASSERT_EQ(test::RunReg("import \"" + exports[0].file + "\""), 0u);
    UniqueKey restored = user.Open();
    ASSERT_TRUE(restored);
    EXPECT_EQ(ReadString(restored.Get(), ""), missing);
  }
}

}  // namespace
}  // namespace tidewell
