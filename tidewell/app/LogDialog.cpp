#include "tidewell/app/LogDialog.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "tidewell/app/EventLog.h"

namespace tidewell {

bool CLogDialog::OnInit() {
  HWND list = Item(IDC_LOG_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  struct {
    const char* title;
    int width;
  } columns[] = {{"Time", 130}, {"Event", 370}};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(columns[i].title);
    column.cx = columns[i].width;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  int index = 0;
  for (const EventRow& row : ReadEvents(database_)) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index++;
    item.pszText = const_cast<char*>(row.time.c_str());
    int inserted = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0) continue;
    LVITEMA text{};
    text.iSubItem = 1;
    text.pszText = const_cast<char*>(row.text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, inserted, reinterpret_cast<LPARAM>(&text));
  }
  return true;
}

void ShowLog(HWND owner, CADODatabase& database) {
  CLogDialog viewer(database);
  viewer.DoModal(GetModuleHandleA(nullptr), IDD_LOG_DIALOG, owner);
}

}  // namespace tidewell
