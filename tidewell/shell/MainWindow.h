#pragma once
// What the main window offers the features: the one database connection, the
// shared tree and list, the status line and the buttons. Feature pages,
// dialogs and workers take this instead of the whole dialog class.

#include <windows.h>

#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/WindowReach.h"
#include "shared/win/Workers.h"

namespace tidewell {

class IPage;

class IMainWindow {
 public:
  virtual CADODatabase& Database() = 0;
  // The window's workers: stopped and waited for before the database closes.
  virtual WorkerGroup& Workers() = 0;
  virtual HWND Window() const = 0;
  // What workers post their results through; lapses when the window goes.
  virtual WindowReach Reach() const = 0;
  virtual HWND Tree() const = 0;        // 1003
  virtual HWND List() const = 0;        // 1050
  virtual HWND StatusLine() const = 0;  // 1019
  virtual HWND Button(int id) const = 0;
  // Where a page stands: the shared list's place, in the window's client coordinates.
  virtual RECT PageArea() const = 0;

  // The shared tree and list belong to one user at a time. Borrowing one
  // makes every earlier borrower's reach lapse, and so does a change of tab:
  // a worker that posts through its reach never fills a control that another
  // page has taken meanwhile.
  virtual WindowReach BorrowTree() = 0;
  virtual WindowReach BorrowList() = 0;

  // Selects page's tab, with all that a click on it does.
  virtual void ShowPage(const IPage& page) = 0;
  // Shows the window as the tray's "Open Tidewell" does.
  virtual void Open() = 0;
  // Keeps the tabs as they are (a scan filling the tree) until released.
  virtual void HoldTabs(bool hold) = 0;
  // The slide-up popup; a click on it goes to page.OnNotifierClicked(). A
  // popup of another page than the one showing waits until that one has gone.
  virtual void Announce(IPage& page, const std::string& text) = 0;
  // UI thread only; workers post a closure through Reach().
  virtual void SetStatus(const std::string& text) = 0;

 protected:
  ~IMainWindow() = default;
};

}  // namespace tidewell
