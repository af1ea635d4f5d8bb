// The slide-up popup: its shape, its placements, its states and its look.

#include <windows.h>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/support/MessagePump.h"
#include "tidewell/shell/Messages.h"
#include "tidewell/shell/TaskbarNotifier.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

// A 24-bit bitmap of the given size filled with one colour, with an
// optional transparent square at the top left.
HBITMAP MakeSkin(int width, int height, COLORREF fill, int transparentSquare = 0) {
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top-down rows
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 24;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  int stride = (width * 3 + 3) & ~3;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      BYTE* p = static_cast<BYTE*>(bits) + y * stride + x * 3;
      COLORREF colour = (x < transparentSquare && y < transparentSquare) ? RGB(0, 0, 255) : fill;
      p[0] = GetBValue(colour), p[1] = GetGValue(colour), p[2] = GetRValue(colour);
    }
  }
  return bitmap;
}

CTaskbarNotifier::Screen ScreenWithTaskbar(int placement) {
  CTaskbarNotifier::Screen screen;
  screen.width = 1024;
  screen.height = 768;
  switch (placement) {
    case kTaskbarTop: screen.workArea = {0, 30, 1024, 768}; break;
    case kTaskbarLeft: screen.workArea = {60, 0, 1024, 768}; break;
    case kTaskbarRight: screen.workArea = {0, 0, 964, 768}; break;
    default: screen.workArea = {0, 0, 1024, 738}; break;
  }
  return screen;
}

// A top-level window that counts the notifier's click messages.
class NotifierOwner {
 public:
  NotifierOwner() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TidewellNotifierOwner";
    RegisterClassA(&windowClass);  // fails harmlessly once registered
    handle_ = CreateWindowExA(0, windowClass.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              windowClass.hInstance, this);
  }
  ~NotifierOwner() { DestroyWindow(handle_); }
  HWND Handle() const { return handle_; }
  int notifierClicks = 0;
  int notifierGone = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<NotifierOwner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NOTIFIER_CLICKED && self) ++self->notifierClicks;
    if (message == WM_NOTIFIER_GONE && self) ++self->notifierGone;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  HWND handle_ = nullptr;
};

class NotifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(notifier.Create(owner.Handle()));
    ASSERT_TRUE(notifier.SetSkinBitmap(MakeSkin(40, 20, RGB(200, 220, 240)), 0, 0, 255));
  }
  void Tick(UINT_PTR timer) { SendMessageA(notifier.Handle(), WM_TIMER, timer, 0); }
  void UseScreen(int placement) {
    notifier.SetScreenSource([placement] { return ScreenWithTaskbar(placement); });
  }
  RECT WindowRect() {
    RECT rect{};
    GetWindowRect(notifier.Handle(), &rect);
    return rect;
  }
  // Ticks the slide until the state changes; the number of ticks taken.
  int SlideWhile(UINT_PTR timer, int status) {
    int ticks = 0;
    while (notifier.Status() == status && ticks < 1000) Tick(timer), ++ticks;
    return ticks;
  }

  NotifierOwner owner;
  CTaskbarNotifier notifier;
};

TEST(TaskbarPlacement, IsJudgedFromTheWorkArea) {
  for (int placement : {kTaskbarTop, kTaskbarLeft, kTaskbarRight, kTaskbarBottom}) {
    auto screen = ScreenWithTaskbar(placement);
    EXPECT_EQ(TaskbarPlacementOf(screen.workArea, screen.width, screen.height), placement);
  }
  EXPECT_EQ(TaskbarPlacementOf({0, 0, 1024, 768}, 1024, 768), kTaskbarBottom) << "no taskbar at all";
}

TEST(SkinRegion, A217PixelSkinGivesA216PixelShapeWithoutTheTransparentPixels) {
  HBITMAP skin = MakeSkin(217, 119, RGB(10, 20, 30), 5);
  UniqueGdi<HRGN> region(BuildSkinRegion(skin, RGB(0, 0, 255)));
  ASSERT_TRUE(region);
  RECT box{};
  GetRgnBox(region.Get(), &box);
  EXPECT_EQ(box.right - box.left, 216);
  EXPECT_EQ(box.bottom - box.top, 119);
  EXPECT_FALSE(PtInRegion(region.Get(), 216, 50));
  EXPECT_TRUE(PtInRegion(region.Get(), 215, 50));
  EXPECT_FALSE(PtInRegion(region.Get(), 0, 0));
  EXPECT_FALSE(PtInRegion(region.Get(), 4, 4));
  EXPECT_TRUE(PtInRegion(region.Get(), 5, 4));
  EXPECT_TRUE(PtInRegion(region.Get(), 4, 5));
  DeleteObject(skin);
  EXPECT_EQ(BuildSkinRegion(nullptr, RGB(0, 0, 255)), nullptr);
}

TEST(SkinRegion, TheDeliveredSkinHasItsSizeAndRoundedCorners) {
  CTaskbarNotifier notifier;
  NotifierOwner owner;
  ASSERT_TRUE(notifier.Create(owner.Handle()));
  ASSERT_TRUE(notifier.SetSkin(IDBMP_NOTIFIER_SKIN, 0, 0, 255));
  EXPECT_EQ(notifier.SkinSize().cx, 217);
  EXPECT_EQ(notifier.SkinSize().cy, 119);
  UniqueGdi<HRGN> region(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(notifier.Handle(), region.Get()), ERROR);
  EXPECT_FALSE(PtInRegion(region.Get(), 0, 0));
  EXPECT_TRUE(PtInRegion(region.Get(), 108, 60));
  EXPECT_FALSE(notifier.SetSkin(9999, 0, 0, 255)) << "a missing bitmap";
  EXPECT_EQ(notifier.SkinSize().cx, 217) << "leaves the skin as it was";
}

TEST_F(NotifierTest, SlidesInFromEachTaskbarEdgeAndBack) {
  struct Expected {
    int placement;
    POINT start;
    POINT shown;
  };
  const Expected cases[] = {
      {kTaskbarBottom, {984, 738}, {984, 718}},
      {kTaskbarTop, {984, 10}, {984, 30}},
      {kTaskbarLeft, {20, 748}, {60, 748}},
      {kTaskbarRight, {964, 748}, {924, 748}},
  };
  for (const Expected& expected : cases) {
    SCOPED_TRACE(expected.placement);
    UseScreen(expected.placement);
    notifier.Show("New BHO", 300, 500000, 500);
    EXPECT_EQ(notifier.Placement(), expected.placement);
    EXPECT_EQ(notifier.StartPosition().x, expected.start.x);
    EXPECT_EQ(notifier.StartPosition().y, expected.start.y);
    EXPECT_TRUE(IsWindowVisible(notifier.Handle()));
    SlideWhile(CTaskbarNotifier::kTimerAppear, CTaskbarNotifier::kIdle);
    SlideWhile(CTaskbarNotifier::kTimerAppear, CTaskbarNotifier::kAppearing);
    EXPECT_EQ(notifier.Status(), CTaskbarNotifier::kWaiting);
    EXPECT_EQ(WindowRect().left, expected.shown.x);
    EXPECT_EQ(WindowRect().top, expected.shown.y);
    EXPECT_EQ(WindowRect().right - WindowRect().left, 40);
    Tick(CTaskbarNotifier::kTimerWait);
    Tick(CTaskbarNotifier::kTimerDisappear);
    EXPECT_EQ(notifier.Status(), CTaskbarNotifier::kDisappearing);
    SlideWhile(CTaskbarNotifier::kTimerDisappear, CTaskbarNotifier::kDisappearing);
    EXPECT_EQ(notifier.Status(), CTaskbarNotifier::kIdle);
    EXPECT_FALSE(IsWindowVisible(notifier.Handle()));
    int goneBefore = owner.notifierGone;
    for (MSG message; PeekMessageA(&message, owner.Handle(), 0, 0, PM_REMOVE);) DispatchMessageA(&message);
    EXPECT_EQ(owner.notifierGone, goneBefore + 1) << "the owner hears that the popup went";
  }
}

TEST_F(NotifierTest, StepTimesComeFromTheSlideLength) {
  UseScreen(kTaskbarBottom);
  notifier.Show("x", 300, 500000, 500);
  EXPECT_EQ(notifier.ShowEvents(), 300u / 10);  // 20 pixels in steps of 2
  EXPECT_EQ(notifier.HideEvents(), 500u / 10);
  notifier.Hide();
  UseScreen(kTaskbarRight);
  notifier.Show("x", 300, 500000, 500);
  EXPECT_EQ(notifier.ShowEvents(), 300u / 20);  // 40 pixels across
  notifier.Hide();
  EXPECT_EQ(notifier.Status(), CTaskbarNotifier::kIdle);
  EXPECT_FALSE(IsWindowVisible(notifier.Handle()));
}

TEST_F(NotifierTest, ShowWhileWaitingOrLeavingKeepsItFullyShown) {
  UseScreen(kTaskbarBottom);
  notifier.Show("first", 300, 500000, 500);
  SlideWhile(CTaskbarNotifier::kTimerAppear, CTaskbarNotifier::kIdle);
  notifier.Show("during the slide", 300, 500000, 500);
  EXPECT_EQ(notifier.Caption(), "during the slide");
  EXPECT_EQ(notifier.Status(), CTaskbarNotifier::kAppearing);
  SlideWhile(CTaskbarNotifier::kTimerAppear, CTaskbarNotifier::kAppearing);
  notifier.Show("while waiting", 300, 500000, 500);
  EXPECT_EQ(notifier.Status(), CTaskbarNotifier::kWaiting);
  Tick(CTaskbarNotifier::kTimerWait);
  for (int i = 0; i < 4; ++i) Tick(CTaskbarNotifier::kTimerDisappear);
  EXPECT_EQ(notifier.Status(), CTaskbarNotifier::kDisappearing);
  EXPECT_GT(WindowRect().top, 718);
  notifier.Show("while leaving", 300, 500000, 500);
  EXPECT_EQ(notifier.Status(), CTaskbarNotifier::kWaiting);
  EXPECT_EQ(WindowRect().top, 718) << "back in full at once";
  EXPECT_EQ(notifier.Caption(), "while leaving");
}

TEST_F(NotifierTest, WithoutASkinShowDoesNothing) {
  CTaskbarNotifier bare;
  ASSERT_TRUE(bare.Create(owner.Handle()));
  bare.Show("x", 300, 500000, 500);
  EXPECT_EQ(bare.Status(), CTaskbarNotifier::kIdle);
  EXPECT_FALSE(IsWindowVisible(bare.Handle()));
}

TEST_F(NotifierTest, AClickPostsOneMessageAndTheHoverChangesTheLook) {
  UseScreen(kTaskbarBottom);
  notifier.Show("x", 300, 500000, 500);
  SendMessageA(notifier.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ASSERT_TRUE(test::PumpUntil([&] { return owner.notifierClicks == 1; }, 2s));
  test::PumpFor(100ms);
  EXPECT_EQ(owner.notifierClicks, 1);
  EXPECT_TRUE(IsWindowVisible(notifier.Handle())) << "a click does not hide it";
  SendMessageA(notifier.Handle(), WM_MOUSEHOVER, 0, 0);
  EXPECT_TRUE(notifier.MouseIsOver());
  SendMessageA(notifier.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(notifier.MouseIsOver());
}

TEST(NotifierPainting, DrawsTheSkinAndTheCaptionInTheHoverColours) {
  const int width = 217, height = 119;
  HBITMAP skin = MakeSkin(width, height, RGB(255, 255, 255));
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP target = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(dc, target);
  UniqueGdi<HFONT> font(CreateFontA(-24, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));

  NotifierPaint paint;
  paint.skin = skin;
  paint.skinSize = {width, height};
  paint.textRect = {10, 50, width - 10, height - 5};
  paint.caption = "WWWWWW";
  paint.normalFont = font.Get();
  paint.selectedFont = font.Get();
  paint.normalTextColor = RGB(0, 0, 0);
  paint.selectedTextColor = RGB(0, 0, 200);
  auto countColour = [&](COLORREF colour) {
    int count = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (GetPixel(dc, x, y) == colour) ++count;
    return count;
  };
  DrawNotifier(dc, paint);
  EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 255, 255)) << "the skin is the background";
  int black = countColour(RGB(0, 0, 0));
  EXPECT_GT(black, 50);
  EXPECT_EQ(countColour(RGB(0, 0, 200)), 0);
  for (int y = 0; y < 50; ++y) EXPECT_EQ(GetPixel(dc, 108, y), RGB(255, 255, 255)) << "text stays in its rectangle";

  paint.mouseIsOver = true;
  DrawNotifier(dc, paint);
  EXPECT_EQ(countColour(RGB(0, 0, 200)), black);
  EXPECT_EQ(countColour(RGB(0, 0, 0)), 0);

  SelectObject(dc, previous);
  DeleteObject(target);
  DeleteDC(dc);
  DeleteObject(skin);
}

}  // namespace
}  // namespace tidewell
