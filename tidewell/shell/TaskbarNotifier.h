#pragma once
// The slide-up popup: a borderless window shaped by its skin bitmap that
// slides out of the taskbar's edge, waits, and slides back. A click on it is
// reported to the owner with WM_NOTIFIER_CLICKED, its slide back with
// WM_NOTIFIER_GONE. Everything runs on the thread that created it.

#include <windows.h>

#include <functional>
#include <string>

#include "shared/win/Handles.h"

namespace tidewell {

enum TaskbarPlacement { kTaskbarTop = 1, kTaskbarLeft = 2, kTaskbarRight = 3, kTaskbarBottom = 4 };

// Where the taskbar sits, judged from the work area and the screen size.
int TaskbarPlacementOf(const RECT& workArea, int screenWidth, int screenHeight);

// The popup's shape: the skin's opaque pixels over a width cut to a multiple
// of 4. Null when the pixels cannot be read.
HRGN BuildSkinRegion(HBITMAP skin, COLORREF transparent);

struct NotifierPaint {
  HBITMAP skin = nullptr;
  SIZE skinSize{};
  RECT textRect{};
  std::string caption;
  bool mouseIsOver = false;
  HFONT normalFont = nullptr;
  HFONT selectedFont = nullptr;
  COLORREF normalTextColor = RGB(133, 146, 181);
  COLORREF selectedTextColor = RGB(10, 36, 106);
};

// The popup's picture: the skin at 0, 0 and the caption in its text
// rectangle, in the hover look while the mouse is over it.
void DrawNotifier(HDC dc, const NotifierPaint& paint);

class CTaskbarNotifier {
 public:
  enum AnimStatus { kIdle = 0, kAppearing = 1, kWaiting = 2, kDisappearing = 3 };
  enum TimerId : UINT_PTR { kTimerAppear = 1, kTimerWait = 2, kTimerDisappear = 3 };

  struct Screen {
    RECT workArea{};
    int width = 0;
    int height = 0;
  };

  CTaskbarNotifier();
  ~CTaskbarNotifier();
  CTaskbarNotifier(const CTaskbarNotifier&) = delete;
  CTaskbarNotifier& operator=(const CTaskbarNotifier&) = delete;

  bool Create(HWND owner);
  bool SetSkin(UINT bitmapId, int red, int green, int blue, HINSTANCE instance = nullptr);
  // Takes the bitmap; false (and nothing changed) for a null one.
  bool SetSkinBitmap(HBITMAP bitmap, int red, int green, int blue);
  // Styles: 1 bold, 2 italic, 4 underline.
  void SetTextFont(const char* face, int tenthsOfPoint, int normalStyle, int selectedStyle);
  void SetTextColor(COLORREF normal, COLORREF selected);
  void SetTextRect(const RECT& rect);
  // The increment argument is kept for callers; the step stays at 2 pixels.
  void Show(const std::string& caption, DWORD timeToShow, DWORD timeToStay, DWORD timeToHide, int increment = 1);
  void Hide();

  // Where the screen is measured from; tests give fixed screens.
  void SetScreenSource(std::function<Screen()> source) { screenSource_ = std::move(source); }

  HWND Handle() const { return window_; }
  int Status() const { return animStatus_; }
  int Placement() const { return taskbarPlacement_; }
  POINT CurrentPosition() const { return {currentPosX_, currentPosY_}; }
  POINT StartPosition() const { return {startPosX_, startPosY_}; }
  SIZE SkinSize() const { return {skinWidth_, skinHeight_}; }
  DWORD ShowEvents() const { return showEvents_; }
  DWORD HideEvents() const { return hideEvents_; }
  const std::string& Caption() const { return caption_; }
  bool MouseIsOver() const { return mouseIsOver_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnTimer(UINT_PTR id);
  void MoveToCurrent();
  void RedrawNow();
  Screen MeasureScreen() const;

  HWND window_ = nullptr;
  HWND owner_ = nullptr;
  UniqueGdi<HFONT> normalFont_;
  UniqueGdi<HFONT> selectedFont_;
  UniqueGdi<HBITMAP> skin_;
  UniqueGdi<HRGN> skinRegion_;  // kept until the window owns it
  int skinWidth_ = 0, skinHeight_ = 0;
  RECT textRect_{0, 0, 0, 0};
  COLORREF normalTextColor_ = RGB(133, 146, 181);
  COLORREF selectedTextColor_ = RGB(10, 36, 106);
  HCURSOR handCursor_ = nullptr;
  std::string caption_;
  bool mouseIsOver_ = false;
  int animStatus_ = kIdle;
  DWORD timeToShow_ = 0, timeToStay_ = 0, timeToHide_ = 0;
  DWORD showEvents_ = 0, hideEvents_ = 0;
  int startPosX_ = 0, startPosY_ = 0;
  int currentPosX_ = 0, currentPosY_ = 0;
  int taskbarPlacement_ = 0;
  int increment_ = 2;
  std::function<Screen()> screenSource_;
};

}  // namespace tidewell
