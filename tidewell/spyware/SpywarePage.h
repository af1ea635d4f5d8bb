#pragma once
// The "Spyware Scanner" tab: the location tree with its check boxes, the
// "Scan" button and the results dialog. One scan at a time, its scope read
// once at its start.

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "tidewell/shell/MainWindow.h"
#include "tidewell/shell/Page.h"

namespace tidewell {

class CDetectedSpywareDlg;
struct ScanReport;

class SpywarePage : public IPage {
 public:
  explicit SpywarePage(IMainWindow& main);
  ~SpywarePage() override;

  PageLayout Layout() const override;
  // Each showing: a worker lists the drives, and the tree is rebuilt only
  // while this page still holds it.
  void Shown() override;
  bool OnCommand(int id) override;
  INT_PTR OnNotify(const NMHDR& header) override;
  std::string StatusText() const override { return scanning_ ? status_ : std::string(); }

  // "Scan": nothing without a chosen location or while a scan runs.
  void StartScan();
  // Whether a scan (or its results dialog) is still open.
  bool Scanning() const { return scanning_; }
  // The results dialog's window while it is shown.
  HWND ResultsWindow() const;
  // Where the definitions are read from instead of beside the database (tests).
  void SetDefinitionsPath(std::string path) { definitionsPath_ = std::move(path); }

 private:
  void FinishScan(ScanReport report);
  void ShowResults(ScanReport report);
  void EndScan();

  IMainWindow& main_;
  bool scanning_ = false;
  std::string status_;
  std::string definitionsPath_;
  std::unique_ptr<CDetectedSpywareDlg> results_;
};

}  // namespace tidewell
