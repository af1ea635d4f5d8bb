#pragma once
// The few list-control chores every list of the programs repeats: columns,
// rows of texts, and reading a cell or a row's data back.

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

struct ListColumn {
  const char* title;
  int width;  // pixels
};

// Replaces whatever columns the list has with these.
void SetListColumns(HWND list, std::initializer_list<ListColumn> columns);

// Appends a row: the first text is the item, the others its subitems.
// Returns the row's index, or -1 when the list refused it.
int AppendListRow(HWND list, const std::vector<std::string>& texts, int image = -1, LPARAM data = 0);

// The selected row, or -1. The selection mark counts only while its row is
// still selected: a click on the empty part of a list clears the selection
// but not the mark.
int SelectedListRow(HWND list);

std::string ListItemText(HWND list, int row, int column);
std::optional<LPARAM> ListItemData(HWND list, int row);

// The check boxes of a list with LVS_EX_CHECKBOXES: every row's at once, as
// a "Select all" box does, and the data of the checked rows, top to bottom.
void CheckAllListRows(HWND list, bool checked);
std::vector<LPARAM> CheckedListData(HWND list);

}  // namespace tidewell
