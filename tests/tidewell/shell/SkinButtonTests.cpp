#include "tidewell/shell/SkinButton.h"

#include <gtest/gtest.h>

#include <vector>

#include "resources/resource.h"

namespace tidewell {
namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kInk = RGB(10, 120, 30);

// A bitmap of the ink colour with a one-pixel frame of the key colour.
UniqueGdi<HBITMAP> FramedBitmap(int width, int height) {
  std::vector<COLORREF> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bool frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
      COLORREF color = frame ? kKey : kInk;
      // A DIB's 32-bit pixels are BGR: swap red and blue.
      pixels[static_cast<size_t>(y) * width + x] = RGB(GetBValue(color), GetGValue(color), GetRValue(color));
    }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return UniqueGdi<HBITMAP>(bitmap);
}

// Renders a button into a memory bitmap and reads its pixels back.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_.Reset(CreateCompatibleBitmap(screen, width, height));
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_.Get());
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  RECT Bounds() const { return RECT{0, 0, width_, height_}; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  int width_, height_;
  HDC dc_;
  UniqueGdi<HBITMAP> bitmap_;
  HGDIOBJ old_;
};

SkinButtonLook Look(HBITMAP bitmap, const std::string& caption = "") {
  SkinButtonLook look;
  look.bitmap = bitmap;
  look.transparent = kKey;
  look.caption = caption;
  look.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  return look;
}

TEST(SkinButton, BitmapSitsSixPixelsFromTheLeftAndCentredVertically) {
  auto bitmap = FramedBitmap(16, 16);
  Canvas canvas(100, 30);
  DrawSkinButton(canvas.Dc(), canvas.Bounds(), Look(bitmap.Get()), {});
  // Centred: (30 - 16) / 2 = 7 from the top; the frame pixels are left out.
  EXPECT_EQ(canvas.At(6 + 1, 7 + 1), kInk);
  EXPECT_EQ(canvas.At(6 + 14, 7 + 14), kInk);
  EXPECT_NE(canvas.At(6, 7), kKey) << "the transparent colour is never drawn";
  EXPECT_EQ(canvas.At(6, 7), GetSysColor(COLOR_BTNFACE));
  EXPECT_NE(canvas.At(6 + 1, 7), kInk);
  EXPECT_NE(canvas.At(5 + 1, 7 + 1), kInk);  // nothing of it left of column 7
}

TEST(SkinButton, TallBitmapStartsFourPixelsBelowTheTop) {
  auto bitmap = FramedBitmap(16, 40);
  Canvas canvas(100, 30);
  DrawSkinButton(canvas.Dc(), canvas.Bounds(), Look(bitmap.Get()), {});
  EXPECT_EQ(canvas.At(6 + 1, 4 + 1), kInk);
  EXPECT_NE(canvas.At(6 + 1, 4), kInk);
  EXPECT_EQ(LayOutSkinButton(canvas.Bounds(), SIZE{16, 40}).bitmap.top, 4);
}

TEST(SkinButton, CaptionIsDrawnInTheTextColourInsideItsArea) {
  auto bitmap = FramedBitmap(16, 16);
  Canvas canvas(120, 30);
  RECT bounds = canvas.Bounds();
  DrawSkinButton(canvas.Dc(), bounds, Look(bitmap.Get(), "Registry"), {});
  SkinButtonParts parts = LayOutSkinButton(bounds, SIZE{16, 16});
  EXPECT_EQ(parts.caption.left, 6 + 16 + 6);
  EXPECT_EQ(parts.caption.top, 6);
  EXPECT_EQ(parts.caption.right, 120 - 6);
  EXPECT_EQ(parts.caption.bottom, 30 - 6);
  int inside = 0, outside = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      if (canvas.At(x, y) != kSkinButtonTextColor) continue;
      POINT point{x, y};
      (PtInRect(&parts.caption, point) ? inside : outside)++;
    }
  EXPECT_GT(inside, 10) << "the caption shows in RGB(0, 0, 200)";
  EXPECT_EQ(outside, 0);
}

TEST(SkinButton, DisabledButtonShowsNoTextColour) {
  auto bitmap = FramedBitmap(16, 16);
  Canvas canvas(120, 30);
  SkinButtonState disabled;
  disabled.disabled = true;
  DrawSkinButton(canvas.Dc(), canvas.Bounds(), Look(bitmap.Get(), "Stop scan"), disabled);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) ASSERT_NE(canvas.At(x, y), kSkinButtonTextColor) << x << "," << y;
  EXPECT_NE(canvas.At(6 + 1, 7 + 1), kInk) << "the bitmap is greyed";
}

// A dialog hands every WM_DRAWITEM over: only its own skin buttons are drawn,
// another owner-drawn control's item is left to whoever else draws it.
TEST(SkinButton, DrawItemRoutingDrawsOnlyTheDialogsOwnButtons) {
  auto makeButton = [](const char* caption) {
    return CreateWindowA("BUTTON", caption, WS_POPUP, 0, 0, 120, 30, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  };
  HWND remove = makeButton("Remove"), close = makeButton("Close"), stranger = makeButton("Other");
  std::vector<CSkinButton> buttons(2);
  buttons[0].Configure(remove, IDBMP_REMOVE_SELECTED, RGB(255, 255, 255), kSkinButtonTextColor, kSkinButtonStyle);
  buttons[1].Configure(close, IDBMP_CLOSE_RESULTS, RGB(255, 0, 255), kSkinButtonTextColor, kSkinButtonStyle);
  constexpr COLORREF kUntouched = RGB(1, 2, 3);
  for (HWND item : {close, stranger}) {
    Canvas canvas(120, 30);
    UniqueGdi<HBRUSH> fill(CreateSolidBrush(kUntouched));
    RECT bounds = canvas.Bounds();
    FillRect(canvas.Dc(), &bounds, fill.Get());
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_BUTTON;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.hwndItem = item;
    draw.hDC = canvas.Dc();
    draw.rcItem = bounds;
    bool drew = DrawSkinButtonItem(buttons, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(drew, item == close);
    EXPECT_EQ(canvas.At(1, 1) != kUntouched, item == close);
  }
  for (HWND button : {remove, close, stranger}) DestroyWindow(button);
}

}  // namespace
}  // namespace tidewell
