#include "shared/win/ErrorLog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "shared/win/AppFolder.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

// The log of the test program's own folder, put back as it was afterwards.
class AppFolderLog : public ::testing::Test {
 protected:
  void SetUp() override { before_ = test::ReadWholeFile(path_); }
  void TearDown() override {
    if (before_.empty()) {
      DeleteFileA(path_.c_str());
    } else {
      HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written = 0;
      WriteFile(file, before_.data(), static_cast<DWORD>(before_.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  const std::string path_ = GetAppFolder() + kErrorLogFileName;
  std::string before_;
};

TEST_F(AppFolderLog, AppendsToTheFileInTheAppFolderWhateverTheCurrentFolderWithoutLineEnds) {
  test::TempFolder current;
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(current.Text().c_str()));
  AppendErrorLog("Modul32First 001");
  AppendErrorLog("Modul32First 001");
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(test::ReadWholeFile(path_), before_ + "Modul32First 001Modul32First 001");
  EXPECT_FALSE(test::PathExists(current.File(kErrorLogFileName)));
}

}  // namespace
}  // namespace tidewell
