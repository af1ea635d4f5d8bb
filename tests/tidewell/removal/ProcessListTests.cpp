// The process list: which processes run and who owns them.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/TestFolder.h"
#include "tidewell/removal/ProcessList.h"

namespace tidewell {
namespace {

std::string OwnPath() {
  char path[MAX_PATH];
  return std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
}

TEST(ProcessList, ListsThisProcessButNoSystemEntries) {
  CProcessList list;
  ASSERT_TRUE(list.Refresh());
  bool self = false;
  for (size_t i = 0; i < list.ProcessCount(); ++i) {
    const ProcessRecord& process = list.Process(i);
    EXPECT_NE(process.entry.th32ProcessID, 0u);
    EXPECT_STRNE(process.entry.szExeFile, "System");
    EXPECT_STRNE(process.entry.szExeFile, "[System Process]");
    if (process.entry.th32ProcessID == GetCurrentProcessId()) {
      self = true;
      EXPECT_FALSE(process.owner.empty());
      EXPECT_STRCASEEQ(process.entry.szExeFile, OwnPath().substr(OwnPath().find_last_of('\\') + 1).c_str());
    }
  }
  EXPECT_TRUE(self);
  // A refresh replaces the list rather than adding to it.
  size_t count = list.ProcessCount();
  ASSERT_TRUE(list.Refresh());
  EXPECT_LT(list.ProcessCount(), count + 5);
}

TEST(ProcessList, OwnersFallBackWhenAProcessCannotBeOpened) {
  std::string user = "before", domain = "kept";
  EXPECT_TRUE(CProcessList::GetProcessOwner(0xFFFFFFF0, user, domain));
  EXPECT_EQ(user, "NETWORK/LOCAL SERVICE");
  EXPECT_EQ(domain, "kept");
  user.clear();
  EXPECT_TRUE(CProcessList::GetProcessOwner(GetCurrentProcessId(), user, domain));
  EXPECT_FALSE(user.empty());
}

TEST(ErrorLog, AppendsToTheFileInTheCurrentFolderWithoutLineEnds) {
  test::TempFolder folder;
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(folder.Text().c_str()));
  AppendErrorLog("Modul32First 001");
  AppendErrorLog("Modul32First 001");
  SetCurrentDirectoryA(previous);
  std::ifstream log(folder.File("tidewellerror.log"), std::ios::binary);
  std::stringstream content;
  content << log.rdbuf();
  EXPECT_EQ(content.str(), "Modul32First 001Modul32First 001");
}

TEST(ErrorLog, PathComparisonFoldsCaseOnly) {
  EXPECT_TRUE(SamePathIgnoringCase("C:\\Windows\\System32\\x.DLL", "c:\\windows\\system32\\X.dll"));
  EXPECT_FALSE(SamePathIgnoringCase("C:\\Windows\\x.dll", "C:\\Windows\\x.dl"));
  EXPECT_FALSE(SamePathIgnoringCase("C:\\PROGRA~1\\x.dll", "C:\\Program Files\\x.dll"));
}

}  // namespace
}  // namespace tidewell
