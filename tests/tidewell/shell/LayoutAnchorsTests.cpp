#include "tidewell/shell/LayoutAnchors.h"

#include <gtest/gtest.h>

#include "resource.h"
#include "shared/win/Dialog.h"

namespace tidewell {
namespace {

RECT Rect(LONG left, LONG top, LONG right, LONG bottom) { return RECT{left, top, right, bottom}; }

void ExpectRect(const RECT& actual, const RECT& expected) {
  EXPECT_EQ(actual.left, expected.left);
  EXPECT_EQ(actual.top, expected.top);
  EXPECT_EQ(actual.right, expected.right);
  EXPECT_EQ(actual.bottom, expected.bottom);
}

TEST(LayoutAnchors, ChildrenScaleWithTheWindowByDefault) {
  AnchorSizes twiceAsWide{200, 100, 400, 100};
  ExpectRect(PlaceAnchoredChild(Rect(10, 5, 60, 25), 0, 0, twiceAsWide), Rect(20, 5, 120, 25));
  AnchorSizes halfAsHigh{200, 100, 200, 50};
  ExpectRect(PlaceAnchoredChild(Rect(10, 20, 60, 40), 0, 0, halfAsHigh), Rect(10, 10, 60, 20));
}

TEST(LayoutAnchors, KeepSizeMovesTheNearEdgeProportionally) {
  AnchorSizes twiceAsWide{200, 100, 400, 100};
  ExpectRect(PlaceAnchoredChild(Rect(10, 5, 60, 25), 1, 0, twiceAsWide), Rect(20, 5, 70, 25));
}

TEST(LayoutAnchors, KeepSizeAndFollowFarMovesWithTheFarEdge) {
  AnchorSizes wider{200, 100, 330, 100};  // 130 pixels wider
  ExpectRect(PlaceAnchoredChild(Rect(10, 5, 60, 25), 5, 0, wider), Rect(140, 5, 190, 25));
  AnchorSizes lower{200, 100, 200, 140};
  ExpectRect(PlaceAnchoredChild(Rect(10, 50, 60, 70), 0, 5, lower), Rect(10, 90, 60, 110));
}

TEST(LayoutAnchors, PinnedNearEdgeStaysAndFarEdgeFollowsOrScales) {
  AnchorSizes wider{200, 100, 300, 100};
  ExpectRect(PlaceAnchoredChild(Rect(10, 5, 60, 25), 2 | 4, 0, wider), Rect(10, 5, 160, 25));  // stretches
  ExpectRect(PlaceAnchoredChild(Rect(10, 5, 60, 25), 2, 0, wider), Rect(10, 5, 90, 25));       // far edge scales
  ExpectRect(PlaceAnchoredChild(Rect(10, 5, 60, 25), 4, 0, wider), Rect(15, 5, 160, 25));      // near edge scales
}

TEST(LayoutAnchors, ResultsAreTruncated) {
  AnchorSizes third{300, 100, 400, 100};  // sx = 1.333...
  ExpectRect(PlaceAnchoredChild(Rect(10, 5, 61, 25), 0, 0, third), Rect(13, 5, 81, 25));
}

// Bound to a real dialog: resizing the window places its children by their flags.
TEST(LayoutAnchors, ApplyPlacesTheChildrenOfABoundWindow) {
  Dialog dialog;
  HWND window = dialog.Create(GetModuleHandleA(nullptr), IDD_LOG_DIALOG, nullptr);
  ASSERT_NE(window, nullptr);
  auto ChildRect = [&](int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(window, id), &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  RECT bounds{};
  GetWindowRect(window, &bounds);
  int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  RECT list = ChildRect(IDC_LOG_LIST), button = ChildRect(IDOK);

  CLayoutAnchors layout;
  layout.Bind(window);
  layout.SetFlags(IDOK, 5, 5);
  SetWindowPos(window, nullptr, 0, 0, width * 2, height + 40, SWP_NOMOVE | SWP_NOZORDER);
  layout.Apply();

  RECT movedList = ChildRect(IDC_LOG_LIST), movedButton = ChildRect(IDOK);
  EXPECT_EQ(movedList.left, list.left * 2);
  EXPECT_EQ(movedList.right, list.right * 2);
  EXPECT_EQ(movedButton.left, button.left + width);
  EXPECT_EQ(movedButton.right - movedButton.left, button.right - button.left);
  EXPECT_EQ(movedButton.top, button.top + 40);
  dialog.Destroy();
}

}  // namespace
}  // namespace tidewell
