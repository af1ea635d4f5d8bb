#include "tidewell/app/MainWindowLook.h"

#include <initializer_list>

#include "resources/resource.h"

namespace tidewell {

namespace {

constexpr int kImageListRoom = 33, kImageListGrowth = 4;

UniqueIcon LoadIconSized(int id, int size) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
}

HIMAGELIST MakeImageList(std::initializer_list<int> icons) {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, kImageListRoom, kImageListGrowth);
  for (int id : icons) ImageList_AddIcon(list, LoadIconSized(id, 16).Get());  // the list keeps its own copy
  return list;
}

// The window's own column; the pages bring theirs.
constexpr COLORREF kWhite = RGB(255, 255, 255), kMagenta = RGB(255, 0, 255);
constexpr SkinButtonSkin kSkinButtons[] = {
    {IDB_CLUTTER_METER, IDBMP_CLUTTER_METER, kWhite},
    {IDB_UPDATE, IDBMP_UPDATE, kWhite},
    {IDB_SCAN_BHOS, IDBMP_SCAN_BHOS, kMagenta},
    {IDB_STOP_SCAN, IDBMP_STOP_SCAN, kMagenta},
    {IDB_LIST_BHOS, IDBMP_LIST_BHOS, kMagenta},
    {IDB_REGISTRY_CLEANUP, IDBMP_REGISTRY_CLEANUP, kMagenta},
    {IDB_REGISTRY_BACKUP, IDBMP_REGISTRY_BACKUP, kWhite},
    {IDB_LOG, IDBMP_LOG, RGB(250, 250, 250)},
    {IDB_NET_WATCH, IDBMP_NET_WATCH, kWhite},
};

}  // namespace

void MainWindowLook::Dress(HWND dialog, const std::vector<PageLayout>& pages) {
  bigIcon_ = LoadIconSized(IDI_MAINFRAME, GetSystemMetrics(SM_CXICON));
  smallIcon_ = LoadIconSized(IDI_MAINFRAME, GetSystemMetrics(SM_CXSMICON));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

  treeImages_.Reset(MakeImageList({IDI_RISK_NONE, IDI_RISK_HIGH, IDI_RISK_MEDIUM, IDI_RISK_UNKNOWN,
                                   IDI_LINKED_PROCESS, IDI_SCAN_MY_PC, IDI_MY_COMPUTER, IDI_FOLDER, IDI_REGISTRY,
                                   IDI_MEMORY, IDI_DRIVE, IDI_COOKIES}));
  listImages_.Reset(MakeImageList({IDI_REGISTRY, IDI_STARTUP}));
  TreeView_SetImageList(GetDlgItem(dialog, IDC_BHO_TREE), treeImages_.Get(), TVSIL_NORMAL);
  ListView_SetImageList(GetDlgItem(dialog, IDC_SHARED_LIST), listImages_.Get(), LVSIL_SMALL);
  SetUpTabs(dialog, pages);
  SetUpSkinButtons(dialog, pages);
  SetUpLegend(dialog);
  gaugeFont_.Reset(CreateFontA(0, 0, 0, 0, 20, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, ""));
  SendDlgItemMessageA(dialog, IDC_CLUTTER_PERCENT, WM_SETFONT, reinterpret_cast<WPARAM>(gaugeFont_.Get()), FALSE);
}

void MainWindowLook::SetUpTabs(HWND dialog, const std::vector<PageLayout>& pages) {
  HWND tabs = GetDlgItem(dialog, IDC_MAIN_TABS);
  tabImages_.Reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, kImageListRoom, kImageListGrowth));
  TabCtrl_SetImageList(tabs, tabImages_.Get());
  for (size_t i = 0; i < pages.size(); ++i) {
    ImageList_AddIcon(tabImages_.Get(), LoadIconSized(pages[i].tabIcon, 16).Get());
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = const_cast<char*>(pages[i].title);
    item.iImage = static_cast<int>(i);
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
}

void MainWindowLook::SetUpSkinButtons(HWND dialog, const std::vector<PageLayout>& pages) {
  std::vector<SkinButtonSkin> skins(std::begin(kSkinButtons), std::end(kSkinButtons));
  for (const PageLayout& page : pages) skins.insert(skins.end(), page.buttons.begin(), page.buttons.end());
  skinButtons_.clear();
  skinButtons_.reserve(skins.size());
  for (const SkinButtonSkin& skin : skins) {
    skinButtons_.emplace_back();
    skinButtons_.back().Configure(GetDlgItem(dialog, skin.button), skin.bitmap, skin.transparent,
                                  kSkinButtonTextColor, kSkinButtonStyle);
  }
}

void MainWindowLook::SetUpLegend(HWND dialog) {
  const struct {
    int control, icon;
  } legend[] = {{IDC_LEGEND_NONE_ICON, IDI_RISK_NONE},
                {IDC_LEGEND_MEDIUM_ICON, IDI_RISK_MEDIUM},
                {IDC_LEGEND_HIGH_ICON, IDI_RISK_HIGH},
                {IDC_LEGEND_UNKNOWN_ICON, IDI_RISK_UNKNOWN}};
  legendIcons_.clear();
  for (const auto& entry : legend) {
    legendIcons_.push_back(LoadIconSized(entry.icon, 16));
    SendDlgItemMessageA(dialog, entry.control, STM_SETICON, reinterpret_cast<WPARAM>(legendIcons_.back().Get()), 0);
  }
}

bool MainWindowLook::DrawItem(LPARAM item) const { return DrawSkinButtonItem(skinButtons_, item); }

void MainWindowLook::Undress(HWND dialog) {
  TreeView_SetImageList(GetDlgItem(dialog, IDC_BHO_TREE), nullptr, TVSIL_NORMAL);
  TabCtrl_SetImageList(GetDlgItem(dialog, IDC_MAIN_TABS), nullptr);
  ListView_SetImageList(GetDlgItem(dialog, IDC_SHARED_LIST), nullptr, LVSIL_SMALL);
  treeImages_.Reset();
  tabImages_.Reset();
  listImages_.Reset();
}

}  // namespace tidewell
