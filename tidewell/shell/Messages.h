#pragma once
// Private messages and timers of the main window, in one place.

#include <windows.h>

namespace tidewell {

inline constexpr UINT WM_START_KEY_WATCH = WM_USER + 1;    // 1025
inline constexpr UINT WM_REFRESH_BHOS = WM_USER + 2;       // 1026
inline constexpr UINT WM_TRAY_NOTIFY = WM_USER + 4;        // 1028
inline constexpr UINT WM_NOTIFIER_CLICKED = WM_USER + 123;  // 1147
inline constexpr UINT WM_NOTIFIER_GONE = WM_USER + 124;     // the popup slid back

inline constexpr UINT_PTR TIMER_AUTO_REFRESH = 1027;
inline constexpr UINT_PTR TIMER_TRAY_ICON = 1029;

static_assert(WM_START_KEY_WATCH == 1025 && WM_REFRESH_BHOS == 1026 && WM_TRAY_NOTIFY == 1028 &&
              WM_NOTIFIER_CLICKED == 1147);

}  // namespace tidewell
