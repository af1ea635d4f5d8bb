#pragma once
// Which running processes have which file loaded: one snapshot of every
// listed process's modules, then answered from memory, so a listing, a scan
// or a removal asks the system once however many files it looks up.

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace tidewell {

struct LinkedProcess {
  DWORD processId = 0;
  std::string exeName;
};

class ModuleIndex {
 public:
  // Replaces what an earlier Build found. reportTo: the window that tells the
  // user when no process snapshot can be taken (without one, in place).
  void Build(HWND reportTo = nullptr);

  // Paths match without regard to case; the processes come in process-list order.
  std::vector<LinkedProcess> ProcessesWith(const std::string& path) const;
  bool IsLoaded(const std::string& path) const;
  bool Loads(DWORD processId, const std::string& path) const;
  // Every loaded path once, upper-cased, in the order first met.
  const std::vector<std::string>& LoadedPaths() const { return paths_; }

 private:
  std::vector<LinkedProcess> processes_;
  std::vector<std::string> paths_;
  std::unordered_map<std::string, std::vector<size_t>> byPath_;  // folded path -> process positions
};

}  // namespace tidewell
