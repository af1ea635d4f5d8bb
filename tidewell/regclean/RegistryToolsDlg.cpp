#include "tidewell/regclean/RegistryToolsDlg.h"

#include <windowsx.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "shared/win/AppFolder.h"
#include "shared/win/Prompt.h"
#include "tidewell/backup/BackupWaitBox.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/regclean/CleanerEngine.h"
#include "tidewell/regclean/ProblemDetailsDlg.h"

namespace tidewell {

namespace {

constexpr DWORD kCloseWaitMs = 3000;

Category CategoryOf(int row) { return kAllCategories[static_cast<size_t>(row)]; }

}  // namespace

// It outlives the dialog, so a worker that ends after the dialog closed
// touches nothing destroyed.
struct CRegistryToolsDlg::Shared {
  std::mutex mutex;
  std::string status = "Ready";
  unsigned statusSerial = 1, paintedSerial = 0;
  int scansRunning = 0;  // this dialog's scans, under mutex
  std::condition_variable scansEnded;

  void SetStatus(const std::string& text) {
    std::lock_guard lock(mutex);
    status = text;
    ++statusSerial;
  }
  void ScanStarting() {
    std::lock_guard lock(mutex);
    ++scansRunning;
  }
  void ScanFinished() {
    {
      std::lock_guard lock(mutex);
      --scansRunning;
    }
    scansEnded.notify_all();
  }
  bool WaitForScans(DWORD milliseconds) {
    std::unique_lock lock(mutex);
    return scansEnded.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return scansRunning == 0; });
  }
};

namespace {

// The dialog's side of the engine: the shared status line, and the count of
// the run's own field (none for a repair, whose count comes from the table after).
class RowSink : public CleanerSink {
 public:
  RowSink(std::shared_ptr<CRegistryToolsDlg::Shared> shared, std::shared_ptr<std::atomic<int>> found)
      : shared_(std::move(shared)), found_(std::move(found)) {}
  void Status(const std::string& text) override { shared_->SetStatus(text); }
  void Found(int count) override {
    if (found_) *found_ = count;
  }

 private:
  std::shared_ptr<CRegistryToolsDlg::Shared> shared_;
  std::shared_ptr<std::atomic<int>> found_;
};

}  // namespace

void ShowRegistryTools(IMainWindow& window) {
  CRegistryToolsDlg dialog(window);
  dialog.DoModal(GetModuleHandleA(nullptr), IDD_REGISTRY_TOOLS, window.Window());
}

CRegistryToolsDlg::CRegistryToolsDlg(IMainWindow& main, std::string appFolder)
    : main_(main), appFolder_(appFolder.empty() ? GetAppFolder() : std::move(appFolder)),
      shared_(std::make_shared<Shared>()) {}

CRegistryToolsDlg::~CRegistryToolsDlg() { StopScans(); }

bool CRegistryToolsDlg::OnInit() {
  backupIcon_.Reset(static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_REGCLEAN_BACKUP), IMAGE_ICON, 16, 16, 0)));
  for (int row = 0; row < kCategoryCount; ++row) {
    // The row's label from the same row of the table its buttons act on.
    SetDlgItemTextA(Handle(), IDC_REGCLEAN_LABEL_FIRST + row, Info(CategoryOf(row)).label);
    SendMessageA(Item(IDB_REGCLEAN_BACKUP_FIRST + row), BM_SETIMAGE, IMAGE_ICON,
                 reinterpret_cast<LPARAM>(backupIcon_.Get()));
    RefreshCount(row);
    UpdateRow(row);
  }
  SetDlgItemTextA(Handle(), IDC_REGCLEAN_STATUS, "Ready");
  SetTimer(Handle(), kRefreshTimer, kRefreshMs, nullptr);
  return true;
}

bool CRegistryToolsDlg::OnCommand(int id, int code) {
  static const CommandEntry<CRegistryToolsDlg> commands[] = {
      {IDB_REGCLEAN_SCAN_ALL, BN_CLICKED, &CRegistryToolsDlg::OnScanAll},
      {IDB_REGCLEAN_REPAIR_ALL, BN_CLICKED, &CRegistryToolsDlg::OnRepairAll},
      {IDB_REGCLEAN_DETAILS_ALL, BN_CLICKED, &CRegistryToolsDlg::OnDetailsAll},
      {IDCANCEL, BN_CLICKED, &CRegistryToolsDlg::OnClose},
  };
  if (DispatchCommand(this, commands, id, code)) return true;
  if (code != BN_CLICKED) return false;
  struct RowCommand {
    int first;
    void (CRegistryToolsDlg::*handler)(int);
  };
  static const RowCommand rowCommands[] = {
      {IDB_REGCLEAN_SCAN_FIRST, &CRegistryToolsDlg::OnScan},     {IDB_REGCLEAN_STOP_FIRST, &CRegistryToolsDlg::OnStop},
      {IDB_REGCLEAN_REPAIR_FIRST, &CRegistryToolsDlg::OnRepair}, {IDB_REGCLEAN_DETAILS_FIRST, &CRegistryToolsDlg::OnDetails},
      {IDB_REGCLEAN_BACKUP_FIRST, &CRegistryToolsDlg::OnBackup},
  };
  for (const auto& command : rowCommands) {
    if (id >= command.first && id < command.first + kCategoryCount) {
      (this->*command.handler)(id - command.first);
      return true;
    }
  }
  return false;
}

void CRegistryToolsDlg::OnTimer(UINT_PTR id) {
  if (id != kRefreshTimer) return;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->paintedSerial != shared_->statusSerial) {
      shared_->paintedSerial = shared_->statusSerial;
      SetDlgItemTextA(Handle(), IDC_REGCLEAN_STATUS, shared_->status.c_str());
    }
  }
  for (int row = 0; row < kCategoryCount; ++row) {
    const RowState& state = rows_[row];
    int shown = state.scanning && state.found ? state.found->load() : state.count;
    BOOL ok = FALSE;
    if (static_cast<int>(GetDlgItemInt(Handle(), IDC_REGCLEAN_COUNT_FIRST + row, &ok, TRUE)) != shown || !ok)
      SetDlgItemInt(Handle(), IDC_REGCLEAN_COUNT_FIRST + row, shown, TRUE);
  }
}

void CRegistryToolsDlg::OnDestroy() { KillTimer(Handle(), kRefreshTimer); }

void CRegistryToolsDlg::RefreshCount(int row) { rows_[row].count = CountProblems(main_.Database(), CategoryOf(row)); }

void CRegistryToolsDlg::UpdateRow(int row) {
  const RowState& state = rows_[row];
  bool busy = state.scanning || state.repairing;
  EnableWindow(Item(IDB_REGCLEAN_SCAN_FIRST + row), !busy);
  EnableWindow(Item(IDB_REGCLEAN_STOP_FIRST + row), state.scanning);
  EnableWindow(Item(IDB_REGCLEAN_BACKUP_FIRST + row), !state.backingUp);
}

void CRegistryToolsDlg::UpdateScanAll() {
  bool anyStop = false;
  for (const auto& state : rows_) anyStop = anyStop || state.scanning;
  EnableWindow(Item(IDB_REGCLEAN_SCAN_ALL), !anyStop);
}

void CRegistryToolsDlg::OnScan(int row) {
  RowState& state = rows_[row];
  if (state.scanning || state.repairing) return;
  state.scanning = true;
  state.stop.emplace();
  state.found = std::make_shared<std::atomic<int>>(0);
  SetDlgItemTextA(Handle(), IDC_REGCLEAN_COUNT_FIRST + row, "0");
  UpdateRow(row);
  UpdateScanAll();

  // The main window's workers: quitting waits for a scan that outlives the dialog.
  // Such a worker uses nothing of the dialog: `this` is for the closure it
  // posts, which runs only while the dialog lives.
  shared_->ScanStarting();
  bool started = main_.Workers().Start(
      *state.stop, [this, reach = state.scan.Next(Reach()), database = &main_.Database(), shared = shared_,
                    found = state.found, row](const StopToken& token) {
        RowSink sink(shared, found);
        ScanCategory(*database, CategoryOf(row), token, sink);
        shared->ScanFinished();
        reach.Post([this, row] { ScanEnded(row); });
      });
  if (!started) {
    shared_->ScanFinished();
    state.scanning = false;
    UpdateRow(row);
    UpdateScanAll();
  }
}

void CRegistryToolsDlg::ScanEnded(int row) {
  RefreshCount(row);
  RowState& state = rows_[row];
  // A stopped run ends after its buttons were switched back.
  if (!state.scanning) return;
  state.scanning = false;
  state.stop.reset();
  UpdateRow(row);
  UpdateScanAll();
}

void CRegistryToolsDlg::OnStop(int row) {
  RowState& state = rows_[row];
  if (!IsWindowEnabled(Item(IDB_REGCLEAN_STOP_FIRST + row)) || !state.scanning) return;
  if (state.stop) state.stop->RequestStop();
  state.scanning = false;
  UpdateRow(row);
  UpdateScanAll();
}

// A repair beside a scan of its category would delete what the scan is
// still judging, and rows marked now would be repaired later unasked.
bool CRegistryToolsDlg::Busy(int row) const {
  return rows_[row].scanning || rows_[row].repairing || CategoryBusy(CategoryOf(row));
}

void CRegistryToolsDlg::ShowBusy() { Prompt(Handle(), kCategoryBusyText, "Tidewell", MB_OK | MB_ICONINFORMATION); }

void CRegistryToolsDlg::OnRepair(int row) {
  if (Busy(row)) {
    ShowBusy();
    return;
  }
  ExecuteStatement(main_.Database(), MarkStatement(CategoryOf(row)));
  StartRepair(row);
}

void CRegistryToolsDlg::StartRepair(int row) {
  RowState& state = rows_[row];
  if (Busy(row)) return;
  state.repairing = true;
  UpdateRow(row);

  // The main window's workers: a repair that has begun is not cut short by Close.
  bool started = main_.Workers().Start([this, reach = Reach(), database = &main_.Database(), folder = appFolder_,
                                        shared = shared_, row](const StopToken& token) {
    RowSink sink(shared, nullptr);
    CRegistryBackup backup(*database, folder);
    RepairCategory(*database, backup, CategoryOf(row), token, sink);
    reach.Post([this, row] { RepairEnded(row); });
  });
  if (!started) {
    state.repairing = false;
    UpdateRow(row);
  }
}

void CRegistryToolsDlg::RepairEnded(int row) {
  rows_[row].repairing = false;
  RefreshCount(row);
  UpdateRow(row);
  UpdateScanAll();
}

void CRegistryToolsDlg::OnDetails(int row) { OpenDetails(CategoryOf(row)); }
void CRegistryToolsDlg::OnDetailsAll() { OpenDetails(std::nullopt); }

void CRegistryToolsDlg::OpenDetails(std::optional<Category> category) {
  CProblemDetailsDlg details(main_.Database(), category, [this](Category shown) { return Busy(IndexOf(shown)); });
  details.DoModal(GetModuleHandleA(nullptr), IDD_PROBLEM_DETAILS, Handle());
  if (details.RepairRequested()) {
    for (int row = 0; row < kCategoryCount; ++row)
      if (!category || *category == CategoryOf(row)) StartRepair(row);
  }
  for (int row = 0; row < kCategoryCount; ++row) RefreshCount(row);
}

void CRegistryToolsDlg::OnBackup(int row) {
  RowState& state = rows_[row];
  if (state.backingUp || !CRegistryBackup(main_.Database(), appFolder_, Handle()).ConfirmBackup()) return;
  state.backingUp = true;
  UpdateRow(row);

  // reg.exe takes seconds over a large key: off the UI thread, on the main
  // window's workers so a begun backup is finished even if the dialog closes.
  bool started = main_.Workers().Start([this, reach = Reach(), database = &main_.Database(), folder = appFolder_,
                                        row](const StopToken& stop) {
    CRegistryBackup backup(*database, folder, nullptr, WaitBoxObserver(reach));
    CategoryBackupResult result = backup.WriteCategoryBackup(BackupRequest(CategoryOf(row)), stop);
    reach.Post([this, row, result] { BackupEnded(row, result); });
  });
  if (!started) {
    state.backingUp = false;
    UpdateRow(row);
  }
}

void CRegistryToolsDlg::BackupEnded(int row, const CategoryBackupResult& result) {
  rows_[row].backingUp = false;
  UpdateRow(row);
  CRegistryBackup(main_.Database(), appFolder_, Handle()).ReportCategoryBackup(result);
}

void CRegistryToolsDlg::OnScanAll() {
  EnableWindow(Item(IDB_REGCLEAN_SCAN_ALL), FALSE);
  for (int row = 0; row < kCategoryCount; ++row) OnScan(row);
  UpdateScanAll();
}

void CRegistryToolsDlg::OnRepairAll() {
  std::vector<int> idle;
  for (int row = 0; row < kCategoryCount; ++row)
    if (!Busy(row)) idle.push_back(row);
  if (idle.size() == kAllCategories.size()) {
    ExecuteStatement(main_.Database(), "update problems set state=1");
  } else {
    for (int row : idle) ExecuteStatement(main_.Database(), MarkStatement(CategoryOf(row)));
  }
  for (int row : idle) StartRepair(row);
  if (idle.size() != kAllCategories.size()) ShowBusy();
}

void CRegistryToolsDlg::StopScans() {
  for (auto& state : rows_)
    if (state.stop) state.stop->RequestStop();
}

void CRegistryToolsDlg::OnClose() {
  StopScans();
  // Scans notice the stop between two entries; each writes its "(incomplete)"
  // event. One stuck longer (a dead network path) is left to the main
  // window's workers: it reaches nothing of the dialog.
  shared_->WaitForScans(kCloseWaitMs);
  End(IDCANCEL);
}

}  // namespace tidewell
