#pragma once
// The BHO manager's side of the main window: listing and deep scan on worker
// threads (the UI thread fills the tree), the key watcher, and the commands
// of the tree's context menu. The main window owns one and calls it from its
// handlers.

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Workers.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoListing.h"
#include "tidewell/bho/UninstallProgressDlg.h"
#include "tidewell/shell/MainWindow.h"

namespace tidewell {

// Puts one BHO item and its linked processes at the end of the tree; null
// when the class-ID table is full.
HTREEITEM InsertBhoItem(HWND tree, ClassIdTable& classIds, const BhoItem& bho);
// Puts the linked-process items under a BHO item.
void AddLinkedProcesses(HWND tree, HTREEITEM item, const std::vector<LinkedProcess>& processes);

class BhoManager {
 public:
  // Workers run in the main window's group, which it stops and waits for
  // before the database closes.
  explicit BhoManager(IMainWindow& main);
  ~BhoManager();
  BhoManager(const BhoManager&) = delete;
  BhoManager& operator=(const BhoManager&) = delete;

  // Once the main window exists: it holds the tree, status line and BHO
  // buttons. selectBhoTab selects the BHO tab with its rules; showNotifier
  // shows the popup for a new BHO (on the UI thread).
  void Attach(std::function<void()> selectBhoTab, std::function<void(const std::string& text)> showNotifier);

  void StartListing();        // WM_REFRESH_BHOS
  void StartDeepScan();       // "Scan for BHOs"
  void StopDeepScan();        // "Stop scan"
  void StartKeyWatch();       // WM_START_KEY_WATCH
  void ShowSelectedBhoInfo();  // ID_BHO_INFORMATION
  void ShowNotifiedBhoInfo();  // WM_NOTIFIER_CLICKED
  int UninstallSelectedBho();  // ID_UNINSTALL_BHO

  // The selected tree item when it is a BHO item.
  std::optional<SelectedBho> Selected() const;
  std::string NotifiedClsid() const;
  const ClassIdTable& ClassIds() const;
  // Whether a listing or deep scan worker is still at work.
  bool Busy() const;
  // Whether a deep scan owns the tree (from its start to its end or stop).
  bool Scanning() const;
  // The class the deep scan is at; empty when none runs.
  std::string ScanStatus() const;
  void SetUninstallTiming(const UninstallTiming& timing) { uninstallTiming_ = timing; }

 private:
  struct State;
  void RequestRefresh() const;

  IMainWindow& main_;
  std::shared_ptr<State> state_;
  std::function<void()> selectBhoTab_;
  UninstallTiming uninstallTiming_;
};

}  // namespace tidewell
