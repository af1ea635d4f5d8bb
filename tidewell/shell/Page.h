#pragma once
// A tab of the main window. The main window owns one page per tab, in the
// order they are registered; it shows the page's view and buttons while the
// page is selected and offers it the window's commands, notifications and
// timers. What a page does stays in its feature's folder.

#include <windows.h>

#include <string>
#include <vector>

namespace tidewell {

// The main window's shared control a page shows.
enum class PageView { Tree, CheckedTree, List, Browser };

// A skin button of the main window's column: its bitmap, drawn with one
// colour left out.
struct SkinButtonSkin {
  int button = 0;
  int bitmap = 0;
  COLORREF transparent = RGB(255, 255, 255);
};

struct PageLayout {
  const char* title = "";
  int tabIcon = 0;  // icon resource of the tab
  PageView view = PageView::List;
  std::vector<SkinButtonSkin> buttons;  // its own, shown only while it is selected
  bool legend = false;                  // the risk legend below the view
};

class IPage {
 public:
  virtual ~IPage() = default;

  virtual PageLayout Layout() const = 0;
  // Once, after the main window's controls exist.
  virtual void Attach() {}
  // Selected: the page fills its view (borrowing the shared tree or list).
  virtual void Shown() = 0;
  virtual void Hidden() {}
  // The selected page's area changed (the window was resized).
  virtual void Placed(const RECT& area) { (void)area; }

  // Offered to every page in turn until one takes it: commands of buttons
  // and menus, the window's private messages and its timers.
  virtual bool OnCommand(int id) {
    (void)id;
    return false;
  }
  virtual bool OnMessage(UINT message) {
    (void)message;
    return false;
  }
  virtual void OnTimer(UINT_PTR id) { (void)id; }
  // Notifications of the page's view, while it is selected.
  virtual INT_PTR OnNotify(const NMHDR& header) {
    (void)header;
    return 0;
  }

  // What the status line says when the page is selected.
  virtual std::string StatusText() const { return {}; }
  // A click on a notifier popup the page raised (IMainWindow::Announce).
  virtual void OnNotifierClicked() {}
  // The page's section of a report on the machine; empty when it has none.
  virtual std::string ReportSection() const { return {}; }

 protected:
  IPage() = default;
};

}  // namespace tidewell
