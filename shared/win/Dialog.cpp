#include "shared/win/Dialog.h"

#include <commctrl.h>

#include "shared/win/UiThread.h"

namespace tidewell {

Dialog::~Dialog() {
  if (window_ && !modal_) DestroyWindow(window_);
}

INT_PTR Dialog::DoModal(HINSTANCE instance, int templateId, HWND owner) {
  modal_ = true;
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, Procedure,
                         reinterpret_cast<LPARAM>(this));
}

HWND Dialog::Create(HINSTANCE instance, int templateId, HWND owner) {
  modal_ = false;
  return CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), owner, Procedure,
                            reinterpret_cast<LPARAM>(this));
}

RECT ChildRect(HWND parent, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

WindowReach Dialog::Reach() const {
  WindowReach reach;
  reach.window_ = window_;
  reach.alive_ = alive_;
  return reach;
}

void Dialog::Destroy() {
  if (window_) DestroyWindow(window_);
}

void Dialog::End(INT_PTR result) {
  if (!window_) return;
  if (modal_)
    EndDialog(window_, result);
  else
    DestroyWindow(window_);
}

bool Dialog::OnCommand(int id, int code) {
  if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
    End(id);
    return true;
  }
  return false;
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->window_ = window;
    self->alive_ = std::make_shared<bool>(true);
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (!self) return FALSE;  // messages before WM_INITDIALOG
  INT_PTR result = self->HandleMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->window_ = nullptr;
    if (self->alive_) *self->alive_ = false;
    self->alive_.reset();
    DropPostedTasks(window);
  }
  return result;
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit() ? TRUE : FALSE;
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      INT_PTR result = OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
      return result != 0;
    }
    case WM_TIMER: OnTimer(wParam); return TRUE;
    case WM_SIZE: OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return FALSE;
    case WM_DESTROY: OnDestroy(); return FALSE;
    default: break;
  }
  if (message == kRunOnUiThreadMessage) {
    RunPostedTask(lParam);
    return TRUE;
  }
  bool handled = false;
  INT_PTR result = OnMessage(message, wParam, lParam, handled);
  return handled ? result : FALSE;
}

}  // namespace tidewell
