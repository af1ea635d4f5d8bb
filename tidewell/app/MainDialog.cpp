
#include "tidewell/app/MainDialog.h"

#include <shellapi.h>
#include <windowsx.h>

#include "resources/resource.h"
#include "shared/net/ServerHosts.h"
#include "shared/win/AppFolder.h"
#include "shared/win/Prompt.h"
#include "tidewell/app/LogDialog.h"
#include "tidewell/app/MainWindowRules.h"
#include "tidewell/shell/Messages.h"
#include "shared/win/ListView.h"
#include "tidewell/app/DatabaseBesideProgram.h"
#include "tidewell/app/SkylarkStart.h"
#include "tidewell/backup/BackupList.h"
#include "tidewell/cleanup/ClutterMeterDlg.h"
#include "tidewell/spyware/SpywareScanner.h"
#include "tidewell/regclean/RegistryToolsDlg.h"
#include "tidewell/startup/StartupList.h"
#include "tidewell/traffic/NetWatchDialog.h"

namespace tidewell {

namespace {

constexpr UINT kTrayIconId = 100;
constexpr int kImageListRoom = 33, kImageListGrowth = 4;

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

HICON LoadSmallIcon(int id) {
  return static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
}

UniqueIcon LoadIconSized(int id, int size) {
  return UniqueIcon(static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
}

HIMAGELIST MakeImageList(std::initializer_list<int> icons) {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, kImageListRoom, kImageListGrowth);
  for (int id : icons) {
    UniqueIcon icon(LoadSmallIcon(id));
    ImageList_AddIcon(list, icon.Get());  // the list keeps its own copy
  }
  return list;
}

void ShowControl(HWND dialog, int id, bool show) { ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE); }

struct SkinButtonSetting {
  int button;
  int bitmap;
  COLORREF transparent;
};
constexpr COLORREF kWhite = RGB(255, 255, 255), kMagenta = RGB(255, 0, 255);
constexpr SkinButtonSetting kSkinButtons[] = {
    {IDB_CLUTTER_METER, IDBMP_CLUTTER_METER, kWhite},
    {IDB_UPDATE, IDBMP_UPDATE, kWhite},
    {IDB_SPYWARE_SCAN, IDBMP_SPYWARE_SCAN, kWhite},
    {IDB_BACKUP_RESTORE, IDBMP_RESTORE, kWhite},
    {IDB_BACKUP_DELETE, IDBMP_DELETE, kWhite},
    {IDB_STARTUP_DELETE, IDBMP_DELETE, kWhite},
    {IDB_STARTUP_DISABLE, IDBMP_DISABLE, kMagenta},
    {IDB_SCAN_BHOS, IDBMP_SCAN_BHOS, kMagenta},
    {IDB_STOP_SCAN, IDBMP_STOP_SCAN, kMagenta},
    {IDB_LIST_BHOS, IDBMP_LIST_BHOS, kMagenta},
    {IDB_REGISTRY_CLEANUP, IDBMP_REGISTRY_CLEANUP, kMagenta},
    {IDB_REGISTRY_BACKUP, IDBMP_REGISTRY_BACKUP, kWhite},
    {IDB_LOG, IDBMP_LOG, RGB(250, 250, 250)},
    {IDB_NET_WATCH, IDBMP_NET_WATCH, kWhite},
};

}  // namespace

CMainDialog::CMainDialog(std::string programPath) : programPath_(std::move(programPath)) {}

CMainDialog::~CMainDialog() = default;

HWND CMainDialog::Tree() const { return Item(IDC_BHO_TREE); }
HWND CMainDialog::List() const { return Item(IDC_SHARED_LIST); }
HWND CMainDialog::StatusLine() const { return Item(IDC_STATUS_LINE); }
int CMainDialog::SelectedTab() const { return TabCtrl_GetCurSel(Item(IDC_MAIN_TABS)); }
void CMainDialog::SetStatus(const std::string& text) { SetDlgItemTextA(Handle(), IDC_STATUS_LINE, text.c_str()); }

bool CMainDialog::OnInit() {
  layout_.Bind(Handle());
  AddAboutItem();
  bigIcon_ = LoadIconSized(IDI_MAINFRAME, GetSystemMetrics(SM_CXICON));
  smallIcon_ = LoadIconSized(IDI_MAINFRAME, GetSystemMetrics(SM_CXSMICON));
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
  SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

  auto connection = OpenDatabaseBesideProgram(database_, programPath_, nullptr);
  if (!connection) {
    End(0);  // ends before the window is ever shown; the program exits with 0
    return false;
  }
  connection_ = *connection;
  started_ = true;

  CreateImageLists();
  SetUpTabsAndList();
  FitPagesIntoTabs();
  layout_.Bind(Handle());  // again, so it knows the fitted places
  tray_.Add(Handle(), kTrayIconId, WM_TRAY_NOTIFY, smallIcon_.Get(), "Tidewell");
  trayMenu_.Reset(LoadMenuA(Instance(), MAKEINTRESOURCEA(IDM_TRAY)));
  listMenu_.Reset(LoadMenuA(Instance(), MAKEINTRESOURCEA(IDM_STARTUP_LIST)));
  treeMenu_.Reset(LoadMenuA(Instance(), MAKEINTRESOURCEA(IDM_BHO_TREE)));
  SetUpNotifier();
  SetTimer(Handle(), TIMER_TRAY_ICON, 2000, nullptr);
  SetTimer(Handle(), TIMER_AUTO_REFRESH, 5000, nullptr);
  PostMessageA(Handle(), WM_START_KEY_WATCH, 0, 0);
  PostMessageA(Handle(), WM_REFRESH_BHOS, 0, 0);

  GetWindowRect(Item(IDC_BROWSER), &browserRect_);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&browserRect_), 2);
  products_.Bind(Handle(), Item(IDC_BROWSER), Item(IDC_PRODUCTS_MESSAGE));
  HideBrowser();

  SetUpSkinButtons();
  SetUpLegend();
  SetUpGauge();
  RefreshClutterGauge();
  SetUpAnchors();
  SetUpTrafficWatch();
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

void CMainDialog::CreateImageLists() {
  treeImages_.Reset(MakeImageList({IDI_RISK_NONE, IDI_RISK_HIGH, IDI_RISK_MEDIUM, IDI_RISK_UNKNOWN,
                                   IDI_LINKED_PROCESS, IDI_SCAN_MY_PC, IDI_MY_COMPUTER, IDI_FOLDER, IDI_REGISTRY,
                                   IDI_MEMORY, IDI_DRIVE, IDI_COOKIES}));
  tabImages_.Reset(MakeImageList({IDI_RISK_NONE, IDI_SCAN_MY_PC, IDI_REGISTRY, IDI_STARTUP, IDI_PRODUCTS}));
  listImages_.Reset(MakeImageList({IDI_REGISTRY, IDI_STARTUP}));
  TreeView_SetImageList(Tree(), treeImages_.Get(), TVSIL_NORMAL);
  TabCtrl_SetImageList(Item(IDC_MAIN_TABS), tabImages_.Get());
  ListView_SetImageList(List(), listImages_.Get(), LVSIL_SMALL);
}

void CMainDialog::SetUpTabsAndList() {
  static const char* const tabs[] = {"BHO manager", "Spyware Scanner", "Backup manager", "Startup manager",
                                     "Products"};
  HWND tabControl = Item(IDC_MAIN_TABS);
  for (int i = 0; i < kTabCount; ++i) {
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = const_cast<char*>(tabs[i]);
    item.iImage = i;
    SendMessageA(tabControl, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP |
                                                LVS_EX_HEADERDRAGDROP);
  SetListColumns(List(), {{"Bakup name", 320}, {"Bakup size", 90}});
}

void CMainDialog::FitPagesIntoTabs() {
  // The tab rows' height depends on the font, the icons and the width (a
  // wide window needs one row, a narrow one two); the pages fill what is left.
  HWND tabs = Item(IDC_MAIN_TABS);
  RECT area{};
  GetWindowRect(tabs, &area);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&area), 2);
  TabCtrl_AdjustRect(tabs, FALSE, &area);
  InflateRect(&area, -2, -2);
  for (int id : {IDC_BHO_TREE, IDC_SHARED_LIST, IDC_BROWSER, IDC_PRODUCTS_MESSAGE})
    SetWindowPos(Item(id), nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDialog::SetUpSkinButtons() {
  skinButtons_.clear();
  skinButtons_.reserve(std::size(kSkinButtons));
  for (const SkinButtonSetting& setting : kSkinButtons) {
    skinButtons_.emplace_back();
    skinButtons_.back().Configure(Item(setting.button), setting.bitmap, setting.transparent, kSkinButtonTextColor,
                                  kSkinButtonStyle);
  }
}

void CMainDialog::SetUpLegend() {
  const struct {
    int control, icon;
  } legend[] = {{IDC_LEGEND_NONE_ICON, IDI_RISK_NONE},
                {IDC_LEGEND_MEDIUM_ICON, IDI_RISK_MEDIUM},
                {IDC_LEGEND_HIGH_ICON, IDI_RISK_HIGH},
                {IDC_LEGEND_UNKNOWN_ICON, IDI_RISK_UNKNOWN}};
  legendIcons_.clear();
  for (const auto& entry : legend) {
    legendIcons_.emplace_back(LoadSmallIcon(entry.icon));
    SendDlgItemMessageA(Handle(), entry.control, STM_SETICON, reinterpret_cast<WPARAM>(legendIcons_.back().Get()), 0);
  }
}

void CMainDialog::SetUpGauge() {
  gaugeFont_.Reset(CreateFontA(0, 0, 0, 0, 20, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, ""));
  SendDlgItemMessageA(Handle(), IDC_CLUTTER_PERCENT, WM_SETFONT, reinterpret_cast<WPARAM>(gaugeFont_.Get()), FALSE);
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

void CMainDialog::OnTrayQuit() { PostQuitMessage(0); }

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
      {ID_TRAY_QUIT, BN_CLICKED, &CMainDialog::OnTrayQuit},
      {ID_UNINSTALL_BHO, BN_CLICKED, &CMainDialog::OnUninstallBho},
      {ID_BHO_INFORMATION, BN_CLICKED, &CMainDialog::OnBhoInformation},
      {ID_SUBMIT_INFORMATION, BN_CLICKED, &CMainDialog::OnSubmitInformation},
      {IDB_LIST_BHOS, BN_CLICKED, &CMainDialog::OnListBhos},
      {IDB_SCAN_BHOS, BN_CLICKED, &CMainDialog::OnScanBhos},
      {IDB_STOP_SCAN, BN_CLICKED, &CMainDialog::OnStopScan},
      {IDB_REGISTRY_BACKUP, BN_CLICKED, &CMainDialog::OnRegistryBackup},
      {IDB_REGISTRY_RESTORE, BN_CLICKED, &CMainDialog::OnRegistryRestore},
      {IDB_REGISTRY_CLEANUP, BN_CLICKED, &CMainDialog::OnRegistryCleanupButton},
      {IDB_LOG, BN_CLICKED, &CMainDialog::OnLog},
      {IDB_CLUTTER_METER, BN_CLICKED, &CMainDialog::OnClutterMeter},
      {IDB_UPDATE, BN_CLICKED, &CMainDialog::OnUpdate},
      {IDB_NET_WATCH, BN_CLICKED, &CMainDialog::OnNetWatch},
      {IDB_SPYWARE_SCAN, BN_CLICKED, &CMainDialog::OnSpywareScan},
      {IDB_BACKUP_RESTORE, BN_CLICKED, &CMainDialog::OnBackupRestore},
      {IDB_BACKUP_DELETE, BN_CLICKED, &CMainDialog::OnBackupDelete},
      {IDB_STARTUP_DISABLE, BN_CLICKED, &CMainDialog::OnStartupDisable},
      {IDB_STARTUP_DELETE, BN_CLICKED, &CMainDialog::OnStartupDelete},
  };
  // Clicks, menu commands and accelerators; not the controls' other notifications.
  if (code == 0 || code == 1) RefreshClutterGauge();
  return DispatchCommand(this, commands, id, code);
}

INT_PTR CMainDialog::OnNotify(const NMHDR& header) {
  switch (header.idFrom) {
    case IDC_MAIN_TABS:
      if (header.code == TCN_SELCHANGE) OnTabChanged(SelectedTab());
      return 0;
    case IDC_BHO_TREE:
      if (header.code == NM_RCLICK) {
        OnTreeRightClick();
        return 1;
      }
      return OnScanTreeNotify(header);
    case IDC_SHARED_LIST:
      return OnListNotify(header);
    case IDC_BROWSER:
      if (header.code == NM_DBLCLK || header.code == LVN_ITEMACTIVATE) OnProductChosen();
      return 0;
    default:
      return 0;
  }
}

void CMainDialog::OnTimer(UINT_PTR id) {
  if (id == TIMER_TRAY_ICON) {
    tray_.AddAgain();
  } else if (id == TIMER_AUTO_REFRESH) {
    // The tree holds BHOs only on the first tab; a deep scan fills it itself.
    if ((Button_GetCheck(Item(IDC_AUTO_REFRESH)) & 3) && SelectedTab() == kTabBhoManager && !bhos_.Scanning()) {
      TreeView_DeleteAllItems(Tree());
      PostMessageA(Handle(), WM_REFRESH_BHOS, 0, 0);
    }
  }
}

void CMainDialog::OnSize(UINT type, int, int) {
  if (type == SIZE_MINIMIZED) HideMainWindow();
  layout_.Apply();
  if (type != SIZE_MINIMIZED) FitPagesIntoTabs();
  if (SelectedTab() != kTabProducts)
    HideBrowser();
  else
    products_.Place(ListRect());
  RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CMainDialog::OnDestroy() {
  KillTimer(Handle(), TIMER_TRAY_ICON);
  KillTimer(Handle(), TIMER_AUTO_REFRESH);
  tray_.Remove();
  workersStopped_ = workers_.StopAndWait();
  TreeView_SetImageList(Tree(), nullptr, TVSIL_NORMAL);
  TabCtrl_SetImageList(Item(IDC_MAIN_TABS), nullptr);
  ListView_SetImageList(List(), nullptr, LVSIL_SMALL);
  treeImages_.Reset();
  tabImages_.Reset();
  listImages_.Reset();
}

INT_PTR CMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_WINDOWPOSCHANGING:
      // The dialog manager shows a modal dialog on its own; the flag decides.
      if (!visible_) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
      return 0;
    case WM_PAINT:
      ShowWindow(Handle(), visible_ ? SW_SHOW : SW_HIDE);
      return 0;
    case WM_CLOSE:
      HideMainWindow();
      handled = true;
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAbout();
        handled = true;
        return TRUE;
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE && started_) RefreshClutterGauge();
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      for (const CSkinButton& button : skinButtons_) {
        if (button.Handle() == item.hwndItem) {
          button.Draw(item);
          handled = true;
          return TRUE;
        }
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == Item(IDC_CLUTTER_PERCENT)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, clutter_.color);
        SetBkMode(dc, TRANSPARENT);
        handled = true;
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      if (reinterpret_cast<HWND>(lParam) == Item(IDC_PRODUCTS_MESSAGE)) {  // a blank page, like the list
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        handled = true;
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
      }
      return 0;
    default:
      break;
  }
  if (message == WM_TRAY_NOTIFY) {
    OnTrayNotify(LOWORD(lParam));
    handled = true;
  } else if (message == WM_REFRESH_BHOS) {
    OnRefreshBhos();
    handled = true;
  } else if (message == WM_START_KEY_WATCH) {
    OnStartKeyWatch();
    handled = true;
  } else if (message == WM_NOTIFIER_CLICKED) {
    OnNotifierClicked();
    handled = true;
  }
  return handled ? TRUE : 0;
}

// ---- Navigation

void CMainDialog::SelectTab(int tab) {
  TabCtrl_SetCurSel(Item(IDC_MAIN_TABS), tab);
  OnTabChanged(tab);
}

void CMainDialog::OnTabChanged(int tab) {
  TabChange change = TabChangeFor(tab);
  for (int id : LegendControls()) ShowControl(Handle(), id, change.legend);
  for (int id : change.shown)
    if (id != IDC_BROWSER) ShowControl(Handle(), id, true);
  for (int id : change.hidden) {
    if (id == IDC_BROWSER)
      HideBrowser();
    else
      ShowControl(Handle(), id, false);
  }
  if (change.treeCheckBoxes) {
    HWND tree = Tree();
    LONG_PTR style = GetWindowLongPtrA(tree, GWL_STYLE);
    style = *change.treeCheckBoxes ? (style | TVS_CHECKBOXES) : (style & ~static_cast<LONG_PTR>(TVS_CHECKBOXES));
    SetWindowLongPtrA(tree, GWL_STYLE, style);
  }
  switch (tab) {
    case kTabBhoManager: PostMessageA(Handle(), WM_REFRESH_BHOS, 0, 0); break;
    case kTabSpywareScanner: FillScanLocations(); break;
    case kTabBackupManager:
      FillBackupTab();
      SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
      RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
      break;
    case kTabStartupManager: FillStartupTab(); break;
    case kTabProducts: products_.Navigate(ProductSiteHost(), ListRect()); break;
    default: break;
  }
}

void CMainDialog::HideBrowser() { products_.Hide(); }

RECT CMainDialog::ListRect() const {
  RECT rect{};
  GetWindowRect(List(), &rect);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void CMainDialog::OnTreeRightClick() {
  POINT cursor{};
  GetCursorPos(&cursor);
  if (!PrepareTreeMenu(Tree(), SelectedTab(), cursor)) return;
  TrackPopupMenu(GetSubMenu(treeMenu_.Get(), 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, Handle(),
                 nullptr);
}

// ---- The window's own buttons

void CMainDialog::OnListBhos() {
  SelectTab(kTabBhoManager);
  PostMessageA(Handle(), WM_REFRESH_BHOS, 0, 0);
}

void CMainDialog::OnRegistryCleanupButton() {
  int answer = Prompt(Handle(), "Would you like to backup your registries first?", "Tidewell",
                      MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return;
  // The backup runs on a worker; the tools open once it has answered.
  if (answer == IDYES)
    RunRegistryBackup(*this, [this] { OnRegistryCleanup(); });
  else
    OnRegistryCleanup();
}

void CMainDialog::OnLog() { ShowLog(Handle(), database_); }

void CMainDialog::OnUpdate() { StartSkylarkBeside(Handle(), programPath_); }

// ---- Feature handlers; each feature fills its own.

void CMainDialog::OnRefreshBhos() { bhos_.StartListing(); }
void CMainDialog::OnStartKeyWatch() { bhos_.StartKeyWatch(); }
void CMainDialog::OnScanBhos() { bhos_.StartDeepScan(); }
void CMainDialog::OnStopScan() { bhos_.StopDeepScan(); }
void CMainDialog::OnUninstallBho() { bhos_.UninstallSelectedBho(); }
void CMainDialog::OnBhoInformation() { bhos_.ShowSelectedBhoInfo(); }
void CMainDialog::OnNotifierClicked() { bhos_.ShowNotifiedBhoInfo(); }
void CMainDialog::SetUpNotifier() {
  notifier_.Create(Handle());
  notifier_.SetSkin(IDBMP_NOTIFIER_SKIN, 0, 0, 255);
  notifier_.SetTextFont("Arial", 90, 1, 4);
  notifier_.SetTextColor(RGB(0, 0, 0), RGB(0, 0, 200));
  SIZE skin = notifier_.SkinSize();
  notifier_.SetTextRect({10, 50, skin.cx - 10, skin.cy - 5});
  bhos_.Attach([this] { SelectTab(kTabBhoManager); }, [this](const std::string& name) {
    notifier_.Show(name, 300, 500000, 500, 1);
    SetWindowPos(notifier_.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  });
}
void CMainDialog::OnRegistryBackup() { RunRegistryBackup(*this); }
void CMainDialog::OnRegistryRestore() { ShowRestoreManager(*this); }
void CMainDialog::OnRegistryCleanup() { ShowRegistryTools(*this); }
void CMainDialog::OnBackupRestore() { RestoreFromBackupTab(*this); }
void CMainDialog::OnBackupDelete() { DeleteFromBackupTab(*this); }
void CMainDialog::FillBackupTab() { tidewell::FillBackupTab(*this); }
void CMainDialog::FillStartupTab() { FillStartupList(List()); }
void CMainDialog::OnStartupDisable() { DisableSelectedStartupEntry(database_, GetAppFolder(), List(), Handle()); }
void CMainDialog::OnStartupDelete() { DeleteSelectedStartupEntry(List(), Handle()); }
void CMainDialog::OnSubmitInformation() { SubmitStartupInfo(List(), Handle(), ProductSiteHost(), workers_); }
INT_PTR CMainDialog::OnListNotify(const NMHDR& header) {
  if (SelectedTab() != kTabStartupManager) return 0;
  return OnStartupListNotify(database_, List(), Handle(), GetSubMenu(listMenu_.Get(), 0), header);
}
void CMainDialog::FillScanLocations() { tidewell::FillScanLocations(*this); }
INT_PTR CMainDialog::OnScanTreeNotify(const NMHDR& header) { return tidewell::OnScanTreeNotify(*this, header); }
void CMainDialog::OnSpywareScan() { StartSpywareScan(*this); }
void CMainDialog::OnClutterMeter() {
  ShowClutterMeter(*this);
  RefreshClutterGauge();
}
void CMainDialog::OnNetWatch() { if (traffic_) traffic_->Show(); }
void CMainDialog::SetUpTrafficWatch() { traffic_ = TrafficWatch::Create(Handle()); }

}  // namespace tidewell
