#include "tidewell/app/ClutterGauge.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <mutex>


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

struct ClutterGaugeRefresher::State {
  explicit State(ClutterMonitor& monitor) : monitor(monitor) {}
  ClutterMonitor& monitor;
  std::mutex mutex;
  bool busy = false;   // a worker is measuring
  bool again = false;  // asked for meanwhile: one more round when it ends
  WindowReach reach;   // the newest request's; a folded request's reading shows through it
  std::function<void(const ClutterReading&)> show;
};

ClutterGaugeRefresher::ClutterGaugeRefresher(ClutterMonitor& monitor) : state_(std::make_shared<State>(monitor)) {}

ClutterGaugeRefresher::~ClutterGaugeRefresher() { requests_.Cancel(); }

void ClutterGaugeRefresher::Request(WorkerGroup& workers, HWND window, std::function<void(const ClutterReading&)> show) {
  {
    std::lock_guard lock(state_->mutex);
    state_->reach = requests_.Next(WindowReach::ToWindow(window));
    state_->show = std::move(show);
    if (state_->busy) {
      state_->again = true;
      return;
    }
    state_->busy = true;
  }
  bool started = workers.Start([state = state_](const StopToken& stop) {
    for (;;) {
      if (auto measured = state->monitor.Measure(stop)) {
        ClutterReading reading = ReadClutter(measured->usedKb, measured->clutterKb);
        std::lock_guard lock(state->mutex);
        state->reach.Post([show = state->show, reading] { show(reading); });
      }
      std::lock_guard lock(state->mutex);
      if (!state->again || stop.StopRequested()) {
        state->busy = false;
        return;
      }
      state->again = false;
    }
  });
  if (!started) {
    std::lock_guard lock(state_->mutex);
    state_->busy = false;
  }
}

}  // namespace tidewell
