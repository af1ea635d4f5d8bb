#include "shared/win/ErrorLog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/ErrorLogWatch.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

TEST(ErrorLog, AppendsToTheFileInTheAppFolderWhateverTheCurrentFolderWithoutLineEnds) {
  test::ErrorLogWatch log;
  test::TempFolder current;
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(current.Text().c_str()));
  AppendErrorLog("Modul32First 001");
  AppendErrorLog("Modul32First 001");
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(log.Added(), "Modul32First 001Modul32First 001");
  EXPECT_FALSE(test::PathExists(current.File(kErrorLogFileName)));
}

}  // namespace
}  // namespace tidewell
