#include "tidewell/app/MainWindowRules.h"

#include <commctrl.h>

#include "resources/resource.h"

namespace tidewell {

TabChange TabChangeFor(int tab) {
  TabChange change;
  change.legend = tab == kTabBhoManager;
  switch (tab) {
    case kTabBhoManager:
      change.shown = {IDC_BHO_TREE};
      change.hidden = {IDB_STARTUP_DISABLE, IDB_STARTUP_DELETE, IDB_SPYWARE_SCAN, IDC_BROWSER,
                       IDB_BACKUP_RESTORE,  IDB_BACKUP_DELETE,  IDC_SHARED_LIST};
      change.treeCheckBoxes = false;
      break;
    case kTabSpywareScanner:
      change.shown = {IDB_SPYWARE_SCAN, IDC_BHO_TREE};
      change.hidden = {IDB_STARTUP_DISABLE, IDB_STARTUP_DELETE, IDC_BROWSER, IDB_BACKUP_RESTORE, IDB_BACKUP_DELETE,
                       IDC_SHARED_LIST};
      change.treeCheckBoxes = true;
      break;
    case kTabBackupManager:
      change.shown = {IDC_SHARED_LIST, IDB_BACKUP_RESTORE, IDB_BACKUP_DELETE};
      change.hidden = {IDB_STARTUP_DISABLE, IDB_STARTUP_DELETE, IDB_SPYWARE_SCAN, IDC_BROWSER, IDC_BHO_TREE};
      break;
    case kTabStartupManager:
      change.shown = {IDC_SHARED_LIST, IDB_STARTUP_DISABLE, IDB_STARTUP_DELETE};
      change.hidden = {IDB_BACKUP_RESTORE, IDB_BACKUP_DELETE, IDB_SPYWARE_SCAN, IDC_BROWSER, IDC_BHO_TREE};
      break;
    case kTabProducts:
      change.shown = {IDC_BROWSER};
      change.hidden = {IDB_STARTUP_DISABLE, IDB_STARTUP_DELETE, IDB_SPYWARE_SCAN, IDB_BACKUP_RESTORE,
                       IDB_BACKUP_DELETE,   IDC_SHARED_LIST,    IDC_BHO_TREE};
      break;
    default:
      change.hidden = {IDC_BROWSER};
      break;
  }
  return change;
}

const std::vector<int>& LegendControls() {
  static const std::vector<int> controls{IDC_LEGEND_MEDIUM_ICON, IDC_LEGEND_NONE_ICON,  IDC_LEGEND_HIGH_ICON,
                                         IDC_LEGEND_UNKNOWN_ICON, IDC_LEGEND_NONE_TEXT, IDC_LEGEND_MEDIUM_TEXT,
                                         IDC_LEGEND_HIGH_TEXT,   IDC_LEGEND_UNKNOWN_TEXT};
  return controls;
}

bool PrepareTreeMenu(HWND tree, int selectedTab, POINT screenPoint) {
  if (selectedTab != kTabBhoManager) return false;
  TVHITTESTINFO hit{};
  hit.pt = screenPoint;
  ScreenToClient(tree, &hit.pt);
  HTREEITEM item = TreeView_HitTest(tree, &hit);
  if (item && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON))) TreeView_SelectItem(tree, item);
  HTREEITEM selected = TreeView_GetSelection(tree);
  return selected && !TreeView_GetParent(tree, selected);
}

}  // namespace tidewell
