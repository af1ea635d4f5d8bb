#include "tidewell/shell/LayoutAnchors.h"

#include "shared/win/Dialog.h"

namespace tidewell {

namespace {

// One axis: near and far edge of the child, initial size of the window.
void PlaceAxis(LONG initialNear, LONG initialFar, int flags, double scale, int delta, LONG& nearEdge,
               LONG& farEdge) {
  if (flags & kAnchorPinNear)
    nearEdge = initialNear;
  else if ((flags & kAnchorKeepSize) && (flags & kAnchorFollowFar))
    nearEdge = initialNear + delta;
  else
    nearEdge = static_cast<LONG>(initialNear * scale);

  if (flags & kAnchorFollowFar)
    farEdge = initialFar + delta;
  else if (flags & kAnchorKeepSize)
    farEdge = nearEdge + (initialFar - initialNear);
  else
    farEdge = static_cast<LONG>(initialFar * scale);
}

}  // namespace

RECT PlaceAnchoredChild(const RECT& initial, int h, int v, const AnchorSizes& sizes) {
  double sx = sizes.initialWidth ? static_cast<double>(sizes.width) / sizes.initialWidth : 1.0;
  double sy = sizes.initialHeight ? static_cast<double>(sizes.height) / sizes.initialHeight : 1.0;
  RECT placed{};
  PlaceAxis(initial.left, initial.right, h, sx, sizes.width - sizes.initialWidth, placed.left, placed.right);
  PlaceAxis(initial.top, initial.bottom, v, sy, sizes.height - sizes.initialHeight, placed.top, placed.bottom);
  return placed;
}

void CLayoutAnchors::Bind(HWND window) {
  window_ = window;
  children_.clear();
  RECT bounds{};
  GetWindowRect(window, &bounds);
  initialWidth_ = bounds.right - bounds.left;
  initialHeight_ = bounds.bottom - bounds.top;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    children_[child] = Child{ChildRect(window, child), 0, 0};
  }
}

void CLayoutAnchors::SetFlags(int controlId, int h, int v) {
  auto found = children_.find(GetDlgItem(window_, controlId));
  if (found == children_.end()) return;
  found->second.h = h;
  found->second.v = v;
}

void CLayoutAnchors::Apply() const {
  if (!window_ || children_.empty()) return;
  RECT bounds{};
  GetWindowRect(window_, &bounds);
  AnchorSizes sizes{initialWidth_, initialHeight_, bounds.right - bounds.left, bounds.bottom - bounds.top};
  HDWP batch = BeginDeferWindowPos(static_cast<int>(children_.size()));
  for (const auto& [child, anchor] : children_) {
    if (!IsWindow(child)) continue;
    RECT placed = PlaceAnchoredChild(anchor.initial, anchor.h, anchor.v, sizes);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (batch)
      batch = DeferWindowPos(batch, child, nullptr, placed.left, placed.top, placed.right - placed.left,
                             placed.bottom - placed.top, flags);
    else
      SetWindowPos(child, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                   flags);
  }
  if (batch) EndDeferWindowPos(batch);
}

}  // namespace tidewell
