#include "tidewell/traffic/TrafficGraph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tidewell {
namespace {

// A memory bitmap to draw into and read back.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_.Reset(CreateCompatibleBitmap(screen, width, height));
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_.Get());
    UniqueGdi<HBRUSH> brush(CreateSolidBrush(fill));
    RECT all{0, 0, width, height};
    FillRect(dc_, &all, brush.Get());
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  // How many pixels of column x, in rows [top, bottom), have the colour.
  int CountInColumn(int x, int top, int bottom, COLORREF color) const {
    int count = 0;
    for (int y = top; y < bottom; ++y) count += At(x, y) == color;
    return count;
  }

 private:
  int width_, height_;
  HDC dc_;
  UniqueGdi<HBITMAP> bitmap_;
  HGDIOBJ old_;
};

constexpr COLORREF kBar = RGB(0, 176, 0), kPeak = RGB(255, 255, 0), kGrid = RGB(0, 96, 48),
                   kBackground = RGB(0, 0, 0), kOutside = RGB(255, 255, 255);

CounterSnapshot Reading(uint64_t received, uint64_t timeMs) {
  CounterSnapshot snapshot;
  snapshot.valid = true;
  snapshot.timeMs = timeMs;
  InterfaceCounters row;
  row.present = true;
  row.received = row.total = received;
  snapshot.rows.push_back(row);
  return snapshot;
}

// A graph whose visible columns end with the given rates, one second apart.
TrafficGraphState StateWithRates(int width, const std::vector<uint64_t>& rates) {
  TrafficGraphState state(TrafficType::Incoming);
  state.Resize(width);
  auto primed = Reading(0, 0);
  state.SelectInterface(0, &primed);
  uint64_t counter = 0, time = 0;
  for (uint64_t rate : rates) state.AddSample(Reading(counter += rate, time += 1000));
  state.AddSample(Reading(counter, time + 1000));  // moves the last rate into the visible part
  return state;
}

TEST(TrafficGraphDrawing, BarsAreScaledToTheMaximumAndToppedByThePeakColour) {
  const int width = 40, height = 50;
  auto state = StateWithRates(width, {100, 50});
  GraphPaintKit kit;
  Canvas canvas(width, height, kOutside);
  DrawTrafficGraph(canvas.Dc(), RECT{0, 0, width, height}, state, kit);
  // 20 visible columns end with 100 and 50; the newest entry (0) is not shown yet.
  const int full = 2 * 18, half = 2 * 19;
  EXPECT_EQ(canvas.At(full, 0), kPeak) << "the maximum reaches the top";
  EXPECT_EQ(canvas.At(full + 1, height - 1), kBar);
  EXPECT_EQ(canvas.At(half, height - 25), kPeak);
  EXPECT_EQ(canvas.At(half, height - 26), kBackground);
  EXPECT_EQ(canvas.CountInColumn(half + 1, 0, height, kBar), 24);
  EXPECT_EQ(canvas.CountInColumn(2 * 17, 0, height, kBar), 0) << "a zero column draws no bar";
}

TEST(TrafficGraphDrawing, ASilentInterfaceDrawsNoBarAndNothingOutsideTheRectangle) {
  GraphPaintKit kit;
  for (auto rates : {std::vector<uint64_t>{0, 0, 0}, std::vector<uint64_t>{5000, 7000}}) {
    // The state is wider than where it is drawn: columns beyond the rectangle are left out.
    auto state = StateWithRates(200, rates);
    Canvas canvas(60, 60, kOutside);
    DrawTrafficGraph(canvas.Dc(), RECT{10, 10, 30, 40}, state, kit);
    int outside = 0, bars = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 60; ++x) {
        bool inside = x >= 10 && x < 30 && y >= 10 && y < 40;
        if (!inside) outside += canvas.At(x, y) != kOutside;
        if (inside) bars += canvas.At(x, y) == kBar || canvas.At(x, y) == kPeak;
      }
    EXPECT_EQ(outside, 0);
    if (rates[0] == 0) {
      EXPECT_EQ(bars, 0) << "maximum 0: no bar";
    }
  }
}

TEST(TrafficGraphDrawing, TheGridScrollsOnePixelLeftPerRepaint) {
  GraphPaintKit kit;
  TrafficGraphState state;
  state.Resize(40);
  Canvas before(40, 40, kOutside), after(40, 40, kOutside);
  DrawTrafficGraph(before.Dc(), RECT{0, 0, 40, 40}, state, kit);
  state.AdvanceGrid();
  DrawTrafficGraph(after.Dc(), RECT{0, 0, 40, 40}, state, kit);
  // Row 25 is between horizontal lines (38, 28, 18, ...); the caption is above it.
  EXPECT_EQ(before.At(10, 25), kGrid);
  EXPECT_EQ(before.At(9, 25), kBackground);
  EXPECT_EQ(after.At(9, 25), kGrid);
  EXPECT_EQ(after.At(10, 25), kBackground);
  EXPECT_EQ(before.At(5, 38), kGrid) << "horizontal lines count up from the bottom minus 2";
}

std::string MenuText(HMENU menu, int position) {
  char text[256] = {};
  GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

TEST(TrafficGraphMenu, ListsAtMost999InterfacesWithTheirTotalsAndTheToggle) {
  std::vector<std::string> names;
  for (int i = 0; i < 1200; ++i) names.push_back("if" + std::to_string(i));
  CounterSnapshot reading;
  reading.valid = true;
  reading.rows.resize(names.size());
  reading.rows[1].received = 5 * 1048576;
  TrafficGraphState state(TrafficType::Incoming);
  state.SelectInterface(1, nullptr);
  UniqueMenu menu = BuildGraphMenu(state, names, &reading);
  ASSERT_TRUE(menu);
  ASSERT_EQ(GetMenuItemCount(menu.Get()), 5);
  EXPECT_EQ(GetMenuItemID(menu.Get(), 0), static_cast<UINT>(kMenuSelectedInterface));
  EXPECT_EQ(MenuText(menu.Get(), 0), "if1 : 5.0 MB");
  EXPECT_EQ(MenuText(menu.Get(), 2), "Select Interface");
  EXPECT_EQ(MenuText(menu.Get(), 4), "Toggle scaling to local maximum");
  EXPECT_EQ(GetMenuItemID(menu.Get(), 4), static_cast<UINT>(kMenuToggleScaling));
  HMENU list = GetSubMenu(menu.Get(), 2);
  ASSERT_EQ(GetMenuItemCount(list), 999);
  EXPECT_EQ(GetMenuItemID(list, 998), 2998u);
  EXPECT_EQ(MenuText(list, 1), "if1 : 5.0 MB");
  EXPECT_EQ(MenuText(list, 0), "if0 : 0.0 MB");
}

}  // namespace
}  // namespace tidewell
