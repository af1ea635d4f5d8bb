#pragma once
// The main window's clutter gauge: a bar in megabytes and a coloured percentage.

#include <windows.h>

#include <cstdint>
#include <string>

namespace tidewell {

inline constexpr COLORREF kClutterRed = RGB(255, 0, 0);
inline constexpr COLORREF kClutterYellow = RGB(255, 255, 0);
inline constexpr COLORREF kClutterGreen = RGB(0, 225, 0);

struct ClutterReading {
  int rangeMegabytes = 0;     // the bar's range is 0 .. this
  int positionMegabytes = 0;  // the bar's position
  double percent = 0;
  std::string text;           // "9.50%"
  COLORREF color = kClutterGreen;
};

// From the used space of the fixed drives and the clutter, both in kilobytes.
ClutterReading ReadClutter(uint64_t usedKb, uint64_t clutterKb);

// The colour compares the percentage in single precision: red above 10,
// green up to just below 9 (ten times 0.9f), yellow between.
COLORREF ClutterColor(double percent);

}  // namespace tidewell
