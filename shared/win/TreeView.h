#pragma once
// Tree-control chores: inserting an item with its image and data, and
// reading an item's text and data back.

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace tidewell {

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const std::string& text, int image, LPARAM data);
std::string TreeItemText(HWND tree, HTREEITEM item);
LPARAM TreeItemData(HWND tree, HTREEITEM item);

}  // namespace tidewell
