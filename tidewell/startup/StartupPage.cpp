#include "tidewell/startup/StartupPage.h"

#include "resources/resource.h"
#include "shared/net/ServerHosts.h"
#include "shared/win/AppFolder.h"
#include "tidewell/startup/RunKeyWatch.h"
#include "tidewell/startup/StartupList.h"

namespace tidewell {

PageLayout StartupPage::Layout() const {
  return {.title = "Startup manager", .tabIcon = IDI_STARTUP, .view = PageView::List,
          .buttons = {{IDB_STARTUP_DISABLE, IDBMP_DISABLE, RGB(255, 0, 255)}, {IDB_STARTUP_DELETE, IDBMP_DELETE}}};
}

void StartupPage::Attach() {
  listMenu_.Reset(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_STARTUP_LIST)));
  // The popup is raised on the UI thread; the watch ends with the window's workers.
  WindowReach reach = main_.Reach();
  main_.Workers().Start([this, reach](const StopToken& stop) {
    WatchRunKeys([this, reach](const std::string& text) { reach.Post([this, text] { main_.Announce(*this, text); }); },
                 stop);
  });
}

// The popup may come while the window sits in the tray.
void StartupPage::OnNotifierClicked() {
  main_.Open();
  main_.ShowPage(*this);
}

void StartupPage::Shown() {
  main_.BorrowList();
  FillStartupList(main_.List());
  CheckSigners();
}

// After every fill, also the list's own after "Disable" and "Delete".
void StartupPage::CheckSigners() { CheckStartupSigners(main_.List(), main_.BorrowList(), main_.Workers()); }

bool StartupPage::OnCommand(int id) {
  switch (id) {
    case IDB_STARTUP_DISABLE:
      DisableSelectedStartupEntry(main_.Database(), GetAppFolder(), main_.List(), main_.Window());
      CheckSigners();
      return true;
    case IDB_STARTUP_DELETE:
      DeleteSelectedStartupEntry(main_.Database(), GetAppFolder(), main_.List(), main_.Window());
      CheckSigners();
      return true;
    case ID_SUBMIT_INFORMATION:
      SubmitStartupInfo(main_.List(), main_.Reach(), ProductSiteHost(), main_.Workers());
      return true;
    default: return false;
  }
}

INT_PTR StartupPage::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != main_.List()) return 0;
  return OnStartupListNotify(main_.Database(), main_.List(), main_.Window(), GetSubMenu(listMenu_.Get(), 0), header);
}

}  // namespace tidewell
