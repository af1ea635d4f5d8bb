#pragma once
// What crosses from the update worker to the window: an outcome whatever
// happened in the run, and the certainty that it arrives.

#include <chrono>
#include <functional>

#include "skylark/UpdateRun.h"

namespace tidewell {

// The run's outcome; Failed when it threw anything at all (the merge has
// then rolled back and nothing is stored).
UpdateOutcome GuardedRun(const std::function<UpdateOutcome()>& run);

// Posts until a post is taken: a full message queue refuses one for a while,
// and the window must still learn that the run ended. Gives up only once the
// window is gone; false then.
bool PostSurely(const std::function<bool()>& post, const std::function<bool()>& windowGone,
                std::chrono::milliseconds pause = std::chrono::milliseconds(50));

}  // namespace tidewell
