#pragma once
// The "Browser add-ons" tab: every browser add-on and registration in the
// shared list, listed on a worker each time the tab shows. Rows a policy or
// another program put there carry the high-risk image, disabled ones the
// unknown image; a double-click opens the add-on's folder.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tidewell/addons/AddonRemoval.h"
#include "tidewell/addons/BrowserAddons.h"
#include "tidewell/shell/MainWindow.h"
#include "tidewell/shell/Page.h"

namespace tidewell {

// "12 add-ons: 2 forced by policy, 1 from outside, 3 disabled", and the notes.
std::string AddonStatusText(const AddonListing& listing);

// A policy row removed, and when (GetTickCount64).
using RemovedPolicy = std::pair<BrowserAddon, ULONGLONG>;
// "; <name> is back: ..." for each removed row the listing holds again that
// Tidewell's own restore did not put back; empty when none is.
std::string ReturnedPoliciesText(const AddonListing& listing, const std::vector<RemovedPolicy>& removed);

class AddonsPage : public IPage {
 public:
  // Tests point the listing at planted places.
  explicit AddonsPage(IMainWindow& main, AddonPlaces places = AddonPlaces::FromEnvironment())
      : main_(main), places_(std::move(places)) {}

  PageLayout Layout() const override;
  void Attach() override;
  void Shown() override;
  void Hidden() override { shown_ = false; }
  bool OnCommand(int id) override;
  INT_PTR OnNotify(const NMHDR& header) override;
  std::string StatusText() const override { return status_; }

  // The row selected in the list, or nothing.
  const BrowserAddon* SelectedAddon() const;
  // Lists again, as showing the tab does (after a removal, say).
  void Refresh();

 private:
  void Fill(AddonListing listing);
  // "Remove": asks, then removes on a worker; an add-on the browser itself
  // must remove is pointed at instead.
  void RemoveSelected();
  void Removed(const BrowserAddon& addon, const AddonRemovalOutcome& outcome);

  IMainWindow& main_;
  AddonPlaces places_;
  AddonListing listing_;  // the list's rows carry their index here
  std::string status_;
  int highRiskImage_ = -1, unknownImage_ = -1;
  bool shown_ = false;
  // Policy rows removed this session, with when: a domain or the program
  // that put one there may write it back.
  std::vector<RemovedPolicy> removedPolicies_;
};

}  // namespace tidewell
