#pragma once
// One icon in the notification area, removed when the owner object goes.

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace tidewell {

class TrayIcon {
 public:
  TrayIcon() = default;
  ~TrayIcon() { Remove(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Fills the record (the classic 88-byte form: message, icon and tip) and adds it.
  bool Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, const std::string& tip);
  // Adds the same record again: brings the icon back after the shell restarted.
  // Fails harmlessly while the icon is there.
  bool AddAgain();
  void Remove();

  bool IsSet() const { return set_; }
  const NOTIFYICONDATAA& Record() const { return record_; }

 private:
  NOTIFYICONDATAA record_{};
  bool set_ = false;
};

}  // namespace tidewell
