
#include "tidewell/app/MainDialog.h"

#include "resources/resource.h"
#include "shared/win/AppPaths.h"
#include "shared/win/Prompt.h"
#include "shared/win/ListView.h"
#include "shared/win/RunningMark.h"
#include "tidewell/app/DatabaseBesideProgram.h"
#include "tidewell/app/LogDialog.h"
#include "tidewell/app/MainWindowRules.h"
#include "tidewell/app/OneTidewell.h"
#include "tidewell/app/ReportSaving.h"
#include "tidewell/app/SkylarkStart.h"
#include "tidewell/app/TabPages.h"
#include "tidewell/backup/BackupPage.h"
#include "tidewell/cleanup/ClutterMeterDlg.h"
#include "tidewell/regclean/RegistryToolsDlg.h"
#include "tidewell/shell/Messages.h"
#include "tidewell/traffic/NetWatchDialog.h"

namespace tidewell {

namespace {

constexpr UINT kTrayIconId = 100;

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

void ShowControl(HWND dialog, int id, bool show) { ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE); }

}  // namespace

CMainDialog::CMainDialog(std::string programPath) : programPath_(std::move(programPath)) {}

CMainDialog::~CMainDialog() = default;

HWND CMainDialog::Tree() const { return Item(IDC_BHO_TREE); }
HWND CMainDialog::List() const { return Item(IDC_SHARED_LIST); }
HWND CMainDialog::StatusLine() const { return Item(IDC_STATUS_LINE); }
int CMainDialog::SelectedTab() const { return TabCtrl_GetCurSel(Item(IDC_MAIN_TABS)); }
void CMainDialog::SetStatus(const std::string& text) { SetDlgItemTextA(Handle(), IDC_STATUS_LINE, text.c_str()); }
RECT CMainDialog::PageArea() const { return ChildRect(Handle(), List()); }
void CMainDialog::HoldTabs(bool hold) { EnableWindow(Item(IDC_MAIN_TABS), !hold); }

IPage* CMainDialog::Selected() const {
  int tab = SelectedTab();
  return tab >= 0 && static_cast<size_t>(tab) < pages_.size() ? pages_[static_cast<size_t>(tab)].get() : nullptr;
}

bool CMainDialog::OnInit() {
  layout_.Bind(Handle());
  AddAboutItem();
  auto connection = OpenDatabaseBesideProgram(database_, programPath_, nullptr);
  if (!connection) {
    End(0);  // ends before the window is ever shown; the program exits with 0
    return false;
  }
  connection_ = *connection;
  started_ = true;

  pages_ = MakeTabPages(*this);
  for (const auto& page : pages_) layouts_.push_back(page->Layout());
  look_.Dress(Handle(), layouts_);
  ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP |
                                                LVS_EX_HEADERDRAGDROP);
  SetListColumns(List(), {{"Bakup name", 320}, {"Bakup size", 90}});
  FitPagesIntoTabs();
  layout_.Bind(Handle());  // again, so it knows the fitted places
  tray_.Add(Handle(), kTrayIconId, WM_TRAY_NOTIFY, look_.SmallIcon(), "Tidewell");
  trayMenu_.Reset(LoadMenuA(Instance(), MAKEINTRESOURCEA(IDM_TRAY)));
  SetUpNotifier();
  SetTimer(Handle(), TIMER_TRAY_ICON, 2000, nullptr);
  for (const auto& page : pages_) page->Attach();
  SelectTab(0);
  RefreshClutterGauge();
  SetUpAnchors();
  traffic_ = TrafficWatch::Create(Handle());
  return true;
}

void CMainDialog::AddAboutItem() {
  char text[128] = {};
  if (LoadStringA(Instance(), IDS_ABOUTBOX, text, sizeof text) <= 0) return;
  HMENU system = GetSystemMenu(Handle(), FALSE);
  if (!system) return;
  AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, text);
}

void CMainDialog::FitPagesIntoTabs() {
  // The tab rows' height depends on the font, the icons and the width (a
  // wide window needs one row, a narrow one two); the pages fill what is left.
  HWND tabs = Item(IDC_MAIN_TABS);
  RECT area = ChildRect(Handle(), tabs);
  TabCtrl_AdjustRect(tabs, FALSE, &area);
  InflateRect(&area, -2, -2);
  for (int id : {IDC_BHO_TREE, IDC_SHARED_LIST, IDC_BROWSER, IDC_PRODUCTS_MESSAGE})
    SetWindowPos(Item(id), nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDialog::SetUpAnchors() {
  for (int id : LegendControls()) layout_.SetFlags(id, kAnchorKeepSize, kAnchorKeepSize);
  for (int id : {IDC_CLUTTER_PERCENT, IDC_CLUTTER_BAR, IDC_STATUS_LINE}) layout_.SetFlags(id, 0, kAnchorKeepSize);
  for (int id : {IDC_GRAPH_TOTAL, IDC_GRAPH_INCOMING, IDC_GRAPH_OUTGOING}) layout_.SetFlags(id, 0, 0);
}

void CMainDialog::RefreshClutterGauge() {
  // Measured on a worker; the gauge changes when the measurement ends.
  clutterGauge_.Request(workers_, Handle(), [this](const ClutterReading& reading) {
    clutter_ = reading;
    SendDlgItemMessageA(Handle(), IDC_CLUTTER_BAR, PBM_SETRANGE32, 0, clutter_.rangeMegabytes);
    SendDlgItemMessageA(Handle(), IDC_CLUTTER_BAR, PBM_SETPOS, clutter_.positionMegabytes, 0);
    SetDlgItemTextA(Handle(), IDC_CLUTTER_PERCENT, clutter_.text.c_str());
    InvalidateRect(Item(IDC_CLUTTER_PERCENT), nullptr, TRUE);
  });
}

// ---- Display states

void CMainDialog::ShowMainWindow() {
  visible_ = true;
  ShowWindow(Handle(), SW_SHOW);
  RECT client{};
  GetClientRect(Handle(), &client);
  SendMessageA(Handle(), WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(client.right, client.bottom));
  InvalidateRect(Handle(), nullptr, TRUE);
  if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
  SetForegroundWindow(Handle());
  RefreshClutterGauge();
}

void CMainDialog::HideMainWindow() {
  visible_ = false;
  ShowWindow(Handle(), SW_HIDE);
}

void CMainDialog::OnTrayNotify(UINT mouseMessage) {
  if (mouseMessage == WM_LBUTTONDBLCLK) {
    ShowMainWindow();
  } else if (mouseMessage == WM_RBUTTONUP) {
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(Handle());
    TrackPopupMenu(GetSubMenu(trayMenu_.Get(), 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, Handle(),
                   nullptr);
    PostMessageA(Handle(), WM_NULL, 0, 0);  // lets the menu close when the user clicks elsewhere
  }
}

void CMainDialog::OnTraySaveReport() { SaveReportAs(*this, DatabasePathForProgram(programPath_)); }

void CMainDialog::ShowAbout() {
  Dialog about;
  about.DoModal(Instance(), IDD_ABOUTBOX, Handle());
}

// ---- Messages

bool CMainDialog::OnCommand(int id, int code) {
  static const CommandEntry<CMainDialog> commands[] = {
      {IDOK, BN_CLICKED, &CMainDialog::OnHide},
      {IDCANCEL, BN_CLICKED, &CMainDialog::OnEnd},
      {ID_TRAY_OPEN, BN_CLICKED, &CMainDialog::OnTrayOpen},
      {ID_TRAY_SAVE_REPORT, BN_CLICKED, &CMainDialog::OnTraySaveReport},
      {ID_TRAY_QUIT, BN_CLICKED, &CMainDialog::OnTrayQuit},
      {IDB_REGISTRY_CLEANUP, BN_CLICKED, &CMainDialog::OnRegistryCleanupButton},
      {IDB_LOG, BN_CLICKED, &CMainDialog::OnLog},
      {IDB_CLUTTER_METER, BN_CLICKED, &CMainDialog::OnClutterMeter},
      {IDB_UPDATE, BN_CLICKED, &CMainDialog::OnUpdate},
      {IDB_NET_WATCH, BN_CLICKED, &CMainDialog::OnNetWatch},
  };
  // Clicks, menu commands and accelerators; not the controls' other notifications.
  if (code != BN_CLICKED && code != 1) return false;
  RefreshClutterGauge();
  if (DispatchCommand(this, commands, id, code)) return true;
  if (code == BN_CLICKED)
    for (const auto& page : pages_)
      if (page->OnCommand(id)) return true;
  return false;
}

INT_PTR CMainDialog::OnNotify(const NMHDR& header) {
  if (header.idFrom == IDC_MAIN_TABS) {
    if (header.code == TCN_SELCHANGE) OnTabChanged(SelectedTab());
    return 0;
  }
  IPage* page = Selected();
  return page ? page->OnNotify(header) : 0;
}

void CMainDialog::OnTimer(UINT_PTR id) {
  if (id == TIMER_TRAY_ICON) {
    tray_.AddAgain();
    return;
  }
  for (const auto& page : pages_) page->OnTimer(id);
}

void CMainDialog::OnSize(UINT type, int, int) {
  if (type == SIZE_MINIMIZED) HideMainWindow();
  layout_.Apply();
  if (type != SIZE_MINIMIZED) FitPagesIntoTabs();
  if (IPage* page = Selected()) page->Placed(PageArea());
  RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CMainDialog::OnDestroy() {
  KillTimer(Handle(), TIMER_TRAY_ICON);
  tray_.Remove();
  workersStopped_ = workers_.StopAndWait();
  look_.Undress(Handle());
}

INT_PTR CMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = true;
  // Broadcast to every top-level window: by an installer, by a second start.
  if (message == QuitRequestMessage()) {
    OnTrayQuit();
    return TRUE;
  }
  if (message == ShowRequestMessage()) {
    if (started_) ShowMainWindow();
    return TRUE;
  }
  switch (message) {
    case WM_WINDOWPOSCHANGING:
      // The dialog manager shows a modal dialog on its own; the flag decides.
      if (!visible_) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
      handled = false;
      return 0;
    case WM_PAINT:
      ShowWindow(Handle(), visible_ ? SW_SHOW : SW_HIDE);
      handled = false;
      return 0;
    case WM_CLOSE: HideMainWindow(); return TRUE;
    case WM_SYSCOMMAND:
      handled = (wParam & 0xFFF0) == IDM_ABOUTBOX;
      if (handled) ShowAbout();
      return handled;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE && started_) RefreshClutterGauge();
      handled = false;
      return 0;
    case WM_DRAWITEM: handled = look_.DrawItem(lParam); return handled;
    case WM_CTLCOLORSTATIC:
      return ColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), handled);
    case WM_TRAY_NOTIFY: OnTrayNotify(LOWORD(lParam)); return TRUE;
    case WM_NOTIFIER_CLICKED:
      if (IPage* page = announcements_.Current()) page->OnNotifierClicked();
      // Seen: a popup that waits comes out now.
      if (announcements_.Waiting()) {
        notifier_.Hide();
        if (auto next = announcements_.Next()) ShowAnnouncement(*next);
      }
      return TRUE;
    case WM_NOTIFIER_GONE:
      if (auto next = announcements_.Next()) ShowAnnouncement(*next);
      return TRUE;
    default: break;
  }
  handled = false;
  if (message >= WM_USER && message < WM_APP)
    for (const auto& page : pages_)
      if (page->OnMessage(message)) handled = true;
  return handled ? TRUE : 0;
}

INT_PTR CMainDialog::ColorStatic(HDC dc, HWND control, bool& handled) const {
  handled = true;
  if (control == Item(IDC_CLUTTER_PERCENT)) {
    SetTextColor(dc, clutter_.color);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
  }
  if (control == Item(IDC_PRODUCTS_MESSAGE)) {  // a blank page, like the list
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
  }
  handled = false;
  return 0;
}

// ---- Navigation

void CMainDialog::SelectTab(int tab) {
  TabCtrl_SetCurSel(Item(IDC_MAIN_TABS), tab);
  OnTabChanged(tab);
}

void CMainDialog::ShowPage(const IPage& page) {
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i].get() == &page) SelectTab(static_cast<int>(i));
}

void CMainDialog::OnTabChanged(int tab) {
  IPage* page = Selected();
  if (!page) return;
  if (shownTab_ >= 0 && shownTab_ != tab) pages_[static_cast<size_t>(shownTab_)]->Hidden();
  shownTab_ = tab;
  // Whoever filled the tree or list before has lost it.
  treeLoan_.Cancel();
  listLoan_.Cancel();
  TabChange change = TabChangeFor(layouts_, static_cast<size_t>(tab));
  for (int id : LegendControls()) ShowControl(Handle(), id, change.legend);
  for (int id : change.shown) ShowControl(Handle(), id, true);
  for (int id : change.hidden) ShowControl(Handle(), id, false);
  if (change.treeCheckBoxes) {
    HWND tree = Tree();
    LONG_PTR style = GetWindowLongPtrA(tree, GWL_STYLE);
    style = *change.treeCheckBoxes ? (style | TVS_CHECKBOXES) : (style & ~static_cast<LONG_PTR>(TVS_CHECKBOXES));
    SetWindowLongPtrA(tree, GWL_STYLE, style);
  }
  page->Shown();
  SetStatus(page->StatusText());
  RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// ---- The window's own buttons

void CMainDialog::OnRegistryCleanupButton() {
  int answer = Prompt(Handle(), "Would you like to backup your registries first?", "Tidewell",
                      MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return;
  // The backup runs on a worker; the tools open once it has answered.
  auto openTools = [this] { ShowRegistryTools(*this); };
  if (answer == IDYES)
    FindPage<BackupPage>()->RunRegistryBackup(openTools);
  else
    openTools();
}

void CMainDialog::OnLog() { ShowLog(Handle(), database_); }

void CMainDialog::OnUpdate() { StartSkylarkBeside(Handle(), programPath_); }

void CMainDialog::OnClutterMeter() {
  ShowClutterMeter(*this);
  RefreshClutterGauge();
}

void CMainDialog::OnNetWatch() {
  if (traffic_) traffic_->Show();
}

void CMainDialog::SetUpNotifier() {
  notifier_.Create(Handle());
  notifier_.SetSkin(IDBMP_NOTIFIER_SKIN, 0, 0, 255);
  notifier_.SetTextFont("Arial", 90, 1, 4);
  notifier_.SetTextColor(RGB(0, 0, 0), RGB(0, 0, 200));
  SIZE skin = notifier_.SkinSize();
  notifier_.SetTextRect({10, 50, skin.cx - 10, skin.cy - 5});
}

void CMainDialog::Announce(IPage& page, const std::string& text) {
  // Out from Show on, before its first step moves it.
  bool showing = IsWindowVisible(notifier_.Handle()) != FALSE;
  if (auto now = announcements_.Offer(page, text, showing)) ShowAnnouncement(*now);
}

void CMainDialog::ShowAnnouncement(const Announcement& announcement) {
  notifier_.Show(announcement.text, 300, 500000, 500, 1);
  SetWindowPos(notifier_.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

}  // namespace tidewell
