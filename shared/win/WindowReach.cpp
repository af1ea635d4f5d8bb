#include "shared/win/WindowReach.h"

#include "shared/win/UiThread.h"

namespace tidewell {

WindowReach WindowReach::ToWindow(HWND window) {
  WindowReach reach;
  reach.window_ = window;
  reach.alive_ = std::make_shared<const bool>(true);
  return reach;
}

bool WindowReach::Live() const {
  return alive_ && *alive_ && (!latest_ || *latest_ == request_);
}

bool WindowReach::Post(std::function<void()> task) const {
  if (!alive_) return false;
  // Judged again on the UI thread, where the flags change: between this post
  // and its turn the window may close or a newer request start.
  return PostToWindow(window_, [reach = *this, task = std::move(task)] {
    if (reach.Live()) task();
  });
}

WindowReach LatestRequest::Next(const WindowReach& window) {
  WindowReach reach = window;
  reach.latest_ = latest_;
  reach.request_ = ++*latest_;
  return reach;
}

}  // namespace tidewell
