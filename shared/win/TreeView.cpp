#include "shared/win/TreeView.h"

namespace tidewell {

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const std::string& text, int image, LPARAM data) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text.c_str());
  insert.item.iImage = image;
  insert.item.iSelectedImage = image;
  insert.item.lParam = data;
  return TreeView_InsertItem(tree, &insert);
}

std::string TreeItemText(HWND tree, HTREEITEM item) {
  char text[MAX_PATH] = {};
  TVITEMA data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = sizeof text;
  TreeView_GetItem(tree, &data);
  return text;
}

LPARAM TreeItemData(HWND tree, HTREEITEM item) {
  TVITEMA data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  TreeView_GetItem(tree, &data);
  return data.lParam;
}

}  // namespace tidewell
