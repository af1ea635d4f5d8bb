#include "tidewell/bho/BhoListing.h"

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoText.h"

namespace tidewell {

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
  std::optional<ModuleIndex> modules;
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
          std::string file = BhoFile(name, view);
          if (!modules && !file.empty()) modules.emplace().Build(sink.reportTo);
          if (modules) item.processes = modules->ProcessesWith(file);
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
