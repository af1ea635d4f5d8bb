#pragma once
// The main window: five tabs over a shared tree and list, a column of skin
// buttons, the clutter gauge, the status line and the tray icon. It owns the
// program's one database connection and hands it to the features. It starts
// hidden in the notification area; closing, minimising and Enter hide it,
// Escape and the tray's "Quit" end the program.

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "shared/win/TrayIcon.h"
#include "tidewell/app/ClutterGauge.h"
#include "tidewell/shell/LayoutAnchors.h"
#include "tidewell/shell/MainWindow.h"
#include "tidewell/app/ProductsPage.h"
#include "tidewell/shell/SkinButton.h"
#include "tidewell/shell/TaskbarNotifier.h"
#include "tidewell/bho/BhoManager.h"

namespace tidewell {

class TrafficWatch;

class CMainDialog : public Dialog, public IMainWindow {
 public:
  // programPath: where the database is looked for (beside the program).
  explicit CMainDialog(std::string programPath);
  ~CMainDialog() override;

  // IMainWindow
  CADODatabase& Database() override { return database_; }
  WorkerGroup& Workers() override { return workers_; }
  HWND Window() const override { return Handle(); }
  WindowReach Reach() const override { return Dialog::Reach(); }
  HWND Tree() const override;
  HWND List() const override;
  HWND StatusLine() const override;
  HWND Button(int id) const override { return Item(id); }
  int SelectedTab() const override;
  void SetStatus(const std::string& text) override;

  // The visible flag: whether the window shows itself.
  bool IsShown() const { return visible_; }
  // False when the database could not be opened; the window then ends at once.
  bool Started() const { return started_; }
  const std::string& ConnectionString() const { return connection_; }
  const ClutterReading& Clutter() const { return clutter_; }
  // False when a worker did not end in time at the window's end: it may still
  // use the database, so the program must end without closing it.
  bool WorkersStopped() const { return workersStopped_; }
  const CProductsPage& ProductsPage() const { return products_; }
  // The tab-change rules, as a click on the tab would run them.
  void SelectTab(int tab);

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  INT_PTR OnNotify(const NMHDR& header) override;
  void OnTimer(UINT_PTR id) override;
  void OnSize(UINT type, int width, int height) override;
  void OnDestroy() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  // Display states.
  void ShowMainWindow();
  void HideMainWindow();
  void OnTrayNotify(UINT mouseMessage);
  void OnTrayOpen() { ShowMainWindow(); }
  void OnTrayQuit();
  void OnHide() { HideMainWindow(); }
  void OnEnd() { End(IDCANCEL); }
  void ShowAbout();

  // Initialisation steps.
  void AddAboutItem();
  void CreateImageLists();
  void SetUpTabsAndList();
  void FitPagesIntoTabs();
  void SetUpSkinButtons();
  void SetUpLegend();
  void SetUpGauge();
  void SetUpAnchors();

  void OnTabChanged(int tab);
  void RefreshClutterGauge();
  void HideBrowser();
  RECT ListRect() const;
  void OnTreeRightClick();
  void OnProductChosen() { products_.OpenSelected(); }

  // Buttons of the main window itself.
  void OnListBhos();
  void OnRegistryCleanupButton();
  void OnLog();
  void OnUpdate();

  // Feature handlers, filled in by the features' own work.
  void OnRefreshBhos();       // WM_REFRESH_BHOS: start a BHO listing thread
  void OnStartKeyWatch();     // WM_START_KEY_WATCH: start the BHO key watcher thread
  void OnScanBhos();          // deep scan for BHOs on a worker
  void OnStopScan();          // clear the deep scan's run flag
  void OnUninstallBho();      // ID_UNINSTALL_BHO: uninstall the selected BHO
  void OnBhoInformation();    // ID_BHO_INFORMATION: the BHO information dialog
  void OnNotifierClicked();   // WM_NOTIFIER_CLICKED: information on the announced BHO
  void SetUpNotifier();       // create the slide-up notifier with its skin, fonts and colours
  void OnRegistryBackup();    // general registry backup
  void OnRegistryRestore();   // open the restore manager
  void OnRegistryCleanup();   // open the "Registry tools" dialog
  void OnBackupRestore();     // restore the selected backup
  void OnBackupDelete();      // delete the selected backup
  void FillBackupTab();       // fill the list with the backups
  void FillStartupTab();      // fill the list with the startup entries
  void OnStartupDisable();    // disable the selected startup entry
  void OnStartupDelete();     // delete the selected startup entry
  void OnSubmitInformation(); // ID_SUBMIT_INFORMATION: submit the selected startup entry
  INT_PTR OnListNotify(const NMHDR& header);  // startup list info tips and right-click menu 180
  void FillScanLocations();   // start the worker that fills the scan-location tree
  INT_PTR OnScanTreeNotify(const NMHDR& header);  // scan-location tree expanding and check clicks
  void OnSpywareScan();       // start the spyware scan
  void OnClutterMeter();      // the Clutter-Meter dialog, modal
  void OnNetWatch();          // show the traffic watcher window
  void SetUpTrafficWatch();   // the hidden graphs and the traffic watcher window

  struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static bool IsValid(HIMAGELIST list) { return list != nullptr; }
    static void Close(HIMAGELIST list) { ImageList_Destroy(list); }
  };
  using UniqueImageList = UniqueResource<HIMAGELIST, ImageListTraits>;

  std::string programPath_;
  CADODatabase database_;
  WorkerGroup workers_;  // declared after the database: destroyed (stopped) first
  std::string connection_;
  bool visible_ = false;
  bool workersStopped_ = true;
  bool started_ = false;
  TrayIcon tray_;
  UniqueMenu trayMenu_, listMenu_, treeMenu_;
  UniqueImageList treeImages_, tabImages_, listImages_;
  UniqueIcon bigIcon_, smallIcon_;
  std::vector<UniqueIcon> legendIcons_;
  CLayoutAnchors layout_;
  RECT browserRect_{};
  std::vector<CSkinButton> skinButtons_;
  UniqueGdi<HFONT> gaugeFont_;
  ClutterReading clutter_;
  ClutterGaugeRefresher clutterGauge_;
  CProductsPage products_;
  CTaskbarNotifier notifier_;
  BhoManager bhos_{*this};
  std::unique_ptr<TrafficWatch> traffic_;
};

}  // namespace tidewell
