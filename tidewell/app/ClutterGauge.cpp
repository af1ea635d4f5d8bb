#include "tidewell/app/ClutterGauge.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace tidewell {

namespace {

int ClampToInt(uint64_t value) { return static_cast<int>(std::min<uint64_t>(value, INT_MAX)); }

}  // namespace

COLORREF ClutterColor(double percent) {
  float single = static_cast<float>(percent);
  if (single > 10.0f) return kClutterRed;
  // The bound is 10 * 0.9f worked out in double: 8.99999976..., so 9 % is yellow.
  if (static_cast<double>(single) <= 10.0 * static_cast<double>(0.9f)) return kClutterGreen;
  return kClutterYellow;
}

ClutterReading ReadClutter(uint64_t usedKb, uint64_t clutterKb) {
  ClutterReading reading;
  reading.rangeMegabytes = ClampToInt(usedKb / 1024);
  reading.positionMegabytes = ClampToInt(clutterKb / 1024);
  // No used space to compare with (no fixed drive read): show 0 %, not a division by zero.
  reading.percent = usedKb ? static_cast<double>(clutterKb) * 100.0 / static_cast<double>(usedKb) : 0.0;
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", reading.percent);
  reading.text = text;
  reading.color = ClutterColor(reading.percent);
  return reading;
}

}  // namespace tidewell
