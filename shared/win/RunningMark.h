#pragma once
// What an installer sees of a running program: a named mutex held from start
// to exit, and a registered message its top-level windows answer by ending.

#include <windows.h>

#include "shared/win/Handles.h"

namespace tidewell {

inline constexpr const char* kTidewellRunningName = "Local\\Tidewell.Running";
inline constexpr const char* kSkylarkRunningName = "Local\\Skylark.Running";

// "Tidewell.Quit": both programs end on it as their own Quit or Cancel does.
UINT QuitRequestMessage();

class RunningMark {
 public:
  // Creates (or opens) the named mutex; keep the object until the process ends.
  explicit RunningMark(const char* name);

  // Whether another process had created the mark before this one.
  bool HeldElsewhere() const { return heldElsewhere_; }

 private:
  UniqueHandle mutex_;
  bool heldElsewhere_ = false;
};

}  // namespace tidewell
