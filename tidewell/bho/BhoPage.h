#pragma once
// The "BHO manager" tab: the registered BHOs in the shared tree, refreshed on
// showing, on "List BHOs" and every few seconds while "Auto refresh" is
// ticked; the deep scan; the tree's menu; the popup for a new BHO.

#include <windows.h>

#include "shared/win/Handles.h"
#include "tidewell/bho/BhoManager.h"
#include "tidewell/shell/MainWindow.h"
#include "tidewell/shell/Page.h"

namespace tidewell {

// A right-click on the tree: the item under the point (screen coordinates)
// is selected first; true when the selection is a top-level item, the only
// case the BHO menu opens for.
bool PrepareTreeMenu(HWND tree, POINT screenPoint);

class BhoPage : public IPage {
 public:
  explicit BhoPage(IMainWindow& main) : main_(main), bhos_(main) {}

  PageLayout Layout() const override;
  void Attach() override;
  void Shown() override;
  void Hidden() override { shown_ = false; }
  bool OnCommand(int id) override;
  bool OnMessage(UINT message) override;
  void OnTimer(UINT_PTR id) override;
  INT_PTR OnNotify(const NMHDR& header) override;
  std::string StatusText() const override { return bhos_.ScanStatus(); }
  void OnNotifierClicked() override { bhos_.ShowNotifiedBhoInfo(); }

  BhoManager& Bhos() { return bhos_; }

 private:
  void ShowTreeMenu();

  IMainWindow& main_;
  BhoManager bhos_;
  UniqueMenu treeMenu_;
  bool shown_ = false;
};

}  // namespace tidewell
