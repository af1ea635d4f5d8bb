#include "tidewell/addons/AddonsPage.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>

#include "resources/resource.h"
#include "tidewell/addons/AddonSources.h"
#include "shared/win/AppFolder.h"
#include "shared/win/Handles.h"
#include "shared/win/ListView.h"
#include "shared/win/Prompt.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/RemovalService.h"

namespace tidewell {
namespace {

constexpr const char* kCaption = "Tidewell";

bool SamePlace(const BrowserAddon& a, const BrowserAddon& b) {
  return a.source == b.source && a.id == b.id && a.key.hive == b.key.hive && a.key.ExactView() == b.key.ExactView() &&
         SameNameIgnoringCase(a.key.path, b.key.path);
}

int AddIcon(HIMAGELIST images, int icon) {
  if (!images) return -1;
  UniqueIcon loaded(static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
  return loaded ? ImageList_AddIcon(images, loaded.Get()) : -1;  // the list keeps its own copy
}

}  // namespace

std::string AddonStatusText(const AddonListing& listing) {
  size_t policy = 0, outside = 0, disabled = 0;
  for (const BrowserAddon& addon : listing.addons) {
    policy += addon.origin == AddonOrigin::Policy;
    outside += addon.origin == AddonOrigin::Outside;
    disabled += addon.state == AddonState::Disabled;
  }
  std::string text = std::to_string(listing.addons.size()) + (listing.addons.size() == 1 ? " add-on" : " add-ons") +
                     ": " + std::to_string(policy) + " forced by policy, " + std::to_string(outside) +
                     " from outside, " + std::to_string(disabled) + " disabled";
  for (const std::string& note : listing.notes) text += "; " + note;
  return text;
}

std::string ReturnedPoliciesText(const AddonListing& listing, const std::vector<RemovedPolicy>& removed) {
  std::string text;
  for (const BrowserAddon& back : listing.addons)
    for (const auto& [gone, at] : removed)
      if (SamePlace(back, gone) && !RestoredSince(back.key, back.valueName, at))
        text += "; " + back.name + " is back: a domain policy or another program wrote it again";
  return text;
}

PageLayout AddonsPage::Layout() const {
  return {.title = "Browser add-ons",
          .tabIcon = IDI_BROWSER_ADDONS,
          .view = PageView::List,
          .buttons = {{IDB_ADDONS_REMOVE, IDBMP_DELETE}}};
}

void AddonsPage::Attach() {
  // The shared list's images are the window's; the risk images join them once.
  HIMAGELIST images = ListView_GetImageList(main_.List(), LVSIL_SMALL);
  highRiskImage_ = AddIcon(images, IDI_RISK_HIGH);
  unknownImage_ = AddIcon(images, IDI_RISK_UNKNOWN);
}

void AddonsPage::Shown() {
  shown_ = true;
  Refresh();
}

void AddonsPage::Refresh() {
  WindowReach reach = main_.BorrowList();
  HWND list = main_.List();
  ListView_DeleteAllItems(list);
  SetListColumns(list, {{"Browser", 110}, {"Profile", 65}, {"Name", 120}, {"Id", 90}, {"Version", 50},
                        {"State", 55}, {"Origin", 140}});
  status_ = "Listing browser add-ons...";
  main_.Workers().Start([this, reach, places = places_](const StopToken& stop) {
    auto listing = std::make_shared<AddonListing>(ListBrowserAddons(places, stop));
    if (!stop.StopRequested()) reach.Post([this, listing] { Fill(std::move(*listing)); });
  });
}

void AddonsPage::Fill(AddonListing listing) {
  listing_ = std::move(listing);
  HWND list = main_.List();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (size_t i = 0; i < listing_.addons.size(); ++i) {
    const BrowserAddon& addon = listing_.addons[i];
    AddonMark mark = AddonMarkOf(addon.origin, addon.state);
    int image = mark == AddonMark::HighRisk ? highRiskImage_ : mark == AddonMark::Unknown ? unknownImage_ : -1;
    int row = AppendListRow(list,
                            {addon.browser, addon.profile, addon.name, addon.id, addon.version,
                             AddonStateText(addon.state), AddonOriginText(addon.origin)},
                            image, static_cast<LPARAM>(i));
    if (row >= 0 && image < 0) {
      // Without this the list draws its first image, the window's own.
      LVITEMA none{};
      none.mask = LVIF_IMAGE;
      none.iItem = row;
      none.iImage = I_IMAGENONE;
      ListView_SetItem(list, &none);
    }
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  status_ = AddonStatusText(listing_);
  status_ += ReturnedPoliciesText(listing_, removedPolicies_);
  main_.SetStatus(status_);
}

bool AddonsPage::OnCommand(int id) {
  if (id != IDB_ADDONS_REMOVE) return false;
  RemoveSelected();
  return true;
}

void AddonsPage::RemoveSelected() {
  HWND owner = main_.Window();
  const BrowserAddon* selected = SelectedAddon();
  if (!selected) {
    Prompt(owner, "Select the add-on to remove.", kCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  BrowserAddon addon = *selected;
  std::string named = "\"" + addon.name + "\"";
  switch (RemovalWayOf(addon)) {
    case AddonRemovalWay::Browser:
      if (Prompt(owner,
                 named + " is kept by " + addon.browser + " itself: only " + addon.browser +
                     " can remove it.\n\nOpen " + addon.browser + "'s extensions page?",
                 kCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES &&
          !OpenExtensionsPage(addon))
        Prompt(owner, addon.browser + " could not be started.", kCaption, MB_OK | MB_ICONERROR);
      return;
    case AddonRemovalWay::PolicyFile:
      Prompt(owner, named + " is set in " + addon.addonFile + ". Tidewell does not change that file: remove it there.",
             kCaption, MB_OK | MB_ICONINFORMATION);
      return;
    case AddonRemovalWay::ProfileFile:
      if (IsProgramRunning(addon.processName)) {
        Prompt(owner, "Close " + addon.browser + " first: Tidewell never changes a browser's files while it runs.",
               kCaption, MB_OK | MB_ICONINFORMATION);
        return;
      }
      break;
    case AddonRemovalWay::Registry: break;
  }
  if (Prompt(owner,
             "Remove the add-on " + named + " from " + addon.browser +
                 "?\n\nTidewell keeps a backup: the Backup manager can restore it.",
             kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  main_.SetStatus("Removing " + named + "...");
  main_.Workers().Start(
      [this, reach = main_.Reach(), &database = main_.Database(), folder = GetAppFolder(), addon](const StopToken&) {
        AddonRemovalOutcome outcome = RemoveBrowserAddon(database, folder, addon);
        reach.Post([this, addon, outcome] { Removed(addon, outcome); });
      });
}

void AddonsPage::Removed(const BrowserAddon& addon, const AddonRemovalOutcome& outcome) {
  std::string named = "\"" + addon.name + "\"";
  if (!outcome.gone)
    Prompt(main_.Window(), named + " could not be removed: " + outcome.reason + ".", kCaption, MB_OK | MB_ICONERROR);
  else if (!outcome.reason.empty())
    Prompt(main_.Window(), named + " was removed, but " + outcome.reason + ".", kCaption, MB_OK | MB_ICONWARNING);
  if (outcome.gone && addon.origin == AddonOrigin::Policy) removedPolicies_.push_back({addon, GetTickCount64()});
  if (shown_) Refresh();
}

const BrowserAddon* AddonsPage::SelectedAddon() const {
  int row = SelectedListRow(main_.List());
  std::optional<LPARAM> data = row < 0 ? std::nullopt : ListItemData(main_.List(), row);
  if (!data || *data < 0 || static_cast<size_t>(*data) >= listing_.addons.size()) return nullptr;
  return &listing_.addons[static_cast<size_t>(*data)];
}

INT_PTR AddonsPage::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != main_.List() || header.code != NM_DBLCLK) return 0;
  const BrowserAddon* addon = SelectedAddon();
  // Only a folder that is there: a recorded path never starts a program.
  if (!addon || addon->folder.empty() || !IsFolder(addon->folder)) return 0;
  ShellExecuteW(main_.Window(), L"open", WideFromUtf8(addon->folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return 1;
}

}  // namespace tidewell
