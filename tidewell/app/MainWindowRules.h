#pragma once
// The main window's navigation rules, apart from the window so they can be
// checked on their own.

#include <windows.h>

#include <optional>
#include <vector>

namespace tidewell {

enum MainTab { kTabBhoManager = 0, kTabSpywareScanner, kTabBackupManager, kTabStartupManager, kTabProducts, kTabCount };

struct TabChange {
  bool legend = false;                  // risk icons and texts
  std::vector<int> shown, hidden;       // control identifiers
  std::optional<bool> treeCheckBoxes;   // set when the tree is shown
};

// What selecting a tab shows and hides; any other index only hides the browser.
TabChange TabChangeFor(int tab);

// The legend's icons and texts.
const std::vector<int>& LegendControls();

// A right-click on the tree: on tab 0 only, the item under the point (screen
// coordinates) is selected first; true when the selection is a top-level item,
// the only case the BHO menu opens for.
bool PrepareTreeMenu(HWND tree, int selectedTab, POINT screenPoint);

}  // namespace tidewell
