// The process list and the module index: which processes run, who owns them, what they loaded.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "shared/text/Text.h"
#include "tidewell/removal/ModuleIndex.h"
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

TEST(ModuleIndex, MatchesModulePathsWithoutRegardToCase) {
  ModuleIndex modules;
  modules.Build();
  const std::string path = OwnPath();
  char shortPath[MAX_PATH] = {};
  bool shortDiffers = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH) && _stricmp(shortPath, path.c_str()) != 0;
  const DWORD self = GetCurrentProcessId();
  struct Case {
    DWORD processId;
    std::string path;
    bool loaded;
  } cases[] = {
      {self, path, true},
      {self, UpperAscii(path), true},
      {self, LowerAscii(path), true},
      {self, path + ".other", false},
      {self, "", false},
      {0xFFFFFFF0, path, false},  // no such process
      // Another spelling of the same file is another text.
      {self, shortDiffers ? std::string(shortPath) : path + ".short", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(modules.Loads(c.processId, c.path), c.loaded) << c.path;
    if (c.processId == self) EXPECT_EQ(modules.IsLoaded(c.path), c.loaded) << c.path;
  }
}

TEST(ModuleIndex, GivesTheLoadingProcessesInProcessOrderAndEachPathOnce) {
  ModuleIndex modules;
  modules.Build();
  CProcessList list;
  ASSERT_TRUE(list.Refresh());
  std::vector<DWORD> order;
  for (size_t i = 0; i < list.ProcessCount(); ++i) order.push_back(list.Process(i).entry.th32ProcessID);
  // A 32-bit program sees only the modules of the 32-bit processes, so a
  // shared path may have one holder there.
  for (const std::string& path : modules.LoadedPaths()) {
    size_t last = 0;
    for (const LinkedProcess& holder : modules.ProcessesWith(path)) {
      auto at = std::find(order.begin(), order.end(), holder.processId);
      if (at == order.end()) continue;  // ended since the index was built
      EXPECT_GE(size_t(at - order.begin()), last) << path << " in " << holder.exeName;
      last = at - order.begin();
    }
  }
  std::vector<LinkedProcess> self = modules.ProcessesWith(OwnPath());
  ASSERT_EQ(self.size(), 1u);
  EXPECT_EQ(self[0].processId, GetCurrentProcessId());
  EXPECT_STRCASEEQ(self[0].exeName.c_str(), OwnPath().substr(OwnPath().find_last_of('\\') + 1).c_str());

  std::vector<std::string> paths = modules.LoadedPaths();
  EXPECT_NE(std::find(paths.begin(), paths.end(), UpperAscii(OwnPath())), paths.end());
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(std::adjacent_find(paths.begin(), paths.end()), paths.end()) << "each path once";
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

TEST(ErrorLog, PathComparisonFoldsCaseOnly) {
  EXPECT_TRUE(SamePathIgnoringCase("C:\\Windows\\System32\\x.DLL", "c:\\windows\\system32\\X.dll"));
  EXPECT_FALSE(SamePathIgnoringCase("C:\\Windows\\x.dll", "C:\\Windows\\x.dl"));
  EXPECT_FALSE(SamePathIgnoringCase("C:\\PROGRA~1\\x.dll", "C:\\Program Files\\x.dll"));
}

}  // namespace
}  // namespace tidewell
