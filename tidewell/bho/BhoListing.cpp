#include "tidewell/bho/BhoListing.h"

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoText.h"
#include "tidewell/util/ProcessList.h"

namespace tidewell {

void ModuleIndex::Build(HWND reportTo) {
  processes_.clear();
  byPath_.clear();
  CProcessList list(reportTo);
  list.RefreshWithModules();
  std::unordered_map<DWORD, size_t> positionOf;
  for (size_t i = 0; i < list.ProcessCount(); ++i) {
    const PROCESSENTRY32& entry = list.Process(i).entry;
    positionOf[entry.th32ProcessID] = i;
    processes_.push_back({entry.th32ProcessID, entry.szExeFile});
  }
  // Modules arrive in process order, so each path's positions stay sorted.
  for (size_t i = 0; i < list.ModuleCount(); ++i) {
    const ModuleRecord& module = list.Module(i);
    auto position = positionOf.find(module.th32ProcessID);
    if (position == positionOf.end()) continue;
    std::vector<size_t>& holders = byPath_[UpperCaseName(module.szExePath)];
    if (holders.empty() || holders.back() != position->second) holders.push_back(position->second);
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

std::vector<LinkedProcess> FindLinkedProcesses(const std::string& path, HWND reportTo) {
  std::vector<LinkedProcess> linked;
  if (path.empty()) return linked;
  CProcessList list(reportTo);
  if (!list.Refresh()) return linked;
  for (size_t i = 0; i < list.ProcessCount(); ++i) {
    const PROCESSENTRY32& entry = list.Process(i).entry;
    if (list.HasModule(entry.th32ProcessID, path)) linked.push_back({entry.th32ProcessID, entry.szExeFile});
  }
  return linked;
}

std::optional<std::vector<BhoItem>> CollectRegisteredBhos(CADODatabase& database, const ModuleIndex& modules,
                                                          const StopToken& stop) {
  std::optional<std::vector<BhoItem>> items;
  for (RegistryView view : RegistryViews()) {
    UniqueKey key = OpenBhoRegistrationKey(KEY_ENUMERATE_SUB_KEYS, view);
    if (!key) continue;
    if (!items) items.emplace();
    for (DWORD index = 0; index < kMaxBhoSubkeys && !stop.StopRequested(); ++index) {
      char name[200] = {};
      DWORD length = sizeof name;
      LONG result = RegEnumKeyExA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result != ERROR_SUCCESS || name[0] == '\0') continue;
      BhoItem item;
      item.clsid = name;
      item.view = view;
      std::optional<BhoRow> row = FindBhoRow(database, item.clsid);
      item.name = BhoTextInView(row ? row->name : "Unknown BHO", view);
      item.image = row ? RiskImageForWord(row->risk) : kImageUnknownRisk;
      item.processes = modules.ProcessesWith(BhoFile(item.clsid, view));
      items->push_back(std::move(item));
    }
  }
  return items;
}

bool DeepScanBhos(CADODatabase& database, const StopToken& stop, const DeepScanSink& sink) {
  for (RegistryView view : RegistryViews()) {
    UniqueKey key = OpenKey(HKEY_CLASSES_ROOT, "CLSID", KEY_ENUMERATE_SUB_KEYS, view);
    if (!key) continue;
    for (DWORD index = 0;; ++index) {
      char name[100] = {};
      DWORD length = sizeof name;
      LONG result = RegEnumKeyExA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result == ERROR_SUCCESS && name[0] != '\0') {
        if (sink.classStarted) sink.classStarted(std::string("CLSID\\") + name);
        if (std::optional<BhoRow> row = FindBhoRow(database, name)) {
          BhoItem item;
          item.clsid = name;
          item.view = view;
          item.name = BhoTextInView(row->name, view);
          item.image = RiskImageForWord(row->risk);
          item.processes = FindLinkedProcesses(BhoFile(name, view), sink.reportTo);
          if (sink.found) sink.found(std::move(item));
        }
      } else if (result != ERROR_MORE_DATA) {
        break;  // anything else would repeat for ever
      }
      if (stop.StopRequested()) return false;
    }
  }
  return true;
}

}  // namespace tidewell
