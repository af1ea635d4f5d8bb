#pragma once
// "Windows Clutter-Meter": the temporary folders, recycle bins and log files
// with their sizes, the system report, the cleanup of the checked rows and
// the three space limits.

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "shared/win/Workers.h"
#include "tidewell/cleanup/ClutterMonitor.h"
#include "tidewell/cleanup/ClutterRows.h"
#include "tidewell/cleanup/TempCleaner.h"
#include "tidewell/shell/LayoutAnchors.h"
#include "tidewell/shell/MainWindow.h"

namespace tidewell {

// Opens the dialog modally over the main window.
void ShowClutterMeter(IMainWindow& main);

class CClutterMeterDlg : public Dialog {
 public:
  CClutterMeterDlg(CADODatabase& database, ClutterMonitor& monitor);
  ~CClutterMeterDlg() override;

  INT_PTR DoModal(HINSTANCE instance, HWND owner);
  // Flags for emptying a recycle bin (SHEmptyRecycleBin); 0 lets the system ask.
  void SetRecycleBinFlags(DWORD flags) { recycleBinFlags_ = flags; }
  // What counts a folder's log files (ScanLogFiles); tests hold a scan open with it.
  using LogScanner = std::function<LogFileTotals(const std::string&, const StopToken&,
                                                 const std::function<void(const LogFileTotals&)>&)>;
  void SetLogScanner(LogScanner scanner) { logScanner_ = std::move(scanner); }

  HWND List() const;
  // The list is filled and its log-file counts are done.
  bool Settled() const { return settled_; }
  bool CleaningUp() const { return cleaning_; }
  const std::vector<ClutterRow>& Rows() const { return rows_; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  INT_PTR OnNotify(const NMHDR& header) override;
  void OnSize(UINT type, int width, int height) override;
  void OnDestroy() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void SetUpList();
  void FillClutterList(bool fresh);
  void ShowRows(const ClutterMeasurement& measurement);
  void StartLogScan();
  void ShowLogTotals(const std::vector<int>& rowIds, uint32_t count, uint64_t kilobytes);
  int RowIndex(int id) const;
  const ClutterRow* FindRow(int id) const;

  void OnSelectAll();
  void OnCleanUp();
  void CleanNextRow();
  void OnRowCleaned(const ClutterRow& row, const CleanupResult& result);
  void FinishCleanup();
  void OnClose();

  void LoadLimits();
  void OnSliderReleased(HWND slider);
  void OnSpin(const NMUPDOWN& change);
  void OnFieldChanged(int field);
  int64_t Field(int id) const;
  void SetField(int id, int64_t value);
  int SliderPosition(int id) const;

  CADODatabase& database_;
  ClutterMonitor& monitor_;
  DWORD recycleBinFlags_ = 0;
  LogScanner logScanner_ = ScanLogFiles;
  WorkerGroup workers_;
  StopSource listRun_;                // the list worker and the log worker of one fill
  LatestRequest fill_;                // a refill silences the older fill's workers
  std::vector<ClutterRow> rows_;
  std::string report_;
  bool settled_ = false;

  bool cleaning_ = false;
  std::deque<int> pending_;           // checked rows still to clean, by id
  CleanupResult cleanup_;

  bool loadingLimits_ = false;        // the fields' own changes at opening write nothing
  int64_t diskMb_ = 0, homeMb_ = 0;
  std::optional<std::string> restoreFile_;

  UniqueImageList images_;
  CLayoutAnchors layout_;
};

}  // namespace tidewell
