#include "shared/win/ListView.h"

#include <commctrl.h>

#include <algorithm>

namespace tidewell {

void SetListColumns(HWND list, std::initializer_list<ListColumn> columns) {
  while (ListView_DeleteColumn(list, 0)) {
  }
  int index = 0;
  for (const ListColumn& each : columns) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = each.width;
    column.pszText = const_cast<char*>(each.title);
    column.iSubItem = index;
    ListView_InsertColumn(list, index++, &column);
  }
}

int AppendListRow(HWND list, const std::vector<std::string>& texts, int image, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
  item.iItem = ListView_GetItemCount(list);
  item.iImage = image;
  item.lParam = data;
  item.pszText = const_cast<char*>(texts.empty() ? "" : texts[0].c_str());
  int row = ListView_InsertItem(list, &item);
  if (row < 0) return row;
  for (size_t column = 1; column < texts.size(); ++column)
    ListView_SetItemText(list, row, static_cast<int>(column), const_cast<char*>(texts[column].c_str()));
  return row;
}

int SelectedListRow(HWND list) {
  int row = ListView_GetSelectionMark(list);
  if (row < 0 || !(ListView_GetItemState(list, row, LVIS_SELECTED) & LVIS_SELECTED))
    row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  return row;
}

std::string ListItemText(HWND list, int row, int column) {
  std::string text(1024, '\0');
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  int length = static_cast<int>(SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
  text.resize(std::clamp(length, 0, static_cast<int>(text.size())));
  return text;
}

std::optional<LPARAM> ListItemData(HWND list, int row) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!ListView_GetItem(list, &item)) return std::nullopt;
  return item.lParam;
}

void CheckAllListRows(HWND list, bool checked) {
  for (int row = 0, count = ListView_GetItemCount(list); row < count; ++row) ListView_SetCheckState(list, row, checked);
}

std::vector<LPARAM> CheckedListData(HWND list) {
  std::vector<LPARAM> data;
  for (int row = 0, count = ListView_GetItemCount(list); row < count; ++row)
    if (ListView_GetCheckState(list, row))
      if (std::optional<LPARAM> item = ListItemData(list, row)) data.push_back(*item);
  return data;
}

}  // namespace tidewell
