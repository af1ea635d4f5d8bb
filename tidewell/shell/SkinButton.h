#pragma once
// The flat push button with a bitmap beside its caption. Drawing is a pure
// function of (device context, rectangle, look, state) so that tests can
// render it into a memory bitmap and read the pixels.

#include <windows.h>

#include <span>
#include <string>

#include "shared/win/Handles.h"

namespace tidewell {

inline constexpr int kSkinButtonStyle = 37;  // the one layout the program uses
inline constexpr COLORREF kSkinButtonTextColor = RGB(0, 0, 200);

struct SkinButtonLook {
  HBITMAP bitmap = nullptr;  // borrowed
  COLORREF transparent = RGB(255, 255, 255);
  COLORREF textColor = kSkinButtonTextColor;
  HFONT font = nullptr;  // borrowed; the parent's font
  std::string caption;
  int style = kSkinButtonStyle;
};

struct SkinButtonState {
  bool pressed = false;
  bool focused = false;
  bool disabled = false;
};

// Where the bitmap, caption and focus of a button go inside its rectangle.
struct SkinButtonParts {
  RECT bitmap{};   // where the bitmap is copied (its own size)
  RECT caption{};  // the caption's area
  RECT focus{};    // the focus rectangle
};
SkinButtonParts LayOutSkinButton(const RECT& button, SIZE bitmapSize);

void DrawSkinButton(HDC dc, const RECT& rect, const SkinButtonLook& look, const SkinButtonState& state);

// Binds the look to an existing push button of a dialog; the dialog forwards
// its WM_DRAWITEM for that button to Draw.
class CSkinButton {
 public:
  bool Configure(HWND button, int bitmapId, COLORREF transparent, COLORREF textColor, int style);
  void Draw(const DRAWITEMSTRUCT& item) const;
  HWND Handle() const { return button_; }
  int Id() const { return button_ ? GetDlgCtrlID(button_) : 0; }

 private:
  HWND button_ = nullptr;
  UniqueGdi<HBITMAP> bitmap_;
  COLORREF transparent_ = RGB(255, 255, 255);
  COLORREF textColor_ = kSkinButtonTextColor;
  int style_ = kSkinButtonStyle;
};

// A dialog's WM_DRAWITEM: draws the item when it is one of buttons; false
// when it is not, so the message goes on to whoever else draws it.
bool DrawSkinButtonItem(std::span<const CSkinButton> buttons, LPARAM drawItem);

}  // namespace tidewell
