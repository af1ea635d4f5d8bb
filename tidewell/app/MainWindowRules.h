#pragma once
// The main window's navigation rules, apart from the window so they can be
// checked on their own.

#include <windows.h>

#include <optional>
#include <vector>

#include "tidewell/shell/Page.h"

namespace tidewell {

struct TabChange {
  bool legend = false;                  // risk icons and texts
  std::vector<int> shown, hidden;       // control identifiers
  std::optional<bool> treeCheckBoxes;   // set when the tree is shown
};

// What selecting the tab of pages[selected] shows and hides: its view and
// buttons, and every other page's that are not its own.
TabChange TabChangeFor(const std::vector<PageLayout>& pages, size_t selected);

// The legend's icons and texts.
const std::vector<int>& LegendControls();

}  // namespace tidewell
