#include "shared/win/RunningMark.h"

namespace tidewell {

UINT QuitRequestMessage() {
  static const UINT message = RegisterWindowMessageA("Tidewell.Quit");
  return message;
}

RunningMark::RunningMark(const char* name) {
  // Never owned: the mark says only that the process lives, and its handle
  // goes with the process however it ends.
  mutex_.Reset(CreateMutexA(nullptr, FALSE, name));
  heldElsewhere_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace tidewell
