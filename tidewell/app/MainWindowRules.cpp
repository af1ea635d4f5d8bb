#include "tidewell/app/MainWindowRules.h"

#include <algorithm>

#include "resources/resource.h"

namespace tidewell {

namespace {

// The shared control a view shows; none for the browser, which its page places itself.
std::optional<int> ViewControl(PageView view) {
  switch (view) {
    case PageView::Tree:
    case PageView::CheckedTree: return IDC_BHO_TREE;
    case PageView::List: return IDC_SHARED_LIST;
    default: return std::nullopt;
  }
}

std::vector<int> Controls(const PageLayout& page) {
  std::vector<int> controls;
  if (auto view = ViewControl(page.view)) controls.push_back(*view);
  for (const SkinButtonSkin& button : page.buttons) controls.push_back(button.button);
  return controls;
}

bool Contains(const std::vector<int>& ids, int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

}  // namespace

TabChange TabChangeFor(const std::vector<PageLayout>& pages, size_t selected) {
  TabChange change;
  if (selected >= pages.size()) return change;
  const PageLayout& page = pages[selected];
  change.legend = page.legend;
  change.shown = Controls(page);
  for (const PageLayout& other : pages)
    for (int id : Controls(other))
      if (!Contains(change.shown, id) && !Contains(change.hidden, id)) change.hidden.push_back(id);
  if (page.view == PageView::Tree || page.view == PageView::CheckedTree)
    change.treeCheckBoxes = page.view == PageView::CheckedTree;
  return change;
}

const std::vector<int>& LegendControls() {
  static const std::vector<int> controls{IDC_LEGEND_MEDIUM_ICON, IDC_LEGEND_NONE_ICON,  IDC_LEGEND_HIGH_ICON,
                                         IDC_LEGEND_UNKNOWN_ICON, IDC_LEGEND_NONE_TEXT, IDC_LEGEND_MEDIUM_TEXT,
                                         IDC_LEGEND_HIGH_TEXT,   IDC_LEGEND_UNKNOWN_TEXT};
  return controls;
}

}  // namespace tidewell
