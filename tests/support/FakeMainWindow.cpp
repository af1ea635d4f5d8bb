#include "tests/support/FakeMainWindow.h"

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "shared/win/TreeView.h"
#include "tests/support/FakeMainWindowTemplate.h"
#include "tidewell/shell/Messages.h"

namespace tidewell::test {

FakeMainWindow::FakeMainWindow(CADODatabase* database) : database_(database) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (!Create(GetModuleHandleA(nullptr), IDD_FAKE_MAIN_WINDOW, nullptr)) ADD_FAILURE() << "no fake main window";
  ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
}

FakeMainWindow::~FakeMainWindow() {
  workers_.StopAndWait();
  Destroy();
}

HWND FakeMainWindow::Tree() const { return Item(IDC_BHO_TREE); }
HWND FakeMainWindow::List() const { return Item(IDC_SHARED_LIST); }
HWND FakeMainWindow::StatusLine() const { return Item(IDC_STATUS_LINE); }

void FakeMainWindow::HoldTabs(bool hold) { EnableWindow(Item(IDC_MAIN_TABS), !hold); }

RECT FakeMainWindow::PageArea() const { return ChildRect(Handle(), List()); }

void FakeMainWindow::ShowTreeCheckBoxes(bool show) {
  LONG_PTR style = GetWindowLongPtrA(Tree(), GWL_STYLE);
  style = show ? (style | TVS_CHECKBOXES) : (style & ~static_cast<LONG_PTR>(TVS_CHECKBOXES));
  SetWindowLongPtrA(Tree(), GWL_STYLE, style);
}

std::vector<std::string> FakeMainWindow::TopLevelTexts() const {
  std::vector<std::string> texts;
  for (HTREEITEM item = TreeView_GetRoot(Tree()); item; item = TreeView_GetNextSibling(Tree(), item))
    texts.push_back(TreeItemText(Tree(), item));
  return texts;
}

std::vector<std::string> FakeMainWindow::ChildTexts(const std::string& parentText) const {
  std::vector<std::string> texts;
  HTREEITEM parent = FindTopLevel(parentText);
  if (!parent) return texts;
  for (HTREEITEM item = TreeView_GetChild(Tree(), parent); item; item = TreeView_GetNextSibling(Tree(), item))
    texts.push_back(TreeItemText(Tree(), item));
  return texts;
}

HTREEITEM FakeMainWindow::FindTopLevel(const std::string& text) const {
  for (HTREEITEM item = TreeView_GetRoot(Tree()); item; item = TreeView_GetNextSibling(Tree(), item))
    if (TreeItemText(Tree(), item) == text) return item;
  return nullptr;
}

HTREEITEM FakeMainWindow::FindChild(HTREEITEM parent, const std::string& text) const {
  if (!parent) return nullptr;
  for (HTREEITEM item = TreeView_GetChild(Tree(), parent); item; item = TreeView_GetNextSibling(Tree(), item))
    if (TreeItemText(Tree(), item) == text) return item;
  return nullptr;
}

INT_PTR FakeMainWindow::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
  if (message == WM_REFRESH_BHOS) {
    ++refreshes;
    if (onRefresh) onRefresh();
  } else if (message == WM_START_KEY_WATCH) {
    ++keyWatchStarts;
  } else if (message == WM_NOTIFIER_CLICKED) {
    ++notifierClicks;
  } else {
    return 0;
  }
  handled = true;
  return 0;
}

std::vector<std::string> ColumnTitles(HWND list) {
  std::vector<std::string> titles;
  for (int index = 0;; ++index) {
    char text[128] = "";
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    if (!ListView_GetColumn(list, index, &column)) break;
    titles.push_back(text);
  }
  return titles;
}

int ItemImage(HWND list, int row) {
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  ListView_GetItem(list, &item);
  return item.iImage;
}

void SelectRow(HWND list, int row) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (row < 0) return;
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetSelectionMark(list, row);
}

}  // namespace tidewell::test
