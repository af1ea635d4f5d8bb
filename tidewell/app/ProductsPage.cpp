#include "tidewell/app/ProductsPage.h"

#include <commctrl.h>
#include <shellapi.h>

#include "shared/net/HttpResponse.h"
#include "shared/win/ListView.h"
#include "resources/resource.h"
#include "shared/net/ServerHosts.h"

namespace tidewell {

namespace {

void SetColumns(HWND list) {
  SetListColumns(list, {{"Link", 200}, {"Address", 300}});
}

}  // namespace

std::string UnreachableSiteMessage(const std::string& host) {
  return "The product web site (" + host + ") cannot be reached.";
}

std::string ProductPageUrl(const std::string& host) { return "http://" + host + kProductLinksPath; }

CProductsPage::~CProductsPage() { loadRequest_.Cancel(); }

PageLayout CProductsPage::Layout() const {
  return {.title = "Products", .tabIcon = IDI_PRODUCTS, .view = PageView::Browser};
}

void CProductsPage::Attach() {
  Bind(main_->Window(), main_->Button(IDC_BROWSER), main_->Button(IDC_PRODUCTS_MESSAGE));
  window_ = main_->Reach();
  Hide();
}

void CProductsPage::Shown() { Navigate(ProductSiteHost(), main_->PageArea()); }

INT_PTR CProductsPage::OnNotify(const NMHDR& header) {
  if (header.hwndFrom == list_ && (header.code == NM_DBLCLK || header.code == LVN_ITEMACTIVATE)) OpenSelected();
  return 0;
}

void CProductsPage::Bind(HWND dialog, HWND list, HWND message) {
  dialog_ = dialog;
  window_ = WindowReach::ToWindow(dialog);
  list_ = list;
  message_ = message;
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  SetColumns(list_);
}

void CProductsPage::Navigate(const std::string& host, const RECT& area) {
  if (NavigateBrowser(host, area)) return;
  ShowMessage("Loading the product page from " + host + "...");
  Place(area);
  LoadLinks(host);
}

bool CProductsPage::NavigateBrowser(const std::string& host, const RECT& area) {
  if (!browserTried_) {  // once: without a browser engine it stays the link list
    browserTried_ = true;
    browser_ = BrowserHost::Create(dialog_, area);
  }
  if (!browser_) return false;
  if (!browser_->Navigate(ProductPageUrl(host))) {
    browser_.reset();
    return false;
  }
  Place(area);
  return true;
}

void CProductsPage::LoadLinks(const std::string& host) {
  WindowReach reach = loadRequest_.Next(window_);
  load_.RequestStop();
  load_ = StopSource();
  // The worker keeps to its own copies; `this` is used only by the posted
  // closure, which runs only while this load is the page's latest.
  workers_.Start(load_, [this, reach, host](const StopToken& stop) {
    HttpHooks hooks;
    hooks.stopRequested = [stop] { return stop.StopRequested(); };
    HttpResponse response = HttpFetch(host, kProductLinksPath, {}, hooks);
    if (stop.StopRequested()) return;  // quitting, or a newer load took over
    auto body = HttpResponseBody(response);
    std::vector<ProductLink> links;
    if (body) links = ParseProductLinks(*body, host);
    bool reached = body.has_value();
    reach.Post([this, host, reached, links = std::move(links)]() mutable {
      if (!reached)
        ShowMessage(UnreachableSiteMessage(host));
      else if (links.empty())
        ShowMessage("The product page lists no links.");
      else
        ShowLinks(std::move(links));
    });
  });
}

void CProductsPage::Place(const RECT& area) {
  area_ = area;
  visible_ = true;
  if (browser_) {
    for (HWND hidden : {list_, message_})
      SetWindowPos(hidden, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    browser_->Place(area);
    return;
  }
  int width = area.right - area.left, height = area.bottom - area.top;
  HWND shown = showingMessage_ ? message_ : list_;
  HWND other = showingMessage_ ? list_ : message_;
  SetWindowPos(other, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  SetWindowPos(shown, HWND_TOP, area.left, area.top, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  if (!showingMessage_) {  // both columns within the page, no sideways scrolling
    RECT client{};
    GetClientRect(list_, &client);
    ListView_SetColumnWidth(list_, 0, client.right * 2 / 5);
    ListView_SetColumnWidth(list_, 1, LVSCW_AUTOSIZE_USEHEADER);
  }
}

void CProductsPage::Hide() {
  visible_ = false;
  if (browser_) browser_->Hide();
  SetWindowPos(list_, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  SetWindowPos(message_, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

void CProductsPage::ShowLinks(std::vector<ProductLink> links) {
  links_ = std::move(links);
  ListView_DeleteAllItems(list_);
  for (const ProductLink& link : links_) AppendListRow(list_, {link.text, link.address});
  showingMessage_ = false;
  if (visible_) Place(area_);
}

void CProductsPage::ShowMessage(const std::string& text) {
  SetWindowTextA(message_, text.c_str());
  links_.clear();
  ListView_DeleteAllItems(list_);
  showingMessage_ = true;
  if (visible_) Place(area_);
}

void CProductsPage::OpenSelected() const {
  int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
  if (row < 0 || static_cast<size_t>(row) >= links_.size()) return;
  const std::string& address = links_[static_cast<size_t>(row)].address;
  if (!IsOpenableLinkAddress(address)) return;
  ShellExecuteA(dialog_, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tidewell
