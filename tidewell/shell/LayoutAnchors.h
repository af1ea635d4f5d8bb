#pragma once
// Keeps a resizable window's children in place: every child scales with the
// window unless its flags say otherwise.

#include <windows.h>

#include <map>

namespace tidewell {

// Flag bits, the same for the horizontal and the vertical word.
inline constexpr int kAnchorKeepSize = 1;
inline constexpr int kAnchorPinNear = 2;
inline constexpr int kAnchorFollowFar = 4;

struct AnchorSizes {
  int initialWidth = 0, initialHeight = 0;  // the window when it was bound
  int width = 0, height = 0;                // the window now
};

// Where a child bound at `initial` goes for the window's new size.
RECT PlaceAnchoredChild(const RECT& initial, int h, int v, const AnchorSizes& sizes);

class CLayoutAnchors {
 public:
  // Records the window's rectangle and every child's; all flags go back to 0.
  void Bind(HWND window);
  void SetFlags(int controlId, int h, int v);
  void Apply() const;

 private:
  struct Child {
    RECT initial{};
    int h = 0, v = 0;
  };
  HWND window_ = nullptr;
  int initialWidth_ = 0, initialHeight_ = 0;
  std::map<HWND, Child> children_;
};

}  // namespace tidewell
