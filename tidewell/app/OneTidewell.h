#pragma once
// One Tidewell per session: a start at logon and one from the Start menu must
// not make two tray icons and two sets of watchers.

#include <windows.h>

namespace tidewell {

// "Tidewell.Show": the running Tidewell shows its window as the tray's
// "Open Tidewell" does.
UINT ShowRequestMessage();

// Takes the session's running mark; false when a Tidewell already holds it.
// That one is then asked to show its window, and this start should end.
bool BecomeTheOneTidewell();

}  // namespace tidewell
