#pragma once
// Workers never touch a window: they post a closure to the window that
// started them, and the UI thread runs it (windows built on Dialog run it
// automatically; others call RunPostedTask for kRunOnUiThreadMessage).

#include <windows.h>

#include <functional>

namespace tidewell {

inline constexpr UINT kRunOnUiThreadMessage = WM_APP + 0x3F0;

// False when the window is gone; the closure is then dropped unrun.
bool PostToWindow(HWND window, std::function<void()> task);

// Runs and frees a closure that PostToWindow sent (the message's lParam).
void RunPostedTask(LPARAM payload);

// Frees, unrun, the closures still queued for a window being destroyed
// (WM_NCDESTROY): the queue would otherwise drop them with what they hold.
void DropPostedTasks(HWND window);

}  // namespace tidewell
