#pragma once
// The one dialog base class: a static procedure stores `this` at WM_INITDIALOG,
// ignores what arrives before, and forwards to the virtual handlers. Closures
// that workers post through Reach() run here, on the UI thread, and never
// after the window is destroyed.

#include <windows.h>

#include <memory>

#include "shared/win/WindowReach.h"

namespace tidewell {

class Dialog {
 public:
  Dialog() = default;
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally; returns what End() was given (or -1 on failure).
  INT_PTR DoModal(HINSTANCE instance, int templateId, HWND owner);
  // Creates the dialog modeless; it lives until Destroy() or the object goes.
  HWND Create(HINSTANCE instance, int templateId, HWND owner);
  void Destroy();

  HWND Handle() const { return window_; }
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  // What a worker holds to post back to this window; lapses when it is destroyed.
  WindowReach Reach() const;

 protected:
  virtual bool OnInit() { return true; }  // true: let the system set the focus
  // Return true when handled. The default maps IDOK and IDCANCEL to End().
  virtual bool OnCommand(int id, int code);
  virtual INT_PTR OnNotify(const NMHDR& header) {
    (void)header;
    return 0;
  }
  virtual void OnTimer(UINT_PTR id) { (void)id; }
  virtual void OnSize(UINT type, int width, int height) {
    (void)type, (void)width, (void)height;
  }
  virtual void OnDestroy() {}
  // Any other message; set handled to give a result.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    (void)message, (void)wParam, (void)lParam, (void)handled;
    return 0;
  }

  void End(INT_PTR result);

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  bool modal_ = false;
  std::shared_ptr<bool> alive_;  // shared with the reaches handed out
};

// Where a child window stands, in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child);

// A short table from (control, notification) to a member function, instead of
// a long switch: {IDC_SCAN, BN_CLICKED, &RegistryToolsDialog::OnScan}.
template <class T>
struct CommandEntry {
  int id;
  int code;
  void (T::*handler)();
};

template <class T, size_t N>
bool DispatchCommand(T* target, const CommandEntry<T> (&table)[N], int id, int code) {
  for (const auto& entry : table) {
    if (entry.id == id && entry.code == code) {
      (target->*entry.handler)();
      return true;
    }
  }
  return false;
}

}  // namespace tidewell
