#pragma once
// Finding the BHOs of the machine and the processes that carry them. These
// run on worker threads and return plain data; the tree is filled elsewhere.

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Workers.h"
#include "shared/win/Registry.h"
#include "tidewell/removal/ModuleIndex.h"

namespace tidewell {

struct BhoItem {
  std::string clsid;
  std::string name;  // as the tree shows it, with the view where it matters
  int image = 0;
  std::vector<LinkedProcess> processes;
  RegistryView view = RegistryView::Native;
};

inline constexpr size_t kMaxBhoSubkeys = 1000;

// Every registered BHO (non-empty subkey names of the BHO key, at most the
// first kMaxBhoSubkeys of each registry view), named and rated, with its
// linked processes; the 64-bit view's first. Nothing when no view's BHO key
// can be opened; what was found so far when `stop` is set.
std::optional<std::vector<BhoItem>> CollectRegisteredBhos(CADODatabase& database, const ModuleIndex& modules,
                                                          const StopToken& stop = {});

struct DeepScanSink {
  std::function<void(const std::string& classKey)> classStarted;  // "CLSID\{...}"
  std::function<void(BhoItem item)> found;
  HWND reportTo = nullptr;  // tells the user what the process list could not read
};

// Walks every class under HKCR\CLSID, in each registry view, and reports
// those the BHOS table knows, linked from one module snapshot taken at the
// first find. Checks `stop` after each class; false when it
// stopped early.
bool DeepScanBhos(CADODatabase& database, const StopToken& stop, const DeepScanSink& sink);

}  // namespace tidewell
