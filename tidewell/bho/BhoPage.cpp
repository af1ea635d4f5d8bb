#include "tidewell/bho/BhoPage.h"

#include <windowsx.h>

#include "resources/resource.h"
#include "tidewell/shell/Messages.h"

namespace tidewell {

namespace {
constexpr UINT kAutoRefreshMs = 5000;
}

bool PrepareTreeMenu(HWND tree, POINT screenPoint) {
  TVHITTESTINFO hit{};
  hit.pt = screenPoint;
  ScreenToClient(tree, &hit.pt);
  HTREEITEM item = TreeView_HitTest(tree, &hit);
  if (item && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON))) TreeView_SelectItem(tree, item);
  HTREEITEM selected = TreeView_GetSelection(tree);
  return selected && !TreeView_GetParent(tree, selected);
}

PageLayout BhoPage::Layout() const {
  // Its buttons stand in the window's own column: a listing or scan may
  // start from any tab.
  return {.title = "BHO manager", .tabIcon = IDI_RISK_NONE, .view = PageView::Tree, .legend = true};
}

void BhoPage::Attach() {
  bhos_.Attach([this] { main_.ShowPage(*this); },
               [this](const std::string& name) { main_.Announce(*this, name); });
  treeMenu_.Reset(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_BHO_TREE)));
  SetTimer(main_.Window(), TIMER_AUTO_REFRESH, kAutoRefreshMs, nullptr);
  PostMessageA(main_.Window(), WM_START_KEY_WATCH, 0, 0);
}

void BhoPage::Shown() {
  shown_ = true;
  PostMessageA(main_.Window(), WM_REFRESH_BHOS, 0, 0);
}

bool BhoPage::OnCommand(int id) {
  switch (id) {
    case IDB_LIST_BHOS:
      main_.ShowPage(*this);
      PostMessageA(main_.Window(), WM_REFRESH_BHOS, 0, 0);
      return true;
    case IDB_SCAN_BHOS: bhos_.StartDeepScan(); return true;
    case IDB_STOP_SCAN: bhos_.StopDeepScan(); return true;
    case ID_UNINSTALL_BHO: bhos_.UninstallSelectedBho(); return true;
    case ID_BHO_INFORMATION: bhos_.ShowSelectedBhoInfo(); return true;
    default: return false;
  }
}

bool BhoPage::OnMessage(UINT message) {
  if (message == WM_REFRESH_BHOS) {
    bhos_.StartListing();
    return true;
  }
  if (message == WM_START_KEY_WATCH) {
    bhos_.StartKeyWatch();
    return true;
  }
  return false;
}

void BhoPage::OnTimer(UINT_PTR id) {
  // A deep scan fills the tree itself.
  if (id != TIMER_AUTO_REFRESH || !shown_ || bhos_.Scanning()) return;
  if (!(Button_GetCheck(main_.Button(IDC_AUTO_REFRESH)) & 3)) return;
  TreeView_DeleteAllItems(main_.Tree());
  PostMessageA(main_.Window(), WM_REFRESH_BHOS, 0, 0);
}

INT_PTR BhoPage::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != main_.Tree() || header.code != NM_RCLICK) return 0;
  ShowTreeMenu();
  return 1;
}

void BhoPage::ShowTreeMenu() {
  POINT cursor{};
  GetCursorPos(&cursor);
  if (!PrepareTreeMenu(main_.Tree(), cursor)) return;
  TrackPopupMenu(GetSubMenu(treeMenu_.Get(), 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0,
                 main_.Window(), nullptr);
}

}  // namespace tidewell
