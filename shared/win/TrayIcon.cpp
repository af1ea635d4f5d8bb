#include "shared/win/TrayIcon.h"

#include <cstdio>

namespace tidewell {

bool TrayIcon::Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, const std::string& tip) {
  record_ = NOTIFYICONDATAA{};
  record_.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record_.hWnd = owner;
  record_.uID = id;
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record_.uCallbackMessage = callbackMessage;
  record_.hIcon = icon;
  std::snprintf(record_.szTip, 64, "%s", tip.c_str());  // the classic tip holds 64 characters
  set_ = true;
  return Shell_NotifyIconA(NIM_ADD, &record_) != FALSE;
}

bool TrayIcon::AddAgain() { return set_ && Shell_NotifyIconA(NIM_ADD, &record_) != FALSE; }

void TrayIcon::Remove() {
  if (!set_) return;
  Shell_NotifyIconA(NIM_DELETE, &record_);
  set_ = false;
}

}  // namespace tidewell
