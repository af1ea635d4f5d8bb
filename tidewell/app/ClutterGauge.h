#pragma once
// The main window's clutter gauge: a bar in megabytes and a coloured percentage.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "shared/win/WindowReach.h"
#include "shared/win/Workers.h"
#include "tidewell/cleanup/ClutterMonitor.h"

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

// Measures on a worker, so that refreshing the gauge never holds up the
// window; requests that arrive while a measurement runs fold into one more
// after it. `show` runs on the window's thread, and only while this lives.
class ClutterGaugeRefresher {
 public:
  explicit ClutterGaugeRefresher(ClutterMonitor& monitor = SystemClutterMonitor());
  ~ClutterGaugeRefresher();
  ClutterGaugeRefresher(const ClutterGaugeRefresher&) = delete;
  ClutterGaugeRefresher& operator=(const ClutterGaugeRefresher&) = delete;

  // UI thread.
  void Request(WorkerGroup& workers, HWND window, std::function<void(const ClutterReading&)> show);

 private:
  struct State;
  std::shared_ptr<State> state_;
  LatestRequest requests_;  // cancelled when this goes
};

}  // namespace tidewell
