#pragma once
// What the main window offers the features: the one database connection, the
// shared tree and list, the status line and the buttons. Feature dialogs and
// workers take this instead of the whole dialog class.

#include <windows.h>

#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/WindowReach.h"
#include "shared/win/Workers.h"

namespace tidewell {

class IMainWindow {
 public:
  virtual CADODatabase& Database() = 0;
  // The window's workers: stopped and waited for before the database closes.
  virtual WorkerGroup& Workers() = 0;
  virtual HWND Window() const = 0;
  // What workers post their results through; lapses when the window goes.
  virtual WindowReach Reach() const = 0;
  virtual HWND Tree() const = 0;        // 1003: BHO list on tab 0, scan locations on tab 1
  virtual HWND List() const = 0;        // 1050: backups on tab 2, startup entries on tab 3
  virtual HWND StatusLine() const = 0;  // 1019
  virtual HWND Button(int id) const = 0;
  virtual int SelectedTab() const = 0;
  // UI thread only; workers post a closure through Reach().
  virtual void SetStatus(const std::string& text) = 0;

 protected:
  ~IMainWindow() = default;
};

}  // namespace tidewell
