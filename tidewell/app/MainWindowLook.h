#pragma once
// What the main window looks like: its icons, the image lists of the tree,
// tabs and list, the skin buttons, the risk legend and the gauge's font.
// It holds them for as long as the window shows them.

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "shared/win/Handles.h"
#include "tidewell/shell/Page.h"
#include "tidewell/shell/SkinButton.h"

namespace tidewell {

class MainWindowLook {
 public:
  // The tabs' titles and icons come from the pages, in their order.
  void Dress(HWND dialog, const std::vector<PageLayout>& pages);
  // Before the window goes: the controls let go of the image lists first.
  void Undress(HWND dialog);
  // WM_DRAWITEM; true when the item was a skin button.
  bool DrawItem(LPARAM item) const;
  HICON SmallIcon() const { return smallIcon_.Get(); }

 private:
  void SetUpTabs(HWND dialog, const std::vector<PageLayout>& pages);
  void SetUpSkinButtons(HWND dialog, const std::vector<PageLayout>& pages);
  void SetUpLegend(HWND dialog);

  UniqueImageList treeImages_, tabImages_, listImages_;
  UniqueIcon bigIcon_, smallIcon_;
  std::vector<UniqueIcon> legendIcons_;
  std::vector<CSkinButton> skinButtons_;
  UniqueGdi<HFONT> gaugeFont_;
};

}  // namespace tidewell
