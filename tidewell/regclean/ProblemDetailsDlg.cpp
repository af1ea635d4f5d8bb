#include "tidewell/regclean/ProblemDetailsDlg.h"

#include <commctrl.h>
#include <windowsx.h>

#include "resources/resource.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/ListView.h"
#include "shared/win/Prompt.h"
#include "tidewell/regclean/CleanerEngine.h"

namespace tidewell {

CProblemDetailsDlg::CProblemDetailsDlg(CADODatabase& database, std::optional<Category> category, BusyTest busy)
    : database_(database), category_(category), busy_(std::move(busy)) {}

bool CProblemDetailsDlg::OnInit() {
  MoveWindow(Handle(), 100, 200, 500, 400, TRUE);
  HWND list = Item(IDC_DETAILS_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  SetListColumns(list, {{"Registry key", 250}, {"Invalid entry", 250}});
  SetWindowTextA(Handle(), category_ ? Info(*category_).detailsTitle : kDetailsAllTitle);
  Fill();
  Button_SetCheck(Item(IDC_DETAILS_SELECT_ALL), BST_CHECKED);
  RECT client{};
  GetClientRect(Handle(), &client);
  OnSize(SIZE_RESTORED, client.right, client.bottom);
  return true;
}

void CProblemDetailsDlg::Fill() {
  HWND list = Item(IDC_DETAILS_LIST);
  if (!database_.IsOpen()) database_.Open("", "", "");
  CADORecordset recordset(database_);
  bool any = recordset.Open(category_ ? DetailsStatement(*category_) : "select * from problems") &&
             recordset.RecordCount() > 0;
  if (any) {
    recordset.MoveFirst();
    while (!recordset.IsEOF()) {
      std::string type, rootkey, subkey, problem;
      int id = 0;
      recordset.GetField("ptype", type);
      recordset.GetField("rootkey", rootkey);
      recordset.GetField("subkey", subkey);
      recordset.GetField("problem", problem);
      recordset.GetFieldInt("ID", id);
      if (auto category = CategoryOfType(type)) categoryOfRow_[id] = *category;
      int row = AppendListRow(list, {rootkey + "\\" + subkey, problem}, -1, id);
      if (row >= 0) ListView_SetCheckState(list, row, TRUE);
      recordset.MoveNext();
    }
  }
  EnableWindow(Item(IDB_DETAILS_REPAIR_SELECTED), any);
}

bool CProblemDetailsDlg::OnCommand(int id, int code) {
  static const CommandEntry<CProblemDetailsDlg> commands[] = {
      {IDC_DETAILS_SELECT_ALL, BN_CLICKED, &CProblemDetailsDlg::OnSelectAll},
      {IDB_DETAILS_REPAIR_SELECTED, BN_CLICKED, &CProblemDetailsDlg::OnRepairSelected},
  };
  return DispatchCommand(this, commands, id, code) || Dialog::OnCommand(id, code);
}

void CProblemDetailsDlg::OnSelectAll() {
  CheckAllListRows(Item(IDC_DETAILS_LIST), Button_GetCheck(Item(IDC_DETAILS_SELECT_ALL)) == BST_CHECKED);
}

void CProblemDetailsDlg::OnRepairSelected() {
  bool refused = false;
  for (LPARAM data : CheckedListData(Item(IDC_DETAILS_LIST))) {
    int id = static_cast<int>(data);
    // Marked now, a busy category's row would be repaired later without a word.
    auto category = categoryOfRow_.find(id);
    if (busy_ && category != categoryOfRow_.end() && busy_(category->second)) {
      refused = true;
      continue;
    }
    ExecuteStatement(database_, FormatSql("update problems set state=1 where ID=%d", id));
  }
  if (refused) Prompt(Handle(), kCategoryBusyText, "Tidewell", MB_OK | MB_ICONINFORMATION);
  repairRequested_ = true;
  End(IDOK);
}

void CProblemDetailsDlg::OnSize(UINT, int width, int height) {
  HWND list = Item(IDC_DETAILS_LIST);
  if (!list) return;
  MoveWindow(list, 10, 10, width - 20, height - 46, TRUE);
  int column = static_cast<int>(width * 0.48);
  ListView_SetColumnWidth(list, 0, column);
  ListView_SetColumnWidth(list, 1, column);
  RECT close{};
  GetWindowRect(Item(IDCANCEL), &close);
  int closeWidth = close.right - close.left, closeHeight = close.bottom - close.top;
  int closeLeft = width - 80, top = height - 35;
  MoveWindow(Item(IDCANCEL), closeLeft, top, closeWidth, closeHeight, TRUE);
  int repairLeft = closeLeft - 150, repairRight = closeLeft + closeWidth - 100;
  MoveWindow(Item(IDB_DETAILS_REPAIR_SELECTED), repairLeft, top, repairRight - repairLeft, closeHeight, TRUE);
  MoveWindow(Item(IDC_DETAILS_SELECT_ALL), 10, top, 110, closeHeight, TRUE);
}

}  // namespace tidewell
