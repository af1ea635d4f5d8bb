#include "tidewell/spyware/SpywareScanner.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "resources/resource.h"
#include "shared/win/AppFolder.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Prompt.h"
#include "shared/win/UiThread.h"
#include "tidewell/shell/EventLog.h"
#include "tidewell/spyware/DefinitionsFile.h"
#include "tidewell/spyware/DetectedSpywareDlg.h"
#include "tidewell/spyware/ScanLocations.h"

namespace tidewell {

namespace {

constexpr int kSpywareTab = 1;
constexpr ULONGLONG kStatusIntervalMs = 100;
constexpr const char* kCaption = "Tidewell";
constexpr const char* kNotRecordedMessage =
    "Tidewell could not record the detections of this scan: the database is locked or read-only. "
    "The detections found are shown, but they are not kept.";

// One main window per program, so one scanner state.
struct ScannerState {
  std::atomic<int> treeRequest{0};
  std::atomic<bool> scanning{false};
  std::atomic<int> scanRun{0};
  std::mutex mutex;
  std::string definitionsPath;  // tests only
  std::unique_ptr<CDetectedSpywareDlg> results;
};

ScannerState& State() {
  static ScannerState state;
  return state;
}

struct ScanReport {
  std::string path;
  bool missing = false;
  bool parseFailed = false;
  bool stopped = false;
  bool recorded = true;  // every detection is a row of spw_repair
  int count = 0;
  std::vector<Detection> detections;
  std::shared_ptr<const SpywareDefinitions> definitions;
};

void EndScan(IMainWindow& window) {
  EnableWindow(window.Button(IDB_SPYWARE_SCAN), TRUE);
  State().scanning = false;
}

void ShowResults(IMainWindow& window, ScanReport report) {
  HWND main = window.Window();
  IMainWindow* owner = &window;
  RemovalSettings settings;
  settings.appFolder = GetAppFolder();
  auto closed = [owner, main] {
    DropRepairTable(owner->Database());
    EndScan(*owner);
    // The dialog object goes once its own message handling has ended.
    PostToWindow(main, [] { State().results.reset(); });
  };
  auto& results = State().results;
  results = std::make_unique<CDetectedSpywareDlg>(std::move(report.detections), report.definitions,
                                                  std::move(settings), closed);
  if (!results->Show(main)) {
    results.reset();
    closed();
  }
}

void FinishScan(IMainWindow& window, ScanReport report) {
  HWND main = window.Window();
  window.SetStatus("");
  if (report.stopped) {
    EndScan(window);
    return;
  }
  if (report.missing) {
    Prompt(main, MissingDefinitionsMessage(), kCaption, MB_OK);
    EndScan(window);
    return;
  }
  // Definitions that did not load checked nothing: "no spyware found" would be untrue.
  if (report.parseFailed) {
    Prompt(main, report.path, kCaption, MB_OK);
    EndScan(window);
    return;
  }
  if (!report.recorded) Prompt(main, kNotRecordedMessage, kCaption, MB_OK | MB_ICONWARNING);
  if (!report.detections.empty()) {
    ShowResults(window, std::move(report));
    return;
  }
  Prompt(main, "Scanning complete! No spyware found", kCaption, MB_OK);
  EndScan(window);
}

void RunSpywareScan(IMainWindow* window, HWND main, std::string path, ScanScope scope, const StopToken& stop) {
  CADODatabase& database = window->Database();
  ScanReport report;
  report.path = path;
  if (IsGone(path)) {
    report.missing = true;
  } else {
    std::optional<std::string> bytes = ReadWholeFile(path);
    std::optional<SpywareDefinitions> definitions = bytes ? LoadDefinitions(*bytes) : std::nullopt;
    bool created = CreateRepairTable(database);
    if (!definitions) {
      report.parseFailed = true;
    } else {
      report.definitions = std::make_shared<const SpywareDefinitions>(std::move(*definitions));
      // The status line is refreshed at most every tenth of a second, not once per signature.
      ULONGLONG last = 0;
      ScanHooks hooks;
      hooks.stop = stop;
      hooks.reportTo = main;
      hooks.status = [&](const std::string& text) {
        ULONGLONG now = GetTickCount64();
        if (now - last < kStatusIntervalMs) return;
        last = now;
        PostToWindow(main, [window, text] {
          if (State().scanning) window->SetStatus(text);
        });
      };
      report.detections = ScanForSpyware(*report.definitions, scope, hooks);
    }
    if (stop.StopRequested()) {
      DropRepairTable(database);
      report.stopped = true;
    } else {
      report.recorded = report.detections.empty() || (created && RecordDetections(database, report.detections));
      // The event counts what was found, also when the table could not take it.
      report.count = report.recorded ? CountRepairRows(database) : static_cast<int>(report.detections.size());
      LogEvent(database, "Spyware scan detected ", report.count, " infected locations");
      if (report.count == 0) DropRepairTable(database);
    }
  }
  auto shared = std::make_shared<ScanReport>(std::move(report));
  PostToWindow(main, [window, shared] { FinishScan(*window, std::move(*shared)); });
}

}  // namespace

void FillScanLocations(IMainWindow& window) {
  int request = ++State().treeRequest;
  HWND main = window.Window();
  IMainWindow* owner = &window;
  window.Workers().Start([main, owner, request](const StopToken& stop) {
    std::vector<std::string> drives = ListScanDrives();
    if (stop.StopRequested()) return;
    PostToWindow(main, [owner, request, drives] {
      // A later showing of the tab, or another tab meanwhile, owns the tree now.
      if (request != State().treeRequest || owner->SelectedTab() != kSpywareTab) return;
      BuildLocationTree(owner->Tree(), drives, owner->Database());
    });
  });
}

INT_PTR OnScanTreeNotify(IMainWindow& window, const NMHDR& header) {
  if (window.SelectedTab() != kSpywareTab) return 0;
  return OnLocationTreeNotify(window.Database(), window.Tree(), header);
}

void StartSpywareScan(IMainWindow& window) {
  ScannerState& state = State();
  if (state.scanning) return;
  CADODatabase& database = window.Database();
  if (!HasAnyLocationRow(database)) return;
  // Read once: showing the tab again during the scan empties the table.
  ScanScope scope = ReadScanScope(database);
  std::string path;
  {
    std::lock_guard lock(state.mutex);
    path = state.definitionsPath.empty() ? GetDefinitionsPath() : state.definitionsPath;
  }
  state.scanning = true;
  EnableWindow(window.Button(IDB_SPYWARE_SCAN), FALSE);
  HWND main = window.Window();
  IMainWindow* owner = &window;
  bool started = window.Workers().Start([owner, main, path, scope](const StopToken& stop) {
    RunSpywareScan(owner, main, path, scope, stop);
  });
  if (!started) EndScan(window);
}

bool SpywareScanRunning() { return State().scanning; }

HWND SpywareResultsWindow() {
  auto& results = State().results;
  return results ? results->Handle() : nullptr;
}

void SetDefinitionsPathForTests(const std::string& path) {
  std::lock_guard lock(State().mutex);
  State().definitionsPath = path;
}

}  // namespace tidewell
