#include "tidewell/shell/SkinButton.h"

#include <algorithm>
#include <vector>

#include "shared/win/BitmapPixels.h"

namespace tidewell {

namespace {

constexpr int kMargin = 6;        // bitmap from the left edge; caption from everything
constexpr int kMinimumTop = 4;    // a tall bitmap never starts higher than this
constexpr int kFocusInset = 4;

// Copies the bitmap leaving out the transparent colour; when disabled the
// remaining pixels are drawn as a light grey version of themselves.
void DrawBitmap(HDC dc, const RECT& where, HBITMAP bitmap, COLORREF transparent, bool disabled) {
  int width = where.right - where.left, height = where.bottom - where.top;
  if (width <= 0 || height <= 0) return;
  BITMAPINFO info = TopDownFormat(width, height, 32);
  std::vector<RGBQUAD> source(static_cast<size_t>(width) * height);
  std::vector<RGBQUAD> target(source.size());
  if (!ReadBitmapRows(bitmap, info, source.data())) return;
  // What lies under the bitmap now, so that left-out pixels keep it.
  UniqueGdi<HBITMAP> canvas(CreateCompatibleBitmap(dc, width, height));
  UniqueMemoryDc memory(CreateCompatibleDC(dc));
  HGDIOBJ old = SelectObject(memory.Get(), canvas.Get());
  BitBlt(memory.Get(), 0, 0, width, height, dc, where.left, where.top, SRCCOPY);
  SelectObject(memory.Get(), old);
  GetDIBits(memory.Get(), canvas.Get(), 0, height, target.data(), &info, DIB_RGB_COLORS);
  for (size_t i = 0; i < source.size(); ++i) {
    const RGBQUAD& pixel = source[i];
    if (RGB(pixel.rgbRed, pixel.rgbGreen, pixel.rgbBlue) == transparent) continue;
    RGBQUAD drawn = pixel;
    if (disabled) {
      int luminance = (pixel.rgbRed * 30 + pixel.rgbGreen * 59 + pixel.rgbBlue * 11) / 100;
      BYTE grey = static_cast<BYTE>(150 + luminance * 90 / 255);
      drawn = RGBQUAD{grey, grey, grey, 0};
    }
    target[i] = drawn;
  }
  SetDIBitsToDevice(dc, where.left, where.top, width, height, 0, 0, 0, height, target.data(), &info,
                    DIB_RGB_COLORS);
}

}  // namespace

SkinButtonParts LayOutSkinButton(const RECT& button, SIZE bitmapSize) {
  SkinButtonParts parts;
  int height = button.bottom - button.top;
  int top = button.top + std::max(kMinimumTop, (height - static_cast<int>(bitmapSize.cy)) / 2);
  parts.bitmap = RECT{button.left + kMargin, top, button.left + kMargin + bitmapSize.cx, top + bitmapSize.cy};
  parts.caption = RECT{parts.bitmap.right + kMargin, button.top + kMargin, button.right - kMargin,
                       button.bottom - kMargin};
  // Around the whole face: four pixels inside the caption's own area would
  // cut through the text on a button of ordinary height.
  parts.focus = RECT{button.left + kFocusInset, button.top + kFocusInset, button.right - kFocusInset,
                     button.bottom - kFocusInset};
  return parts;
}

void DrawSkinButton(HDC dc, const RECT& rect, const SkinButtonLook& look, const SkinButtonState& state) {
  RECT face = rect;
  FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
  DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (state.pressed ? DFCS_PUSHED : 0));

  SkinButtonParts parts = LayOutSkinButton(rect, BitmapSize(look.bitmap));
  if (state.pressed) {  // the face sinks by a pixel
    OffsetRect(&parts.bitmap, 1, 1);
    OffsetRect(&parts.caption, 1, 1);
  }
  if (look.bitmap) {
    RECT clipped{};
    IntersectRect(&clipped, &parts.bitmap, &rect);
    if (EqualRect(&clipped, &parts.bitmap))
      DrawBitmap(dc, parts.bitmap, look.bitmap, look.transparent, state.disabled);
    else {
      // Taller or wider than the button: draw what fits.
      int saved = SaveDC(dc);
      IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
      DrawBitmap(dc, parts.bitmap, look.bitmap, look.transparent, state.disabled);
      RestoreDC(dc, saved);
    }
  }

  HGDIOBJ oldFont = look.font ? SelectObject(dc, look.font) : nullptr;
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, state.disabled ? GetSysColor(COLOR_GRAYTEXT) : look.textColor);
  RECT caption = parts.caption;
  DrawTextA(dc, look.caption.c_str(), static_cast<int>(look.caption.size()), &caption,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  if (oldFont) SelectObject(dc, oldFont);

  if (state.focused && !state.disabled) DrawFocusRect(dc, &parts.focus);
}

bool CSkinButton::Configure(HWND button, int bitmapId, COLORREF transparent, COLORREF textColor, int style) {
  if (!button) return false;
  button_ = button;
  transparent_ = transparent;
  textColor_ = textColor;
  style_ = style;
  bitmap_.Reset(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP,
                                                0, 0, LR_CREATEDIBSECTION)));
  SendMessageA(button, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
  return static_cast<bool>(bitmap_);
}

void CSkinButton::Draw(const DRAWITEMSTRUCT& item) const {
  char text[256] = {};
  GetWindowTextA(item.hwndItem, text, sizeof text);
  SkinButtonLook look;
  look.bitmap = bitmap_.Get();
  look.transparent = transparent_;
  look.textColor = textColor_;
  look.font = reinterpret_cast<HFONT>(SendMessageA(GetParent(item.hwndItem), WM_GETFONT, 0, 0));
  look.caption = text;
  look.style = style_;
  SkinButtonState state;
  state.pressed = (item.itemState & ODS_SELECTED) != 0;
  state.focused = (item.itemState & ODS_FOCUS) != 0;
  state.disabled = (item.itemState & ODS_DISABLED) != 0;
  DrawSkinButton(item.hDC, item.rcItem, look, state);
}

bool DrawSkinButtonItem(std::span<const CSkinButton> buttons, LPARAM drawItem) {
  const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(drawItem);
  for (const CSkinButton& button : buttons) {
    if (button.Handle() == item.hwndItem) {
      button.Draw(item);
      return true;
    }
  }
  return false;
}

}  // namespace tidewell
