#pragma once
// The "Products" tab: the product web site's page in the system's web
// browser control, placed where control 1062 stands. Where that control
// cannot be created, the links of the page as a list in its place; a chosen
// one opens in the default browser, and a plain message takes the place
// while the page loads or when the site cannot be reached.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "shared/win/BrowserHost.h"
#include "shared/win/WindowReach.h"
#include "shared/win/Workers.h"
#include "tidewell/app/ProductLinks.h"
#include "tidewell/shell/MainWindow.h"
#include "tidewell/shell/Page.h"

namespace tidewell {

class CProductsPage : public IPage {
 public:
  CProductsPage() = default;
  // As the main window's tab: its controls 1062 and the message static.
  explicit CProductsPage(IMainWindow& main) : main_(&main) {}
  ~CProductsPage() override;

  PageLayout Layout() const override;
  void Attach() override;
  void Shown() override;
  void Hidden() override { Hide(); }
  void Placed(const RECT& area) override { Place(area); }
  INT_PTR OnNotify(const NMHDR& header) override;

  // list: the dialog's control 1062 (a list view); message: a static of the dialog.
  void Bind(HWND dialog, HWND list, HWND message);
  // Places the page and loads "/links.html" from host: in the browser where
  // there is one, otherwise as links fetched on a worker.
  void Navigate(const std::string& host, const RECT& area);
  void Place(const RECT& area);
  // Out of sight: 0 by 0 at (0, 0).
  void Hide();
  // A row of the link list was chosen (double click or activation).
  void OpenSelected() const;

  // The result of one load of the link list, applied on the UI thread.
  void ShowLinks(std::vector<ProductLink> links);
  void ShowMessage(const std::string& text);
  const std::vector<ProductLink>& Links() const { return links_; }
  // The browser control, once a navigation has created it; null on the
  // link-list path.
  const BrowserHost* Browser() const { return browser_.get(); }

  // Stops the link fetch and waits for it (bounded); nothing loads after.
  // The page's end does the same.
  bool Stop() { return workers_.StopAndWait(); }
  int FetchesRunning() const { return workers_.Running(); }

 private:
  bool NavigateBrowser(const std::string& host, const RECT& area);
  void LoadLinks(const std::string& host);

  HWND dialog_ = nullptr, list_ = nullptr, message_ = nullptr;
  RECT area_{};
  bool visible_ = false, showingMessage_ = true;
  bool browserTried_ = false;
  std::unique_ptr<BrowserHost> browser_;
  std::vector<ProductLink> links_;
  StopSource load_;  // the running link fetch; a newer one stops it
  IMainWindow* main_ = nullptr;
  WindowReach window_;
  LatestRequest loadRequest_;  // drops answers to older loads, and all once the page goes
  // Its own group: a fetch touches nothing the window destroys, so a hung
  // one must not hold up the window's workers or force the program's end.
  WorkerGroup workers_;
};

// The address the browser opens on the product site.
std::string ProductPageUrl(const std::string& host);

// The text shown when the site gives no page.
std::string UnreachableSiteMessage(const std::string& host);

}  // namespace tidewell
