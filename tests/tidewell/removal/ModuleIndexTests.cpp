// Which processes load which file, from one snapshot.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tidewell/removal/ModuleIndex.h"
#include "tidewell/removal/ProcessList.h"

namespace tidewell {
namespace {

std::string OwnPath() {
  char path[MAX_PATH];
  return std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
}

std::string Folded(std::string text, int (*fold)(int)) {
  std::transform(text.begin(), text.end(), text.begin(), [fold](unsigned char c) { return char(fold(c)); });
  return text;
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
      {self, Folded(path, ::toupper), true},
      {self, Folded(path, ::tolower), true},
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
  char kernel[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleHandleA("kernel32.dll"), kernel, MAX_PATH);
  std::vector<LinkedProcess> holders = modules.ProcessesWith(kernel);
  ASSERT_GT(holders.size(), 1u) << "every process loads kernel32";
  CProcessList list;
  ASSERT_TRUE(list.Refresh());
  std::vector<DWORD> order;
  for (size_t i = 0; i < list.ProcessCount(); ++i) order.push_back(list.Process(i).entry.th32ProcessID);
  size_t last = 0;
  for (const LinkedProcess& holder : holders) {
    auto at = std::find(order.begin(), order.end(), holder.processId);
    if (at == order.end()) continue;  // ended since the index was built
    EXPECT_GE(size_t(at - order.begin()), last) << holder.exeName;
    last = at - order.begin();
  }
  std::vector<LinkedProcess> self = modules.ProcessesWith(OwnPath());
  ASSERT_EQ(self.size(), 1u);
  EXPECT_EQ(self[0].processId, GetCurrentProcessId());
  EXPECT_STRCASEEQ(self[0].exeName.c_str(), OwnPath().substr(OwnPath().find_last_of('\\') + 1).c_str());

  std::vector<std::string> paths = modules.LoadedPaths();
  EXPECT_NE(std::find(paths.begin(), paths.end(), Folded(OwnPath(), ::toupper)), paths.end());
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(std::adjacent_find(paths.begin(), paths.end()), paths.end()) << "each path once";
}

}  // namespace
}  // namespace tidewell
