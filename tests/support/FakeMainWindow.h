#pragma once
// The one stand-in for the main window in the feature tests: the tab control,
// the shared tree and list, the status line and the buttons the features
// reach, with the database and workers of the test. It records the private
// messages the features send it.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "tidewell/shell/MainWindow.h"

namespace tidewell::test {

class FakeMainWindow : public Dialog, public IMainWindow {
 public:
  // The database is the test's (none where no feature needs it).
  explicit FakeMainWindow(CADODatabase* database = nullptr);
  ~FakeMainWindow() override;  // stops and waits for the workers first

  CADODatabase& Database() override { return *database_; }
  WorkerGroup& Workers() override { return workers_; }
  HWND Window() const override { return Handle(); }
  WindowReach Reach() const override { return Dialog::Reach(); }
  HWND Tree() const override;
  HWND List() const override;
  HWND StatusLine() const override;
  HWND Button(int id) const override { return Item(id); }
  RECT PageArea() const override;
  WindowReach BorrowTree() override { return tree_.Next(Reach()); }
  WindowReach BorrowList() override { return list_.Next(Reach()); }
  void ShowPage(const IPage&) override {}
  void Open() override {}
  void HoldTabs(bool hold) override;
  void Announce(IPage&, const std::string&) override {}
  void SetStatus(const std::string& text) override { SetWindowTextA(StatusLine(), text.c_str()); }

  // Check boxes in the tree, as the main window gives them to the scanner tab.
  void ShowTreeCheckBoxes(bool show);

  std::vector<std::string> TopLevelTexts() const;
  // The child texts of the top-level item with the text.
  std::vector<std::string> ChildTexts(const std::string& parentText) const;
  HTREEITEM FindTopLevel(const std::string& text) const;
  HTREEITEM FindChild(HTREEITEM parent, const std::string& text) const;

  std::function<void()> onRefresh;  // run for each WM_REFRESH_BHOS
  std::function<INT_PTR(const NMHDR&)> onNotify;
  int refreshes = 0;
  int keyWatchStarts = 0;
  int notifierClicks = 0;

 protected:
  INT_PTR OnNotify(const NMHDR& header) override { return onNotify ? onNotify(header) : 0; }
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  CADODatabase* database_;
  WorkerGroup workers_;
  LatestRequest tree_, list_;
};

// The shared list's column titles, a row's image and the selected row (none
// when row < 0).
std::vector<std::string> ColumnTitles(HWND list);
int ItemImage(HWND list, int row);
void SelectRow(HWND list, int row);

}  // namespace tidewell::test
