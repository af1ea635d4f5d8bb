#include "tidewell/cleanup/ClutterMeterDlg.h"

#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>

#include "resources/resource.h"
#include "shared/text/Text.h"
#include "shared/win/ListView.h"
#include "shared/win/Prompt.h"
#include "tidewell/cleanup/SpaceLimits.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(150);
constexpr size_t kNamesShown = 10;

// The space limits' controls, one row per limit.
struct LimitControls {
  int slider, field, spin;
};
constexpr LimitControls kLimits[] = {
    {.slider = IDC_CACHE_SLIDER, .field = IDC_CACHE_FIELD, .spin = IDC_CACHE_SPIN},
    {.slider = IDC_RESTORE_SLIDER, .field = IDC_RESTORE_FIELD, .spin = IDC_RESTORE_SPIN},
    {.slider = IDC_OFFLINE_SLIDER, .field = IDC_OFFLINE_FIELD, .spin = IDC_OFFLINE_SPIN},
};
constexpr const LimitControls& kRestoreLimit = kLimits[1];
constexpr const LimitControls& kOfflineLimit = kLimits[2];

// Whether id is that control (field, spin) of one of the limits.
bool IsLimitControl(int id, int LimitControls::*control) {
  return std::any_of(std::begin(kLimits), std::end(kLimits), [&](const LimitControls& limit) { return limit.*control == id; });
}

std::string WindowsFolder() { return ExpandEnvironmentPattern("%windir%"); }

// A log row's folder: its path without the "Log files on drive " some rows carry.
std::string LogFolderOf(std::string path) {
  const std::string prefix = "Log files on drive ";
  for (size_t at = path.find(prefix); at != std::string::npos; at = path.find(prefix)) path.erase(at, prefix.size());
  return std::string(Trim(path, " "));
}

std::string ListOfNames(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += "\r\n" + names[i];
  if (names.size() > kNamesShown) text += "\r\n...";
  return text;
}

}  // namespace

void ShowClutterMeter(IMainWindow& main) {
  CClutterMeterDlg dialog(main.Database(), SystemClutterMonitor());
  dialog.DoModal(GetModuleHandleA(nullptr), main.Window());
}

CClutterMeterDlg::CClutterMeterDlg(CADODatabase& database, ClutterMonitor& monitor)
    : database_(database), monitor_(monitor) {}

CClutterMeterDlg::~CClutterMeterDlg() { workers_.StopAndWait(); }

INT_PTR CClutterMeterDlg::DoModal(HINSTANCE instance, HWND owner) {
  return Dialog::DoModal(instance, IDD_CLUTTER_METER, owner);
}

HWND CClutterMeterDlg::List() const { return Item(IDC_CLUTTER_LIST); }

bool CClutterMeterDlg::OnInit() {
  SetUpList();
  LoadLimits();
  layout_.Bind(Handle());
  const int kStretch = kAnchorPinNear | kAnchorFollowFar, kFollow = kAnchorKeepSize | kAnchorFollowFar;
  const int kStay = kAnchorKeepSize | kAnchorPinNear;
  layout_.SetFlags(IDC_CLUTTER_LIST, kStretch, kStretch);
  layout_.SetFlags(IDC_CLUTTER_SELECT_ALL, kStay, kFollow);
  layout_.SetFlags(IDC_CLUTTER_REPORT, kStretch, kFollow);
  for (int id = IDC_LIMITS_FRAME; id <= IDC_OFFLINE_UNIT; ++id) layout_.SetFlags(id, kFollow, kFollow);
  layout_.SetFlags(IDB_CLUTTER_CLEANUP, kFollow, kFollow);
  layout_.SetFlags(IDCANCEL, kFollow, kFollow);
  FillClutterList(false);
  return true;
}

void CClutterMeterDlg::SetUpList() {
  HWND list = List();
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  images_.Reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 6, 0));
  for (int id : {IDI_CLEANUP_RECYCLE_BIN, IDI_CLEANUP_HISTORY, IDI_CLEANUP_RECENT, IDI_CLEANUP_FOLDER, IDI_COOKIES,
                 IDI_CLEANUP_LOG}) {
    UniqueIcon icon(static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0)));
    ImageList_AddIcon(images_.Get(), icon.Get());  // the list keeps its own copy
  }
  ListView_SetImageList(list, images_.Get(), LVSIL_SMALL);
  RECT client{};
  GetClientRect(list, &client);
  // Room for the vertical scroll bar the rows will need, so no column hides behind it.
  int width = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
  int narrow = width * 22 / 100;
  SetListColumns(list, {{"Category", width * 40 / 100}, {"Path", narrow}, {"File number", narrow}, {"Size", narrow}});
}

// ---- The list and the report

void CClutterMeterDlg::FillClutterList(bool fresh) {
  listRun_.RequestStop();  // an older fill's workers end; their results are dropped
  listRun_ = StopSource();
  settled_ = false;
  ClutterMonitor* monitor = &monitor_;
  workers_.Start(listRun_, [this, reach = fill_.Next(Reach()), fresh, monitor](const StopToken& stop) {
    auto measurement = monitor->Measure(stop, fresh);
    if (measurement) reach.Post([this, measurement] { ShowRows(*measurement); });
  });
}

void CClutterMeterDlg::ShowRows(const ClutterMeasurement& measurement) {
  HWND list = List();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  rows_ = ArrangeClutterRows(measurement, WindowsFolder());
  for (const ClutterRow& row : rows_)
    AppendListRow(list, {row.name, row.path, row.fileNumber, row.size}, row.image, row.id);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  Button_SetCheck(Item(IDC_CLUTTER_SELECT_ALL), BST_UNCHECKED);  // the new rows come unchecked
  report_ = measurement.report;
  SetDlgItemTextA(Handle(), IDC_CLUTTER_REPORT, report_.c_str());
  StartLogScan();
}

void CClutterMeterDlg::StartLogScan() {
  // Every log row names the Windows folder: one walk serves all rows of a folder.
  std::vector<std::pair<std::string, std::vector<int>>> folders;
  for (const ClutterRow& row : rows_) {
    if (row.kind != ClutterRowKind::LogFiles) continue;
    auto same = std::find_if(folders.begin(), folders.end(), [&](const auto& each) { return each.first == row.path; });
    if (same == folders.end())
      folders.push_back({row.path, {row.id}});
    else
      same->second.push_back(row.id);
  }
  // The rows' own fill: a refill silences this scan as it does the list's worker.
  auto scanAll = [this, folders, scan = logScanner_, reach = fill_.Next(Reach())](const StopToken& stop) {
    LogFileTotals all;
    for (const auto& [folder, ids] : folders) {
      auto last = std::chrono::steady_clock::now();
      LogFileTotals totals = scan(folder, stop, [&, ids = ids](const LogFileTotals& running) {
        auto now = std::chrono::steady_clock::now();
        if (now - last < kProgressInterval) return;
        last = now;
        reach.Post([this, ids, running] { ShowLogTotals(ids, running.count, running.kilobytes); });
      });
      if (stop.StopRequested()) return;
      reach.Post([this, ids = ids, totals] { ShowLogTotals(ids, totals.count, totals.kilobytes); });
      all.count += totals.count;
      all.kilobytes += totals.kilobytes;
    }
    reach.Post([this, all] {
      report_ = AppendLogSummary(report_, all.count, all.kilobytes);
      SetDlgItemTextA(Handle(), IDC_CLUTTER_REPORT, report_.c_str());
      settled_ = true;
    });
  };
  if (!workers_.Start(listRun_, scanAll)) settled_ = true;
}

void CClutterMeterDlg::ShowLogTotals(const std::vector<int>& rowIds, uint32_t count, uint64_t kilobytes) {
  std::string number = std::to_string(count), size = FormatLogSizeText(kilobytes);
  for (int id : rowIds) {
    int index = RowIndex(id);
    if (index < 0) continue;
    ListView_SetItemText(List(), index, 2, number.data());
    ListView_SetItemText(List(), index, 3, size.data());
    for (ClutterRow& row : rows_) {
      if (row.id == id) row.fileNumber = number, row.size = size;
    }
  }
}

int CClutterMeterDlg::RowIndex(int id) const {
  LVFINDINFOA find{};
  find.flags = LVFI_PARAM;
  find.lParam = id;
  return static_cast<int>(SendMessageA(List(), LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

const ClutterRow* CClutterMeterDlg::FindRow(int id) const {
  auto row = std::find_if(rows_.begin(), rows_.end(), [id](const ClutterRow& each) { return each.id == id; });
  return row == rows_.end() ? nullptr : &*row;
}

// ---- Commands

bool CClutterMeterDlg::OnCommand(int id, int code) {
  static const CommandEntry<CClutterMeterDlg> commands[] = {
      {IDC_CLUTTER_SELECT_ALL, BN_CLICKED, &CClutterMeterDlg::OnSelectAll},
      {IDB_CLUTTER_CLEANUP, BN_CLICKED, &CClutterMeterDlg::OnCleanUp},
      {IDCANCEL, BN_CLICKED, &CClutterMeterDlg::OnClose},
      {IDOK, BN_CLICKED, &CClutterMeterDlg::OnClose},
  };
  if (code == EN_CHANGE && IsLimitControl(id, &LimitControls::field)) {
    OnFieldChanged(id);
    return true;
  }
  return DispatchCommand(this, commands, id, code);
}

INT_PTR CClutterMeterDlg::OnNotify(const NMHDR& header) {
  if (header.code == UDN_DELTAPOS && IsLimitControl(static_cast<int>(header.idFrom), &LimitControls::spin)) {
    OnSpin(reinterpret_cast<const NMUPDOWN&>(header));
    return 1;  // the fields are set here, not by the control
  }
  return 0;
}

void CClutterMeterDlg::OnSize(UINT type, int, int) {
  if (type != SIZE_MINIMIZED) layout_.Apply();
}

void CClutterMeterDlg::OnDestroy() {
  listRun_.RequestStop();
  workers_.StopAndWait();
  ListView_SetImageList(List(), nullptr, LVSIL_SMALL);
}

INT_PTR CClutterMeterDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (message == WM_HSCROLL && LOWORD(wParam) == TB_ENDTRACK && lParam) {
    OnSliderReleased(reinterpret_cast<HWND>(lParam));
    handled = true;
  } else if (message == WM_SETCURSOR && cleaning_) {
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, TRUE);
    handled = true;
  }
  return handled ? TRUE : 0;
}

void CClutterMeterDlg::OnSelectAll() {
  CheckAllListRows(List(), Button_GetCheck(Item(IDC_CLUTTER_SELECT_ALL)) == BST_CHECKED);
}

void CClutterMeterDlg::OnClose() {
  listRun_.RequestStop();
  pending_.clear();
  // Bounded: a worker deep in a delete ends at its next file.
  workers_.StopAndWait();
  End(IDCANCEL);
}

// ---- Cleanup of the checked rows

void CClutterMeterDlg::OnCleanUp() {
  if (cleaning_) return;
  pending_.clear();
  for (LPARAM id : CheckedListData(List())) pending_.push_back(static_cast<int>(id));
  if (pending_.empty()) return;  // nothing checked: nothing at all happens
  cleaning_ = true;
  cleanup_ = {};
  EnableWindow(Item(IDB_CLUTTER_CLEANUP), FALSE);
  EnableWindow(Item(IDC_CLUTTER_SELECT_ALL), FALSE);
  CleanNextRow();
}

void CClutterMeterDlg::CleanNextRow() {
  while (!pending_.empty()) {
    int id = pending_.front();
    pending_.pop_front();
    const ClutterRow* found = FindRow(id);
    if (!found) continue;
    ClutterRow row = *found;
    if (row.kind == ClutterRowKind::RecycleBin) {
      if (EmptyRecycleBin(Handle(), row.path, recycleBinFlags_))
        LogEvent(database_, "\"" + row.name + "\" cleanup (" + row.path + ")");
      continue;
    }
    // A folder that did not expand to a usable path is never touched.
    if (!row.cleanable) continue;
    if (Prompt(Handle(), "Are you sure you want to cleanup folder?\r\n" + row.path, "Cleanup",
               MB_YESNO | MB_ICONQUESTION) != IDYES)
      continue;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    // Not a fill's request: a refill meanwhile leaves the cleanup's answer standing.
    bool started = workers_.Start([this, reach = Reach(), row](const StopToken& stop) {
      CleanupResult result;
      if (row.kind == ClutterRowKind::LogFiles) {
        result = DeleteLogFiles(LogFolderOf(row.path), stop);
      } else {
        result = CleanFolder(row.path, stop);
        // The cache's cookie entries go only with a cookie folder that really was cleaned.
        if (row.purgesUrlCache && !result.refused && !result.stopped) result.purgedUrls = PurgeUrlCache();
      }
      reach.Post([this, row, result] { OnRowCleaned(row, result); });
    });
    if (started) return;  // continues when the worker reports
  }
  FinishCleanup();
}

void CClutterMeterDlg::OnRowCleaned(const ClutterRow& row, const CleanupResult& result) {
  if (!cleaning_) return;
  // Only a row that was really cleaned gets its event.
  if (!result.refused && !result.stopped) {
    std::string event = "\"" + row.name + "\" cleanup (" + row.path + ")";
    if (result.purgedUrls) event += ", " + std::to_string(*result.purgedUrls) + " URL cache entries deleted";
    LogEvent(database_, event);
  }
  cleanup_.Add(result);
  if (result.stopped) pending_.clear();
  CleanNextRow();
}

void CClutterMeterDlg::FinishCleanup() {
  cleaning_ = false;
  EnableWindow(Item(IDB_CLUTTER_CLEANUP), TRUE);
  EnableWindow(Item(IDC_CLUTTER_SELECT_ALL), TRUE);
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (cleanup_.stopped) return;
  FillClutterList(true);
  Prompt(Handle(), "Cleanup complete", "Tidewell", MB_OK | MB_ICONINFORMATION);
  if (!cleanup_.scheduled.empty())
    Prompt(Handle(), "Some files could not be deleted. They will be deleted after the next system reboot", "Tidewell",
           MB_OK | MB_ICONINFORMATION);
  if (!cleanup_.failed.empty())
    Prompt(Handle(),
           std::to_string(cleanup_.failed.size()) +
               " files could not be deleted and could not be scheduled for deletion at the next reboot "
               "(that needs administrator rights). They are still there:" +
               ListOfNames(cleanup_.failed),
           "Tidewell", MB_OK | MB_ICONWARNING);
}

// ---- Space limits

int64_t CClutterMeterDlg::Field(int id) const {
  char text[32] = {};
  GetDlgItemTextA(Handle(), id, text, sizeof text);
  return ParseField(text);
}

void CClutterMeterDlg::SetField(int id, int64_t value) {
  SetDlgItemTextA(Handle(), id, std::to_string(value).c_str());
}

int CClutterMeterDlg::SliderPosition(int id) const {
  return static_cast<int>(SendDlgItemMessageA(Handle(), id, TBM_GETPOS, 0, 0));
}

void CClutterMeterDlg::LoadLimits() {
  loadingLimits_ = true;
  ClutterSources drivesOnly = SystemClutterSources();
  drivesOnly.categoryFolders = [] { return std::vector<std::string>(); };
  drivesOnly.recycleBin = [](const std::string&) { return std::optional<RecycleBin>(); };
  ClutterMeasurement drives = MeasureClutter(drivesOnly);
  diskMb_ = static_cast<int64_t>(drives.totalKb / 1024);
  homeMb_ = static_cast<int64_t>(drives.homeDriveTotalKb / 1024);
  auto setSlider = [this](int id, int low, int high, int frequency) {
    SendDlgItemMessageA(Handle(), id, TBM_SETRANGE, FALSE, MAKELPARAM(low, high));
    SendDlgItemMessageA(Handle(), id, TBM_SETTICFREQ, frequency, 0);
  };
  auto disable = [this](const LimitControls& limit) {
    for (int id : {limit.slider, limit.field, limit.spin}) EnableWindow(Item(id), FALSE);
  };

  setSlider(IDC_CACHE_SLIDER, 0, kCacheSliderMax, 1);
  int64_t cacheMb = ReadCacheLimitKb() / 1024;
  SetField(IDC_CACHE_FIELD, cacheMb);
  if (auto position = CacheSliderAtOpening(cacheMb, diskMb_))
    SendDlgItemMessageA(Handle(), IDC_CACHE_SLIDER, TBM_SETPOS, TRUE, *position);

  setSlider(IDC_RESTORE_SLIDER, kRestoreSliderMin, kRestoreSliderMax, 1);
  restoreFile_ = RestoreTableFile();
  std::optional<int64_t> restoreMb = restoreFile_ ? ReadRestoreLimit(*restoreFile_) : std::nullopt;
  if (!restoreMb || *restoreMb < 1) {
    restoreFile_.reset();  // nothing to change there
    disable(kRestoreLimit);
  } else {
    if (auto position = RestoreSliderAtOpening(*restoreMb, diskMb_))
      SendDlgItemMessageA(Handle(), IDC_RESTORE_SLIDER, TBM_SETPOS, TRUE, *position);
    SetField(IDC_RESTORE_FIELD, *restoreMb);
  }

  setSlider(IDC_OFFLINE_SLIDER, 0, kOfflineSliderMax, 1000);
  if (auto setting = ReadOfflineSetting()) {
    SendDlgItemMessageA(Handle(), IDC_OFFLINE_SLIDER, TBM_SETPOS, TRUE, *setting);
    SetField(IDC_OFFLINE_FIELD, OfflineFieldAtOpening(*setting, homeMb_));
  } else {
    disable(kOfflineLimit);
  }
  loadingLimits_ = false;
}

void CClutterMeterDlg::OnSliderReleased(HWND slider) {
  int id = GetDlgCtrlID(slider);
  int position = SliderPosition(id);
  if (id == IDC_CACHE_SLIDER)
    SetField(IDC_CACHE_FIELD, CacheFieldForSlider(position, diskMb_));
  else if (id == IDC_RESTORE_SLIDER)
    SetField(IDC_RESTORE_FIELD, RestoreFieldForSlider(position, diskMb_));
  else if (id == IDC_OFFLINE_SLIDER)
    SetField(IDC_OFFLINE_FIELD, OfflineFieldForSlider(position, homeMb_));
}

void CClutterMeterDlg::OnSpin(const NMUPDOWN& change) {
  // An up-down control's range runs from 100 down to 0, so "up" proposes -1.
  const int delta = change.iDelta;
  switch (change.hdr.idFrom) {
    case IDC_CACHE_SPIN: {
      int64_t value = std::clamp<int64_t>(Field(IDC_CACHE_FIELD) - delta, 0, std::max<int64_t>(diskMb_, 1));
      SetField(IDC_CACHE_FIELD, value == 0 ? 1 : value);
      break;
    }
    case IDC_RESTORE_SPIN: {
      int position = std::clamp(SliderPosition(IDC_RESTORE_SLIDER) - delta, kRestoreSliderMin, kRestoreSliderMax);
      SendDlgItemMessageA(Handle(), IDC_RESTORE_SLIDER, TBM_SETPOS, TRUE, position);
      SetField(IDC_RESTORE_FIELD, RestoreFieldForSlider(position, diskMb_));
      break;
    }
    case IDC_OFFLINE_SPIN:
      SetField(IDC_OFFLINE_FIELD, std::clamp<int64_t>(Field(IDC_OFFLINE_FIELD) - delta, 0, std::max<int64_t>(homeMb_, 0)));
      break;
    default: break;
  }
}

void CClutterMeterDlg::OnFieldChanged(int field) {
  if (loadingLimits_) return;
  if (field == IDC_CACHE_FIELD) {
    int64_t megabytes = std::max<int64_t>(Field(field), 0);
    if (diskMb_ >= 1) megabytes = std::min(megabytes, diskMb_);
    if (auto position = CacheSliderForLimit(megabytes, diskMb_))
      SendDlgItemMessageA(Handle(), IDC_CACHE_SLIDER, TBM_SETPOS, TRUE, *position);
    WriteCacheLimit(megabytes);
  } else if (field == IDC_RESTORE_FIELD) {
    if (!restoreFile_) return;
    int64_t megabytes = std::max<int64_t>(Field(field), 1);
    if (diskMb_ >= 1) megabytes = std::min(megabytes, diskMb_);
    WriteRestoreLimit(*restoreFile_, megabytes);
  } else if (field == IDC_OFFLINE_FIELD) {
    if (!IsWindowEnabled(Item(IDC_OFFLINE_FIELD))) return;
    int64_t megabytes = std::clamp<int64_t>(Field(field), 0, std::max<int64_t>(homeMb_, 0));
    if (auto position = OfflineSliderForLimit(megabytes, homeMb_))
      SendDlgItemMessageA(Handle(), IDC_OFFLINE_SLIDER, TBM_SETPOS, TRUE, *position);
    WriteOfflineSetting(SliderPosition(IDC_OFFLINE_SLIDER));
  }
}

}  // namespace tidewell
