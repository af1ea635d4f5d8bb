// Tidewell.exe started as a user would start it, from a folder of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "shared/db/ConnectionString.h"
#include "shared/win/Profile.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void CopyProgramInto(const test::TempFolder& folder) {
  fs::copy_file(test::ProgramFolder() / "Tidewell.exe", folder.Path() / "Tidewell.exe");
}

TEST(TidewellProgram, WithoutDatabaseShowsTheConnectionStringAndEndsWithCodeZero) {
  test::TempFolder folder;
  CopyProgramInto(folder);
  WriteProfileValue("AppPath", "before");
  test::RunningProgram tidewell(folder.File("Tidewell.exe"), folder.Text());
  ASSERT_TRUE(tidewell.Started());
  HWND box = tidewell.WaitForWindow("Tidewell", 20s);
  ASSERT_NE(box, nullptr);
  std::string expected = BuildConnectionString(folder.Text() + "\\bhodb.mdb");
  auto texts = test::ChildTexts(box);
  EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << "the box shows only the connection string";
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(tidewell.WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_EQ(ReadProfileValue("AppPath"), "before");
  EXPECT_FALSE(fs::exists(folder.Path() / "bhodb.mdb"));
}

TEST(TidewellProgram, WithDatabaseRecordsAppPathAndShowsItsWindow) {
  test::TestAppFolder folder;
  CopyProgramInto(folder);
  WriteProfileValue("AppPath", "before");
  test::RunningProgram tidewell(folder.File("Tidewell.exe"), folder.Text());
  ASSERT_TRUE(tidewell.Started());
  HWND window = tidewell.WaitForWindow("Tidewell v1.0.2.85", 20s);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ReadProfileValue("AppPath"), folder.Text() + "\\bhodb.mdb");
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(tidewell.WaitForExit(20s), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tidewell
