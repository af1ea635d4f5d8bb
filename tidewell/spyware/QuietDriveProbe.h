#pragma once
// While one lives, the calling thread's file functions fail with
// ERROR_NOT_READY on a drive without its medium (an empty card reader)
// instead of showing the system's "no disk" box: a scan or a tree walk that
// merely looks must not stop at a question.

#include <windows.h>

namespace tidewell {

class QuietDriveProbe {
 public:
  QuietDriveProbe() {
    if (!SetThreadErrorMode(GetThreadErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_))
      restore_ = false;
  }
  ~QuietDriveProbe() {
    if (restore_) SetThreadErrorMode(previous_, nullptr);
  }
  QuietDriveProbe(const QuietDriveProbe&) = delete;
  QuietDriveProbe& operator=(const QuietDriveProbe&) = delete;

 private:
  DWORD previous_ = 0;
  bool restore_ = true;
};

}  // namespace tidewell
