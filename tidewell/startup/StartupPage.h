#pragma once
// The "Startup manager" tab: the Run-key entries in the shared list with
// their info tips, "Disable" and "Delete", and "Submit information" in the
// list's menu for a program the definitions do not know. It watches the Run
// keys from its start and announces what others add to them.

#include "shared/win/Handles.h"
#include "tidewell/shell/MainWindow.h"
#include "tidewell/shell/Page.h"

namespace tidewell {

class StartupPage : public IPage {
 public:
  explicit StartupPage(IMainWindow& main) : main_(main) {}

  PageLayout Layout() const override;
  void Attach() override;
  void Shown() override;
  bool OnCommand(int id) override;
  INT_PTR OnNotify(const NMHDR& header) override;
  void OnNotifierClicked() override;

 private:
  void CheckSigners();
  IMainWindow& main_;
  UniqueMenu listMenu_;
};

}  // namespace tidewell
