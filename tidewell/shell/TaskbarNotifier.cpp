#include "tidewell/shell/TaskbarNotifier.h"

#include <vector>

#include "shared/win/BitmapPixels.h"
#include "tidewell/shell/Messages.h"

namespace tidewell {

namespace {

constexpr const char* kWindowClass = "TidewellTaskbarNotifier";
constexpr UINT kNoMove = SWP_NOACTIVATE | SWP_NOZORDER;

}  // namespace

int TaskbarPlacementOf(const RECT& workArea, int screenWidth, int screenHeight) {
  bool narrower = workArea.right - workArea.left < screenWidth;
  bool lower = workArea.bottom - workArea.top < screenHeight;
  if (narrower && workArea.left == 0) return kTaskbarRight;
  if (narrower) return kTaskbarLeft;
  if (lower && workArea.top != 0) return kTaskbarTop;
  return kTaskbarBottom;
}

HRGN BuildSkinRegion(HBITMAP skin, COLORREF transparent) {
  SIZE size = BitmapSize(skin);
  int width = size.cx & ~3;  // whole 32-bit words per 24-bit row
  int height = size.cy;
  if (width <= 0 || height <= 0) return nullptr;
  std::vector<BYTE> pixels(static_cast<size_t>(width) * 3 * height);
  if (!ReadBitmapRows(skin, TopDownFormat(width, height, 24), pixels.data())) return nullptr;

  // One rectangle per run of opaque pixels; the same shape as cutting out
  // each transparent pixel, built in one call.
  std::vector<RECT> runs;
  for (int y = 0; y < height; ++y) {
    const BYTE* row = pixels.data() + static_cast<size_t>(y) * width * 3;
    int x = 0;
    while (x < width) {
      auto isTransparent = [&](int at) {
        const BYTE* p = row + at * 3;  // blue, green, red
        return RGB(p[2], p[1], p[0]) == transparent;
      };
      while (x < width && isTransparent(x)) ++x;
      int start = x;
      while (x < width && !isTransparent(x)) ++x;
      if (x > start) runs.push_back({start, y, x, y + 1});
    }
  }
  std::vector<BYTE> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
  auto* region = reinterpret_cast<RGNDATA*>(data.data());
  region->rdh.dwSize = sizeof(RGNDATAHEADER);
  region->rdh.iType = RDH_RECTANGLES;
  region->rdh.nCount = static_cast<DWORD>(runs.size());
  region->rdh.rcBound = {0, 0, width, height};
  if (!runs.empty()) memcpy(region->Buffer, runs.data(), runs.size() * sizeof(RECT));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), region);
}

void DrawNotifier(HDC dc, const NotifierPaint& paint) {
  if (paint.skin) {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, paint.skin);
    BitBlt(dc, 0, 0, paint.skinSize.cx, paint.skinSize.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
  }
  HFONT font = paint.mouseIsOver ? paint.selectedFont : paint.normalFont;
  HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
  ::SetTextColor(dc, paint.mouseIsOver ? paint.selectedTextColor : paint.normalTextColor);
  SetBkMode(dc, TRANSPARENT);
  RECT text = paint.textRect;
  // DT_VCENTER works on single lines only; wrapped text is centred by hand.
  RECT measured = text;
  DrawTextA(dc, paint.caption.c_str(), -1, &measured, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  int spare = (text.bottom - text.top) - (measured.bottom - measured.top);
  if (spare > 0) text.top += spare / 2;
  DrawTextA(dc, paint.caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS);
  if (previousFont) SelectObject(dc, previousFont);
}

CTaskbarNotifier::CTaskbarNotifier() = default;

CTaskbarNotifier::~CTaskbarNotifier() {
  if (window_) DestroyWindow(window_);
}

bool CTaskbarNotifier::Create(HWND owner) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  if (!GetClassInfoA(instance, kWindowClass, &windowClass)) {
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass)) return false;
  }
  owner_ = owner;
  handCursor_ = LoadCursorA(nullptr, IDC_HAND);
  window_ = CreateWindowExA(0, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, owner, nullptr, instance, this);
  return window_ != nullptr;
}

bool CTaskbarNotifier::SetSkin(UINT bitmapId, int red, int green, int blue, HINSTANCE instance) {
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(instance ? instance : GetModuleHandleA(nullptr),
                                                   MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  return SetSkinBitmap(bitmap, red, green, blue);
}

bool CTaskbarNotifier::SetSkinBitmap(HBITMAP bitmap, int red, int green, int blue) {
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) {
    if (bitmap) DeleteObject(bitmap);
    return false;
  }
  skin_.Reset(bitmap);
  skinWidth_ = info.bmWidth;
  skinHeight_ = info.bmHeight;
  textRect_ = {0, 0, skinWidth_, skinHeight_};
  if (red < 65535 && green < 65535 && blue < 65535) {
    skinRegion_.Reset(BuildSkinRegion(bitmap, RGB(red, green, blue)));
    // The window owns the region once it has it.
    if (skinRegion_ && window_ && SetWindowRgn(window_, skinRegion_.Get(), TRUE)) skinRegion_.Release();
  }
  return true;
}

void CTaskbarNotifier::SetTextFont(const char* face, int tenthsOfPoint, int normalStyle, int selectedStyle) {
  HDC screen = GetDC(nullptr);
  int height = -MulDiv(tenthsOfPoint, GetDeviceCaps(screen, LOGPIXELSY), 720);
  ReleaseDC(nullptr, screen);
  auto make = [&](int style) {
    return CreateFontA(height, 0, 0, 0, (style & 1) ? FW_BOLD : FW_NORMAL, (style & 2) != 0, (style & 4) != 0, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
  };
  normalFont_.Reset(make(normalStyle));
  selectedFont_.Reset(make(selectedStyle));
}

void CTaskbarNotifier::SetTextColor(COLORREF normal, COLORREF selected) {
  normalTextColor_ = normal;
  selectedTextColor_ = selected;
  RedrawNow();
}

void CTaskbarNotifier::SetTextRect(const RECT& rect) { textRect_ = rect; }

CTaskbarNotifier::Screen CTaskbarNotifier::MeasureScreen() const {
  if (screenSource_) return screenSource_();
  Screen screen;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen.workArea, 0);
  screen.width = GetSystemMetrics(SM_CXSCREEN);
  screen.height = GetSystemMetrics(SM_CYSCREEN);
  return screen;
}

void CTaskbarNotifier::Show(const std::string& caption, DWORD timeToShow, DWORD timeToStay, DWORD timeToHide,
                            int increment) {
  (void)increment;
  if (!window_) return;
  caption_ = caption;
  timeToShow_ = timeToShow;
  timeToStay_ = timeToStay;
  timeToHide_ = timeToHide;
  Screen screen = MeasureScreen();
  const RECT& work = screen.workArea;
  int placement = TaskbarPlacementOf(work, screen.width, screen.height);

  switch (animStatus_) {
    case kIdle: {
      int span = (placement == kTaskbarLeft || placement == kTaskbarRight) ? skinWidth_ : skinHeight_;
      int steps = span / increment_;
      if (steps == 0) return;  // no skin, or one too small to slide
      ShowWindow(window_, SW_SHOWNORMAL);
      switch (placement) {
        case kTaskbarRight: startPosX_ = work.right, startPosY_ = work.bottom - skinHeight_; break;
        case kTaskbarLeft: startPosX_ = work.left - skinWidth_, startPosY_ = work.bottom - skinHeight_; break;
        case kTaskbarTop: startPosX_ = work.right - skinWidth_, startPosY_ = work.top - skinHeight_; break;
        default: startPosX_ = work.right - skinWidth_, startPosY_ = work.bottom; break;
      }
      showEvents_ = timeToShow_ / steps;
      hideEvents_ = timeToHide_ / steps;
      currentPosX_ = startPosX_;
      currentPosY_ = startPosY_;
      taskbarPlacement_ = placement;
      SetTimer(window_, kTimerAppear, showEvents_, nullptr);
      return;
    }
    case kAppearing: break;
    case kWaiting:
      RedrawNow();
      KillTimer(window_, kTimerWait);
      SetTimer(window_, kTimerWait, timeToStay_, nullptr);
      return;
    case kDisappearing:
      KillTimer(window_, kTimerDisappear);
      SetTimer(window_, kTimerWait, timeToStay_, nullptr);
      animStatus_ = kWaiting;
      switch (taskbarPlacement_) {
        case kTaskbarRight: currentPosX_ = work.right - skinWidth_; break;
        case kTaskbarLeft: currentPosX_ = work.left; break;
        case kTaskbarTop: currentPosY_ = work.top; break;
        default: currentPosY_ = work.bottom - skinHeight_; break;
      }
      MoveToCurrent();
      break;
  }
  RedrawNow();
}

void CTaskbarNotifier::Hide() {
  if (!window_) return;
  KillTimer(window_, kTimerAppear);
  KillTimer(window_, kTimerWait);
  KillTimer(window_, kTimerDisappear);
  SetWindowPos(window_, nullptr, 0, 0, 0, 0, kNoMove);
  ShowWindow(window_, SW_HIDE);
  animStatus_ = kIdle;
}

void CTaskbarNotifier::MoveToCurrent() {
  SetWindowPos(window_, nullptr, currentPosX_, currentPosY_, skinWidth_, skinHeight_, kNoMove);
}

void CTaskbarNotifier::RedrawNow() {
  if (window_) RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CTaskbarNotifier::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerAppear: {
      animStatus_ = kAppearing;
      bool sliding = false;
      switch (taskbarPlacement_) {
        case kTaskbarTop:
          if ((sliding = currentPosY_ - startPosY_ < skinHeight_)) currentPosY_ += increment_;
          break;
        case kTaskbarLeft:
          if ((sliding = currentPosX_ - startPosX_ < skinWidth_)) currentPosX_ += increment_;
          break;
        case kTaskbarRight:
          if ((sliding = currentPosX_ > startPosX_ - skinWidth_)) currentPosX_ -= increment_;
          break;
        default:
          if ((sliding = currentPosY_ > startPosY_ - skinHeight_)) currentPosY_ -= increment_;
          break;
      }
      if (!sliding) {
        KillTimer(window_, kTimerAppear);
        SetTimer(window_, kTimerWait, timeToStay_, nullptr);
        animStatus_ = kWaiting;
      }
      MoveToCurrent();
      break;
    }
    case kTimerWait:
      KillTimer(window_, kTimerWait);
      SetTimer(window_, kTimerDisappear, hideEvents_, nullptr);
      break;
    case kTimerDisappear: {
      animStatus_ = kDisappearing;
      bool sliding = false;
      switch (taskbarPlacement_) {
        case kTaskbarTop:
          if ((sliding = currentPosY_ > startPosY_)) currentPosY_ -= increment_;
          break;
        case kTaskbarLeft:
          if ((sliding = currentPosX_ > startPosX_)) currentPosX_ -= increment_;
          break;
        case kTaskbarRight:
          if ((sliding = currentPosX_ < startPosX_)) currentPosX_ += increment_;
          break;
        default:
          if ((sliding = currentPosY_ < startPosY_)) currentPosY_ += increment_;
          break;
      }
      if (!sliding) {
        KillTimer(window_, kTimerDisappear);
        Hide();
        if (owner_) PostMessageA(owner_, WM_NOTIFIER_GONE, 0, 0);
        return;  // hidden at 0, 0 with no size
      }
      MoveToCurrent();
      break;
    }
  }
}

LRESULT CALLBACK CTaskbarNotifier::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<CTaskbarNotifier*>(create->lpCreateParams)->window_ = window;
  }
  auto* self = reinterpret_cast<CTaskbarNotifier*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
  }
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT CTaskbarNotifier::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = window_;
  switch (message) {
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_ERASEBKGND: return 1;  // the skin covers everything
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      NotifierPaint paint;
      paint.skin = skin_.Get();
      paint.skinSize = {skinWidth_, skinHeight_};
      paint.textRect = textRect_;
      paint.caption = caption_;
      paint.mouseIsOver = mouseIsOver_;
      paint.normalFont = normalFont_.Get();
      paint.selectedFont = selectedFont_.Get();
      paint.normalTextColor = normalTextColor_;
      paint.selectedTextColor = selectedTextColor_;
      DrawNotifier(dc, paint);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: {
      TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, window, 1};
      TrackMouseEvent(&track);
      return 0;
    }
    case WM_MOUSEHOVER:
      if (!mouseIsOver_) {
        mouseIsOver_ = true;
        RedrawNow();
      }
      return 0;
    case WM_MOUSELEAVE:
      if (mouseIsOver_) {
        mouseIsOver_ = false;
        RedrawNow();
      }
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && handCursor_) {
        SetCursor(handCursor_);
        return TRUE;
      }
      break;
    case WM_LBUTTONUP:
      if (owner_) PostMessageA(owner_, WM_NOTIFIER_CLICKED, 0, 0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace tidewell
