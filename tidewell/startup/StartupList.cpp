#include "tidewell/startup/StartupList.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "shared/win/FileSigner.h"
#include "shared/win/ListView.h"
#include "shared/win/Prompt.h"
#include "tidewell/startup/StartupText.h"

namespace tidewell {

namespace {

constexpr int kInfoTipLimit = 255;
constexpr const char* kCheckingSigner = "checking...";

int RowUnderCursor(HWND list) {
  LVHITTESTINFO hit{};
  GetCursorPos(&hit.pt);
  ScreenToClient(list, &hit.pt);
  return ListView_HitTest(list, &hit);
}

}  // namespace

void FillStartupList(HWND list) {
  ListView_DeleteAllItems(list);
  // Where the machine has two registry views, a third column tells a
  // 32-bit program's entry from a 64-bit one of the same name.
  bool twoViews = RegistryViews().size() > 1;
  if (twoViews)
    SetListColumns(list, {{"Application name", 150}, {"Application path", 200}, {"View", 60}, {"Signer", 200}});
  else SetListColumns(list, {{"Application name", 150}, {"Application path", 200}, {"Signer", 200}});
  for (const auto& entry : ListStartupEntries()) {
    std::vector<std::string> texts{entry.name, entry.command};
    if (twoViews) texts.push_back(StartupViewText(entry));
    texts.push_back(kCheckingSigner);
    AppendListRow(list, texts, 1, StartupItemData(entry));
  }
}

void CheckStartupSigners(HWND list, const WindowReach& reach, WorkerGroup& workers) {
  struct Row {
    int row;
    std::string command;
  };
  std::vector<Row> rows;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) rows.push_back({row, ListItemText(list, row, 1)});
  int column = Header_GetItemCount(ListView_GetHeader(list)) - 1;
  workers.Start([list, reach, rows, column](const StopToken& stop) {
    for (const Row& row : rows) {
      if (stop.StopRequested()) return;
      std::string text = SignerTextOf(StartupProgramPath(row.command));
      // The row may have gone with a refill the reach has not seen.
      reach.Post([list, row, column, text] {
        if (ListItemText(list, row.row, 1) == row.command)
          ListView_SetItemText(list, row.row, column, const_cast<char*>(text.c_str()));
      });
    }
  });
}

StartupEntry GetSelectedStartupEntry(HWND list) {
  StartupEntry entry;
  int row = SelectedListRow(list);
  if (row < 0) return entry;
  entry.name = ListItemText(list, row, 0);
  entry.command = ListItemText(list, row, 1);
  if (auto data = ListItemData(list, row)) ReadStartupItemData(*data, entry);
  return entry;
}

void DisableSelectedStartupEntry(CADODatabase& database, const std::string& appFolder, HWND list, HWND owner) {
  if (DisableStartupEntry(database, appFolder, GetSelectedStartupEntry(list), owner)) FillStartupList(list);
}

void DeleteSelectedStartupEntry(CADODatabase& database, const std::string& appFolder, HWND list, HWND owner) {
  if (DeleteStartupEntry(database, appFolder, GetSelectedStartupEntry(list), owner)) FillStartupList(list);
}

void FillStartupInfoTip(CADODatabase& database, HWND list, NMLVGETINFOTIPA& tip) {
  if (!tip.pszText || tip.cchTextMax <= 0) return;
  int row = RowUnderCursor(list);
  if (row < 0) row = tip.iItem;
  if (row < 0) return;
  std::string text = DescribeStartupCommand(database, ListItemText(list, row, 1));
  size_t limit = static_cast<size_t>(std::min(tip.cchTextMax, kInfoTipLimit)) - 1;
  text.resize(std::min(text.size(), limit));
  std::memcpy(tip.pszText, text.c_str(), text.size() + 1);
}

bool ShowStartupListMenu(CADODatabase& database, HWND list, HWND window, HMENU popup) {
  int row = RowUnderCursor(list);
  if (row < 0) return false;
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetSelectionMark(list, row);
  if (!IsUnknownStartupDescription(DescribeStartupCommand(database, ListItemText(list, row, 1)))) return false;
  POINT cursor{};
  GetCursorPos(&cursor);
  SetForegroundWindow(window);
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
  return true;
}

INT_PTR OnStartupListNotify(CADODatabase& database, HWND list, HWND window, HMENU popup, const NMHDR& header) {
  // The header is the first member of the notification the list sent.
  NMHDR& sent = const_cast<NMHDR&>(header);
  if (header.code == LVN_GETINFOTIPA) {
    FillStartupInfoTip(database, list, reinterpret_cast<NMLVGETINFOTIPA&>(sent));
  } else if (header.code == LVN_GETINFOTIPW) {
    auto& wide = reinterpret_cast<NMLVGETINFOTIPW&>(sent);
    if (!wide.pszText || wide.cchTextMax <= 0) return 0;
    char text[kInfoTipLimit + 1] = "";
    NMLVGETINFOTIPA narrow{};
    narrow.hdr = header;
    narrow.pszText = text;
    narrow.cchTextMax = std::min(wide.cchTextMax, kInfoTipLimit);
    narrow.iItem = wide.iItem;
    FillStartupInfoTip(database, list, narrow);
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.pszText, wide.cchTextMax) == 0) wide.pszText[0] = L'\0';
  } else if (header.code == NM_RCLICK) {
    ShowStartupListMenu(database, list, window, popup);
  }
  return 0;
}

void SubmitStartupInfo(HWND list, const WindowReach& window, const std::string& host, WorkerGroup& workers) {
  // The texts are read here, on the UI thread; the worker gets copies.
  StartupEntry entry = GetSelectedStartupEntry(list);
  workers.Start([window, host, name = entry.name, path = entry.command](const StopToken&) {
    std::string message = SendStartupInfo(host, name, path);
    window.Post([owner = window.Window(), message] { Prompt(owner, message, "Tidewell", MB_OK); });
  });
}

}  // namespace tidewell
