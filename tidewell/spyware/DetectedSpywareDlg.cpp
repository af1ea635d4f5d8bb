#include "tidewell/spyware/DetectedSpywareDlg.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "resources/resource.h"
#include "shared/win/ListView.h"
#include "shared/win/Prompt.h"

namespace tidewell {

namespace {

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

}  // namespace

CDetectedSpywareDlg::CDetectedSpywareDlg(std::vector<Detection> detections,
                                         std::shared_ptr<const SpywareDefinitions> definitions,
                                         RemovalSettings settings, std::function<void()> closed)
    : detections_(std::move(detections)),
      definitions_(std::move(definitions)),
      settings_(std::move(settings)),
      closed_(std::move(closed)) {}

CDetectedSpywareDlg::~CDetectedSpywareDlg() {
  workers_.StopAndWait();
  Destroy();  // before images_ goes: the list still shows them
}

HWND CDetectedSpywareDlg::Show(HWND owner) {
  HWND window = Create(Instance(), IDD_DETECTED_SPYWARE, owner);
  if (window) ShowWindow(window, SW_SHOW);
  return window;
}

const Detection* CDetectedSpywareDlg::RowDetection(int row) const {
  std::optional<LPARAM> index = ListItemData(Item(IDC_DETECTED_LIST), row);
  if (!index || *index < 0 || static_cast<size_t>(*index) >= detections_.size()) return nullptr;
  return &detections_[static_cast<size_t>(*index)];
}

bool CDetectedSpywareDlg::OnInit() {
  layout_.Bind(Handle());
  layout_.SetFlags(IDC_DETECTED_LIST, kAnchorPinNear | kAnchorFollowFar, kAnchorPinNear | kAnchorFollowFar);
  layout_.SetFlags(IDC_SELECT_ALL, kAnchorPinNear | kAnchorKeepSize, kAnchorKeepSize | kAnchorFollowFar);
  layout_.SetFlags(IDOK, kAnchorKeepSize | kAnchorFollowFar, kAnchorKeepSize | kAnchorFollowFar);
  layout_.SetFlags(IDCANCEL, kAnchorKeepSize | kAnchorFollowFar, kAnchorKeepSize | kAnchorFollowFar);
  // The colour keys of the two pictures.
  skinButtons_[0].Configure(Item(IDOK), IDBMP_REMOVE_SELECTED, RGB(255, 255, 255), kSkinButtonTextColor,
                            kSkinButtonStyle);
  skinButtons_[1].Configure(Item(IDCANCEL), IDBMP_CLOSE_RESULTS, RGB(255, 0, 255), kSkinButtonTextColor, kSkinButtonStyle);

  HWND list = Item(IDC_DETECTED_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  SetListColumns(list, {{"Spyware name", 150}, {"Signature type", 100}, {"Detected signature", 450}});
  images_.Reset(ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 4, 1));
  UniqueIcon icon(static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(IDI_RISK_HIGH), IMAGE_ICON, 32, 32, 0)));
  if (icon) ImageList_AddIcon(images_.Get(), icon.Get());  // the list keeps its own copy
  ListView_SetImageList(list, images_.Get(), LVSIL_SMALL);
  FillDetectionList();
  Button_SetCheck(Item(IDC_SELECT_ALL), BST_CHECKED);
  SelectAll();
  return true;
}

void CDetectedSpywareDlg::FillDetectionList() {
  HWND list = Item(IDC_DETECTED_LIST);
  ListView_DeleteAllItems(list);
  // Each row goes in at the top: the newest detection first.
  for (size_t i = 0; i < detections_.size(); ++i) {
    const Detection& detection = detections_[i];
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = 0;
    item.pszText = const_cast<char*>(detection.name.c_str());
    item.iImage = 0;
    item.lParam = static_cast<LPARAM>(i);
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    ListView_SetItemText(list, row, 1, const_cast<char*>(detection.type.c_str()));
    ListView_SetItemText(list, row, 2, const_cast<char*>(detection.entry.c_str()));
  }
}

void CDetectedSpywareDlg::SelectAll() {
  CheckAllListRows(Item(IDC_DETECTED_LIST), Button_GetCheck(Item(IDC_SELECT_ALL)) == BST_CHECKED);
}

bool CDetectedSpywareDlg::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDOK: RemoveSelectedEntries(); return true;
    case IDCANCEL: Close(); return true;
    case IDC_SELECT_ALL: SelectAll(); return true;
    default: return false;
  }
}

void CDetectedSpywareDlg::RemoveSelectedEntries() {
  if (busy_) return;
  if (Prompt(Handle(), "Are you sure you want to remove selected entries?", "Tidewell", MB_YESNO | MB_ICONQUESTION) !=
      IDYES)
    return;
  std::vector<size_t> chosen;
  for (LPARAM index : CheckedListData(Item(IDC_DETECTED_LIST))) chosen.push_back(static_cast<size_t>(index));
  if (chosen.empty()) return;

  busy_ = true;
  EnableWindow(Item(IDOK), FALSE);
  std::vector<Detection> targets;
  for (size_t index : chosen) targets.push_back(detections_[index]);
  RemovalSettings settings = settings_;
  settings.reportTo = Handle();
  bool started = workers_.Start([this, reach = Reach(), chosen, targets, settings](const StopToken& stop) {
    std::vector<std::pair<size_t, RemovalOutcome>> outcomes;
    std::vector<std::string> names;
    for (const Detection& target : targets) names.push_back(target.name);
    // One press, one backup: the Backup manager puts all of it back at once.
    RemovalAction action(*settings.database, SpywareGuards(settings), RemovedSpywareComment(names));
    SpywareRemover remover(settings, action);
    for (size_t i = 0; i < targets.size() && !stop.StopRequested(); ++i)
      outcomes.emplace_back(chosen[i], remover.Remove(targets[i]));
    action.Commit();
    reach.Post([this, outcomes] { OnRemoved(outcomes); });
  });
  if (!started) {
    busy_ = false;
    EnableWindow(Item(IDOK), TRUE);
  }
}

void CDetectedSpywareDlg::OnRemoved(const std::vector<std::pair<size_t, RemovalOutcome>>& outcomes) {
  busy_ = false;
  EnableWindow(Item(IDOK), TRUE);
  HWND list = Item(IDC_DETECTED_LIST);
  std::string failures;
  for (const auto& [index, outcome] : outcomes) {
    if (outcome.gone) continue;
    failures += "\n" + detections_[index].entry + (outcome.reason.empty() ? "" : " (" + outcome.reason + ")");
  }
  for (int row = ListView_GetItemCount(list) - 1; row >= 0; --row) {
    std::optional<LPARAM> index = ListItemData(list, row);
    if (!index) continue;
    auto outcome = std::find_if(outcomes.begin(), outcomes.end(),
                                [&](const auto& pair) { return pair.first == static_cast<size_t>(*index); });
    if (outcome != outcomes.end() && outcome->second.gone) ListView_DeleteItem(list, row);
  }
  if (!failures.empty()) Prompt(Handle(), "Unable to remove " + failures.substr(1), "Tidewell", MB_OK | MB_ICONWARNING);
}

INT_PTR CDetectedSpywareDlg::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_DETECTED_LIST || header.code != LVN_GETINFOTIPA) return 0;
  auto& tip = const_cast<NMLVGETINFOTIPA&>(reinterpret_cast<const NMLVGETINFOTIPA&>(header));
  if (!tip.pszText || tip.cchTextMax <= 0) return 0;
  tip.pszText[0] = '\0';
  const Detection* detection = RowDetection(tip.iItem);
  const SpywareEntry* entry = detection && definitions_ ? definitions_->Find(detection->name) : nullptr;
  if (!entry) return 0;
  std::string text = "Description: " + entry->description;
  size_t room = static_cast<size_t>(std::min(tip.cchTextMax, 256)) - 1;
  text.resize(std::min(text.size(), room));
  std::copy(text.begin(), text.end(), tip.pszText);
  tip.pszText[text.size()] = '\0';
  return 0;
}

void CDetectedSpywareDlg::OnSize(UINT, int, int) {
  layout_.Apply();
  InvalidateRect(Handle(), nullptr, TRUE);
}

INT_PTR CDetectedSpywareDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, bool& handled) {
  if (message == WM_DRAWITEM && DrawSkinButtonItem(skinButtons_, lParam)) {
    handled = true;
    return TRUE;
  }
  if (message == WM_GETMINMAXINFO) {
    auto& info = *reinterpret_cast<MINMAXINFO*>(lParam);
    info.ptMinTrackSize = {420, 220};
    handled = true;
  }
  return 0;
}

void CDetectedSpywareDlg::Close() {
  // A removal at work is asked to stop and waited for before the window goes.
  workers_.StopAndWait();
  Destroy();
}

void CDetectedSpywareDlg::OnDestroy() {
  workers_.StopAndWait();
  if (closed_) {
    auto closed = std::move(closed_);
    closed_ = nullptr;
    closed();
  }
}

}  // namespace tidewell
