#pragma once
// How a worker reaches the window that started it. A worker never touches a
// window: it holds a WindowReach and posts closures through it. A closure
// runs on the UI thread, and only while the window still lives (the Dialog
// base invalidates its reaches when the window is destroyed) and, for a reach
// taken from a LatestRequest, only while no newer request has been made. So a
// closure may capture the dialog's `this`: it never runs once that is gone.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace tidewell {

class WindowReach {
 public:
  WindowReach() = default;  // reaches nothing: every post is dropped
  // For a window not built on Dialog: its reaches never lapse on their own,
  // so the caller must outlive the closures (or pair it with a LatestRequest).
  static WindowReach ToWindow(HWND window);

  // Queues task for the UI thread; false when the window is already gone.
  bool Post(std::function<void()> task) const;
  // UI thread: whether a closure posted now would still run.
  bool Live() const;
  HWND Window() const { return window_; }

 private:
  friend class Dialog;
  friend class LatestRequest;
  HWND window_ = nullptr;
  std::shared_ptr<const bool> alive_;       // false once the window is destroyed
  std::shared_ptr<const uint64_t> latest_;  // the newest request's number, when one counts
  uint64_t request_ = 0;
};

// "Only the latest request counts": a refill that starts while the last one
// still runs makes the last one's answers fall silent. UI thread only.
class LatestRequest {
 public:
  // A reach for a new request; earlier requests' closures are dropped from now on.
  WindowReach Next(const WindowReach& window);
  // Drops the closures of every request made so far.
  void Cancel() { ++*latest_; }
  // Whether reach belongs to the newest request.
  bool IsLatest(const WindowReach& reach) const { return reach.latest_ == latest_ && reach.request_ == *latest_; }

 private:
  std::shared_ptr<uint64_t> latest_ = std::make_shared<uint64_t>(0);
};

}  // namespace tidewell
