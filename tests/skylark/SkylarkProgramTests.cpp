// Skylark started as a user starts it, against tools/update-server, which the
// test's command line starts and names in SKYLARK_UPDATE_HOST.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdlib>

#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "shared/win/Profile.h"
#include "skylark/SkylarkResource.h"
#include "skylark/UpdateAnswer.h"
#include "tests/skylark/SkylarkTestSupport.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/MessagePump.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

// A count the server was started with; 0 when not named.
int ServerCount(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : 0;
}

std::string StatusAfterUpdate(test::RunningProgram& program, std::chrono::seconds wait = 30s) {
  HWND window = program.WaitForWindow("BHO updater", 20s);
  if (!window) return "no window";
  HWND status = GetDlgItem(window, IDC_SKYLARK_STATUS);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  std::string text;
  test::PumpUntil([&] {
    text = test::WindowText(status);
    return text.rfind("Updated", 0) == 0 || text.rfind("Definitions", 0) == 0;
  }, wait);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return text;
}

int CountBhos(const test::TestAppFolder& folder, const std::string& where) {
  CADODatabase database;
  if (!database.Open(folder.ConnectionString())) return -1;
  return test::CountRows(database, "select * from bhos where " + where);
}

TEST(SkylarkProgram, UpdatesFromTheUpdateServerAndThenIsUpToDate) {
  const char* host = std::getenv("SKYLARK_UPDATE_HOST");
  if (!host) GTEST_SKIP() << "run through tools/update-server --then";
  if (ServerCount("SKYLARK_UPDATE_GENERATED") > 0) GTEST_SKIP() << "the server adds made-up records";
  test::SkylarkProfile profile;
  test::TestAppFolder folder;
  profile.Set(folder.DatabaseFile(), "", host);
  std::string skylark = (test::ProgramFolder() / "Skylark.exe").string();

  {
    test::RunningProgram program(skylark, folder.Text());
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(StatusAfterUpdate(program), "Updated with 4 new definitions");
    EXPECT_EQ(program.WaitForExit(10s), 0u);
  }
  EXPECT_EQ(ReadProfileValue(kUpdateRecordKey), "Skylark|05.12.2004");
  EXPECT_EQ(CountBhos(folder, "name='O''Brien Toolbar Helper' and modified=1"), 1);
  EXPECT_EQ(CountBhos(folder, "clsid='{06849E9F-C8D7-4D59-B87D-784B7D6BE0B3}' and comments like 'Opens PDF links%'"), 1);

  {
    test::RunningProgram again(skylark, folder.Text());
    EXPECT_EQ(StatusAfterUpdate(again), "Definitions are up-to-date");
    EXPECT_EQ(again.WaitForExit(10s), 0u);
  }

  // A blank in the record's first field reaches the server, which answers from the record's date.
  WriteProfileValue(kUpdateRecordKey, "My Tidewell|15.07.2004");
  test::RunningProgram blank(skylark, folder.Text());
  EXPECT_EQ(StatusAfterUpdate(blank), "Updated with 3 new definitions");
  EXPECT_EQ(blank.WaitForExit(10s), 0u);
  EXPECT_EQ(ReadProfileValue(kUpdateRecordKey), "My Tidewell|05.12.2004");
}

// A first download of many thousands of records, some unusable, in one run.
TEST(SkylarkProgram, AFirstDownloadOfThousandsMergesAndShowsTheResult) {
  const char* host = std::getenv("SKYLARK_UPDATE_HOST");
  int generated = ServerCount("SKYLARK_UPDATE_GENERATED"), unusable = ServerCount("SKYLARK_UPDATE_UNUSABLE");
  if (!host || generated == 0) GTEST_SKIP() << "run through tools/update-server --generate N --then";
  test::SkylarkProfile profile;
  test::TestAppFolder folder;
  profile.Set(folder.DatabaseFile(), "", host);
  test::RunningProgram program((test::ProgramFolder() / "Skylark.exe").string(), folder.Text());
  ASSERT_TRUE(program.Started());
  EXPECT_EQ(StatusAfterUpdate(program, 240s), "Updated with " + std::to_string(generated + 4 + unusable) +
                                                  " new definitions. " + std::to_string(unusable) +
                                                  " records were skipped as unusable.");
  EXPECT_EQ(program.WaitForExit(10s), 0u);
  EXPECT_EQ(CountBhos(folder, "name like 'Made-up helper %'"), generated);
}

TEST(SkylarkProgram, WithoutADatabaseSaysSoAndEndsWithZero) {
  test::SkylarkProfile profile;
  test::TempFolder folder;
  profile.Set(folder.File("bhodb.mdb"), "", "127.0.0.1:1");
  test::RunningProgram program((test::ProgramFolder() / "Skylark.exe").string(), folder.Text());
  HWND box = program.WaitForWindow("Skylark", 20s);
  ASSERT_TRUE(box);
  std::vector<std::string> texts = test::ChildTexts(box);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Database not found!"), texts.end());
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(program.WaitForExit(10s), 0u);
  EXPECT_FALSE(std::filesystem::exists(folder.File("bhodb.mdb")));
}

TEST(SkylarkProgram, BringsInTheDeliveredDefinitionsHoldsItsMarkAndEndsOnTheQuitRequest) {
  test::SkylarkProfile profile;
  test::TestAppFolder folder;
  std::filesystem::copy_file(folder.Path() / "bhodb.mdb", folder.Path() / "bhodb-delivered.mdb");
  {
    CADODatabase kept;
    ASSERT_TRUE(kept.Open(folder.ConnectionString()));
    CADORecordset(kept).Open("delete from BHOS");
  }
  ASSERT_EQ(CountBhos(folder, "1=1"), 0);
  profile.Set(folder.DatabaseFile(), "", "127.0.0.1:1");
  test::RunningProgram program((test::ProgramFolder() / "Skylark.exe").string(), folder.Text());
  ASSERT_TRUE(program.WaitForWindow("BHO updater", 20s));
  EXPECT_GT(CountBhos(folder, "1=1"), 40);
  EXPECT_FALSE(test::PathExists(folder.File("bhodb-delivered.mdb")));
  UniqueHandle mark(OpenMutexA(SYNCHRONIZE, FALSE, "Local\\Skylark.Running"));
  EXPECT_TRUE(mark);
  mark.Reset();
  // As an installer asks: to every top-level window.
  PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("Tidewell.Quit"), 0, 0);
  EXPECT_EQ(program.WaitForExit(10s), 0u);
  mark.Reset(OpenMutexA(SYNCHRONIZE, FALSE, "Local\\Skylark.Running"));
  EXPECT_FALSE(mark);
}

}  // namespace
}  // namespace tidewell
