#include "tidewell/app/LogDialog.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "shared/win/ListView.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {

bool CLogDialog::OnInit() {
  HWND list = Item(IDC_LOG_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  SetListColumns(list, {{"Time", 130}, {"Event", 370}});
  for (const EventRow& row : ReadEvents(database_)) AppendListRow(list, {row.time, row.text});
  return true;
}

void ShowLog(HWND owner, CADODatabase& database) {
  CLogDialog viewer(database);
  viewer.DoModal(GetModuleHandleA(nullptr), IDD_LOG_DIALOG, owner);
}

}  // namespace tidewell
