#pragma once
// The "Registry tools" dialog: six category rows with their scans, stops,
// repairs, details and backups. Every scan and repair runs on the main
// window's workers, which quitting stops and waits for before the database
// closes. Each scan has its own stop; closing the dialog stops the scans and
// waits a little for them, while a repair that has begun is finished.

#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "shared/win/Workers.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/regclean/CategoryText.h"
#include "tidewell/shell/MainWindow.h"

namespace tidewell {

// Opens the dialog modally over the main window.
void ShowRegistryTools(IMainWindow& window);

class CRegistryToolsDlg : public Dialog {
 public:
  // appFolder: where the backups go (BKUP); the program's folder by default.
  explicit CRegistryToolsDlg(IMainWindow& main, std::string appFolder = {});
  ~CRegistryToolsDlg() override;

  static constexpr UINT_PTR kRefreshTimer = 1;
  static constexpr UINT kRefreshMs = 100;

  // What the workers write and the dialog reads: the status line, the scans
  // still running. Defined in the .cpp.
  struct Shared;

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;

 private:
  struct RowState {
    std::optional<StopSource> stop;
    LatestRequest scan;  // a newer scan of the row silences an older one
    std::shared_ptr<std::atomic<int>> found;  // the running scan's count, painted by the timer
    bool scanning = false;
    bool repairing = false;
    bool backingUp = false;
    int count = 0;  // cached rows to review; repainted without a query
  };

  void OnScan(int row);
  void OnStop(int row);
  void OnRepair(int row);
  void OnDetails(int row);
  void OnBackup(int row);
  void BackupEnded(int row, const CategoryBackupResult& result);
  void OnScanAll();
  void OnRepairAll();
  void OnDetailsAll();
  void OnClose();

  bool Busy(int row) const;
  void ShowBusy();
  void StopScans();
  void StartRepair(int row);
  void ScanEnded(int row);
  void RepairEnded(int row);
  void RefreshCount(int row);
  void UpdateRow(int row);
  void UpdateScanAll();
  void OpenDetails(std::optional<Category> category);

  IMainWindow& main_;
  std::string appFolder_;
  std::shared_ptr<Shared> shared_;
  std::array<RowState, kCategoryCount> rows_{};
  UniqueIcon backupIcon_;
};

}  // namespace tidewell
