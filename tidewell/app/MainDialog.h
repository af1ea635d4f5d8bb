#pragma once
// The main window: tabs of pages over a shared tree and list, a column of
// skin buttons, the clutter gauge, the status line and the tray icon. It owns
// the program's one database connection and hands it to the pages. It starts
// hidden in the notification area; closing, minimising and Enter hide it,
// Escape and the tray's "Quit" end the program.

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "shared/win/TrayIcon.h"
#include "tidewell/app/ClutterGauge.h"
#include "tidewell/app/MainWindowLook.h"
#include "tidewell/shell/LayoutAnchors.h"
#include "tidewell/shell/MainWindow.h"
#include "tidewell/shell/Page.h"
#include "tidewell/shell/NotifierQueue.h"
#include "tidewell/shell/TaskbarNotifier.h"

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
  RECT PageArea() const override;
  WindowReach BorrowTree() override { return treeLoan_.Next(Reach()); }
  WindowReach BorrowList() override { return listLoan_.Next(Reach()); }
  void ShowPage(const IPage& page) override;
  void Open() override { ShowMainWindow(); }
  void HoldTabs(bool hold) override;
  void Announce(IPage& page, const std::string& text) override;
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
  // The page of a kind, once the window exists.
  template <class Page>
  Page* FindPage() const {
    for (const auto& page : pages_)
      if (auto* found = dynamic_cast<Page*>(page.get())) return found;
    return nullptr;
  }
  const CTaskbarNotifier& Notifier() const { return notifier_; }
  // Selects a tab with everything a click on it does.
  void SelectTab(int tab);
  int SelectedTab() const;

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
  void OnTrayQuit() { PostQuitMessage(0); }
  void OnTraySaveReport();
  void OnHide() { HideMainWindow(); }
  void OnEnd() { End(IDCANCEL); }
  void ShowAbout();

  // Initialisation steps.
  void AddAboutItem();
  void FitPagesIntoTabs();
  void SetUpAnchors();
  void SetUpNotifier();
  void ShowAnnouncement(const Announcement& announcement);

  void OnTabChanged(int tab);
  void RefreshClutterGauge();
  IPage* Selected() const;
  INT_PTR ColorStatic(HDC dc, HWND control, bool& handled) const;

  // The window's own buttons.
  void OnRegistryCleanupButton();
  void OnLog();
  void OnUpdate();
  void OnClutterMeter();
  void OnNetWatch();

  std::string programPath_;
  CADODatabase database_;
  std::vector<std::unique_ptr<IPage>> pages_;
  WorkerGroup workers_;  // declared after the database and pages: destroyed (stopped) first
  std::string connection_;
  bool visible_ = false;
  bool workersStopped_ = true;
  bool started_ = false;
  TrayIcon tray_;
  UniqueMenu trayMenu_;
  MainWindowLook look_;
  CLayoutAnchors layout_;
  ClutterReading clutter_;
  ClutterGaugeRefresher clutterGauge_;
  CTaskbarNotifier notifier_;
  NotifierQueue announcements_;
  LatestRequest treeLoan_, listLoan_;
  std::vector<PageLayout> layouts_;
  int shownTab_ = -1;
  std::unique_ptr<TrafficWatch> traffic_;
};

}  // namespace tidewell
