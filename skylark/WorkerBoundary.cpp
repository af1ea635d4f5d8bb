#include "skylark/WorkerBoundary.h"

#include <thread>

namespace tidewell {

UpdateOutcome GuardedRun(const std::function<UpdateOutcome()>& run) {
  try {
    return run();
  } catch (...) {
    // An allocation failure or anything else: the run is over, not the program.
    UpdateOutcome failed;
    failed.kind = UpdateOutcome::Kind::Failed;
    return failed;
  }
}

bool PostSurely(const std::function<bool()>& post, const std::function<bool()>& windowGone,
                std::chrono::milliseconds pause) {
  while (!post()) {
    if (windowGone()) return false;
    std::this_thread::sleep_for(pause);
  }
  return true;
}

}  // namespace tidewell
