#include "tidewell/app/OneTidewell.h"

#include "shared/win/RunningMark.h"

namespace tidewell {

UINT ShowRequestMessage() {
  static const UINT message = RegisterWindowMessageA("Tidewell.Show");
  return message;
}

bool BecomeTheOneTidewell() {
  if (!HoldRunningMark(kTidewellRunningName)) return true;
  // The running one may come to the front: the user asked for it by starting this one.
  AllowSetForegroundWindow(ASFW_ANY);
  PostMessageA(HWND_BROADCAST, ShowRequestMessage(), 0, 0);
  return false;
}

}  // namespace tidewell
