#include "tidewell/cleanup/ClutterMonitor.h"

#include <chrono>

namespace tidewell {

ClutterMonitor::ClutterMonitor(ClutterSources sources) : sources_(std::move(sources)) {}

std::shared_ptr<const ClutterMeasurement> ClutterMonitor::Measure(const StopToken& stop, bool fresh) {
  std::unique_lock lock(mutex_);
  const uint64_t wanted = running_ && !fresh ? started_ : started_ + 1;
  for (;;) {
    if (finished_ >= wanted && latest_) return latest_;
    if (stop.StopRequested()) return nullptr;
    if (!running_) {
      running_ = true;
      const uint64_t mine = ++started_;
      lock.unlock();
      auto measured = std::make_shared<const ClutterMeasurement>(MeasureClutter(sources_, stop));
      lock.lock();
      running_ = false;
      // A stopped walk is incomplete: the waiters start their own.
      if (!stop.StopRequested()) {
        finished_ = mine;
        latest_ = std::move(measured);
      }
      changed_.notify_all();
      continue;
    }
    // Short waits, so that a stop request ends the wait soon.
    changed_.wait_for(lock, std::chrono::milliseconds(50));
  }
}

uint64_t ClutterMonitor::WalkCount() const {
  std::lock_guard lock(mutex_);
  return started_;
}

ClutterMonitor& SystemClutterMonitor() {
  static ClutterMonitor monitor;
  return monitor;
}

}  // namespace tidewell
