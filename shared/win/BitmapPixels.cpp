#include "shared/win/BitmapPixels.h"

#include <cstdlib>

namespace tidewell {

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

BITMAPINFO TopDownFormat(int width, int height, WORD bitCount) {
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = bitCount;
  format.bmiHeader.biCompression = BI_RGB;
  return format;
}

bool ReadBitmapRows(HBITMAP bitmap, BITMAPINFO format, void* pixels) {
  int height = std::abs(format.bmiHeader.biHeight);
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, height, pixels, &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return rows == height;
}

}  // namespace tidewell
