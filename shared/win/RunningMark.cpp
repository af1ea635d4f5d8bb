#include "shared/win/RunningMark.h"

namespace tidewell {

UINT QuitRequestMessage() {
  static const UINT message = RegisterWindowMessageA("Tidewell.Quit");
  return message;
}

bool HoldRunningMark(const char* name) {
  // Never owned and never closed here: only its existence says something.
  HANDLE mark = CreateMutexA(nullptr, FALSE, name);
  return mark && GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace tidewell
