#pragma once
// One clutter measurement shared by whoever asks at the same time: the main
// window's gauge and the Clutter-Meter's list join a walk that is already
// under way instead of walking every temporary folder twice.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "shared/win/Workers.h"
#include "tidewell/cleanup/ClutterMeasure.h"

namespace tidewell {

class ClutterMonitor {
 public:
  explicit ClutterMonitor(ClutterSources sources = SystemClutterSources());

  // Blocks the calling worker until a measurement is ready. A walk under way
  // is joined; with `fresh` (after files were removed, say) only a walk that
  // starts after this call counts. When no walk runs, the caller walks.
  // Null when `stop` ended the wait or the walk.
  std::shared_ptr<const ClutterMeasurement> Measure(const StopToken& stop, bool fresh = false);

  // Walks started so far (for tests and benchmarks).
  uint64_t WalkCount() const;

 private:
  ClutterSources sources_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool running_ = false;
  uint64_t started_ = 0;   // walks begun
  uint64_t finished_ = 0;  // number of the last walk that completed
  std::shared_ptr<const ClutterMeasurement> latest_;
};

// The machine's own, shared by the main window and the dialog.
ClutterMonitor& SystemClutterMonitor();

}  // namespace tidewell
