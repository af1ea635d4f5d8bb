#pragma once
// The "Products" tab: in the browser's place, the links of the product web
// site as a list; a chosen one opens in the default browser. A plain message
// takes the place while the page loads or when the site cannot be reached.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tidewell/app/ProductLinks.h"

namespace tidewell {

class CProductsPage {
 public:
  // list: the dialog's browser control (a list view); message: a static of the dialog.
  void Bind(HWND dialog, HWND list, HWND message);
  // Places the page and loads the links from host on a worker.
  void Navigate(const std::string& host, const RECT& area);
  void Place(const RECT& area);
  // Out of sight: 0 by 0 at (0, 0).
  void Hide();
  // A row was chosen (double click or activation).
  void OpenSelected() const;

  // The result of one load, applied on the UI thread.
  void ShowLinks(std::vector<ProductLink> links);
  void ShowMessage(const std::string& text);
  const std::vector<ProductLink>& Links() const { return links_; }

 private:
  HWND dialog_ = nullptr, list_ = nullptr, message_ = nullptr;
  RECT area_{};
  bool visible_ = false, showingMessage_ = true;
  std::vector<ProductLink> links_;
  std::shared_ptr<int> generation_ = std::make_shared<int>(0);  // drops answers to older loads
};

// The text shown when the site gives no page.
std::string UnreachableSiteMessage(const std::string& host);

}  // namespace tidewell
