#include "tidewell/spyware/SpywarePage.h"

#include <functional>
#include <memory>
#include <optional>

#include "resources/resource.h"
#include "shared/win/AppFolder.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Prompt.h"
#include "tidewell/shell/EventLog.h"
#include "tidewell/spyware/DefinitionsFile.h"
#include "tidewell/spyware/DetectedSpywareDlg.h"
#include "tidewell/spyware/ScanLocations.h"

namespace tidewell {

namespace {

constexpr ULONGLONG kStatusIntervalMs = 100;
constexpr const char* kCaption = "Tidewell";
constexpr const char* kNotRecordedMessage =
    "Tidewell could not record the detections of this scan: the database is locked or read-only. "
    "The detections found are shown, but they are not kept.";

}  // namespace

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

namespace {

// On a worker: the whole scan, its detections recorded; status goes to the
// UI thread through status.
ScanReport RunSpywareScan(CADODatabase& database, HWND reportTo, const std::string& path, const ScanScope& scope,
                          const StopToken& stop, const std::function<void(const std::string&)>& status) {
  ScanReport report;
  report.path = path;
  if (IsGone(path)) {
    report.missing = true;
    return report;
  }
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
    hooks.reportTo = reportTo;
    hooks.status = [&](const std::string& text) {
      ULONGLONG now = GetTickCount64();
      if (now - last < kStatusIntervalMs) return;
      last = now;
      status(text);
    };
    report.detections = ScanForSpyware(*report.definitions, scope, hooks);
  }
  if (stop.StopRequested()) {
    DropRepairTable(database);
    report.stopped = true;
    return report;
  }
  report.recorded = report.detections.empty() || (created && RecordDetections(database, report.detections));
  // The event counts what was found, also when the table could not take it.
  report.count = report.recorded ? CountRepairRows(database) : static_cast<int>(report.detections.size());
  LogEvent(database, "Spyware scan detected ", report.count, " infected locations");
  if (report.count == 0) DropRepairTable(database);
  return report;
}

}  // namespace

SpywarePage::SpywarePage(IMainWindow& main) : main_(main) {}

SpywarePage::~SpywarePage() = default;

PageLayout SpywarePage::Layout() const {
  return {.title = "Spyware Scanner", .tabIcon = IDI_SCAN_MY_PC, .view = PageView::CheckedTree,
          .buttons = {{IDB_SPYWARE_SCAN, IDBMP_SPYWARE_SCAN}}};
}

void SpywarePage::Shown() {
  WindowReach tree = main_.BorrowTree();
  IMainWindow* main = &main_;
  main_.Workers().Start([tree, main](const StopToken& stop) {
    std::vector<std::string> drives = ListScanDrives();
    if (stop.StopRequested()) return;
    tree.Post([main, drives] { BuildLocationTree(main->Tree(), drives, main->Database()); });
  });
}

bool SpywarePage::OnCommand(int id) {
  if (id != IDB_SPYWARE_SCAN) return false;
  StartScan();
  return true;
}

INT_PTR SpywarePage::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != main_.Tree()) return 0;
  return OnLocationTreeNotify(main_.Database(), main_.Tree(), header);
}

void SpywarePage::StartScan() {
  if (scanning_) return;
  CADODatabase& database = main_.Database();
  if (!HasAnyLocationRow(database)) return;
  // Read once: showing the tab again during the scan empties the table.
  ScanScope scope = ReadScanScope(database);
  std::string path = definitionsPath_.empty() ? GetDefinitionsPath() : definitionsPath_;
  scanning_ = true;
  EnableWindow(main_.Button(IDB_SPYWARE_SCAN), FALSE);
  WindowReach reach = main_.Reach();
  HWND window = main_.Window();
  bool started = main_.Workers().Start([this, &database, reach, window, path, scope](const StopToken& stop) {
    auto status = [this, reach](const std::string& text) {
      reach.Post([this, text] {
        if (!scanning_) return;
        status_ = text;
        main_.SetStatus(text);
      });
    };
    auto report = std::make_shared<ScanReport>(RunSpywareScan(database, window, path, scope, stop, status));
    reach.Post([this, report] { FinishScan(std::move(*report)); });
  });
  if (!started) EndScan();
}

void SpywarePage::EndScan() {
  EnableWindow(main_.Button(IDB_SPYWARE_SCAN), TRUE);
  scanning_ = false;
  status_.clear();
}

void SpywarePage::FinishScan(ScanReport report) {
  HWND main = main_.Window();
  main_.SetStatus("");
  if (report.stopped) {
    EndScan();
    return;
  }
  if (report.missing) {
    Prompt(main, MissingDefinitionsMessage(), kCaption, MB_OK);
    EndScan();
    return;
  }
  // Definitions that did not load checked nothing: "no spyware found" would be untrue.
  if (report.parseFailed) {
    Prompt(main, report.path, kCaption, MB_OK);
    EndScan();
    return;
  }
  if (!report.recorded) Prompt(main, kNotRecordedMessage, kCaption, MB_OK | MB_ICONWARNING);
  if (!report.detections.empty()) {
    ShowResults(std::move(report));
    return;
  }
  Prompt(main, "Scanning complete! No spyware found", kCaption, MB_OK);
  EndScan();
}

void SpywarePage::ShowResults(ScanReport report) {
  RemovalSettings settings;
  settings.database = &main_.Database();
  settings.appFolder = GetAppFolder();
  auto closed = [this] {
    DropRepairTable(main_.Database());
    EndScan();
    // The dialog object goes once its own message handling has ended.
    main_.Reach().Post([this] { results_.reset(); });
  };
  results_ = std::make_unique<CDetectedSpywareDlg>(std::move(report.detections), report.definitions,
                                                   std::move(settings), closed);
  if (!results_->Show(main_.Window())) {
    results_.reset();
    closed();
  }
}

HWND SpywarePage::ResultsWindow() const { return results_ ? results_->Handle() : nullptr; }

}  // namespace tidewell
