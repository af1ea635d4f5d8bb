#pragma once
// Runs the calling thread's messages while a test waits for a window to act.

#include <chrono>
#include <functional>

namespace tidewell::test {

// Pumps until the condition holds or the time is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
void PumpFor(std::chrono::milliseconds time);

}  // namespace tidewell::test
