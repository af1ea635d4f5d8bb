#include "tidewell/removal/ModuleIndex.h"

#include <tlhelp32.h>

#include <algorithm>

#include "shared/win/ErrorLog.h"
#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/ProcessList.h"

namespace tidewell {

namespace {

constexpr const char* kFirstModuleError = "Modul32First 001";

// Walks the modules of one process; a snapshot whose first entry cannot be
// read is noted in the error log.
template <class Visit>
void ForEachModule(DWORD processId, Visit&& visit) {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
  if (!snapshot) return;
  MODULEENTRY32 module{};
  module.dwSize = sizeof module;
  if (!Module32First(snapshot.Get(), &module)) {
    AppendErrorLog(kFirstModuleError);
    return;
  }
  do {
    visit(module);
    module.dwSize = sizeof module;
  } while (Module32Next(snapshot.Get(), &module));
}

}  // namespace

void ModuleIndex::Build(HWND reportTo) {
  processes_.clear();
  paths_.clear();
  byPath_.clear();
  CProcessList list(reportTo);
  list.Refresh();
  for (size_t i = 0; i < list.ProcessCount(); ++i) {
    const PROCESSENTRY32& entry = list.Process(i).entry;
    size_t position = processes_.size();
    processes_.push_back({entry.th32ProcessID, entry.szExeFile});
    ForEachModule(entry.th32ProcessID, [&](const MODULEENTRY32& module) {
      std::string path = UpperCaseName(module.szExePath);
      if (path.empty()) return;
      std::vector<size_t>& holders = byPath_[path];
      if (holders.empty()) paths_.push_back(path);
      if (holders.empty() || holders.back() != position) holders.push_back(position);
    });
  }
}

std::vector<LinkedProcess> ModuleIndex::ProcessesWith(const std::string& path) const {
  std::vector<LinkedProcess> linked;
  if (path.empty()) return linked;
  auto holders = byPath_.find(UpperCaseName(path));
  if (holders == byPath_.end()) return linked;
  for (size_t position : holders->second) linked.push_back(processes_[position]);
  return linked;
}

bool ModuleIndex::IsLoaded(const std::string& path) const {
  return !path.empty() && byPath_.count(UpperCaseName(path)) > 0;
}

bool ModuleIndex::Loads(DWORD processId, const std::string& path) const {
  std::vector<LinkedProcess> holders = ProcessesWith(path);
  return std::any_of(holders.begin(), holders.end(),
                     [processId](const LinkedProcess& p) { return p.processId == processId; });
}

}  // namespace tidewell
