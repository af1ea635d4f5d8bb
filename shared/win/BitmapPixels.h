#pragma once
// Reading a bitmap's pixels as plain rows, for drawing that picks pixels by colour.

#include <windows.h>

namespace tidewell {

// {0, 0} when there is no bitmap or it cannot be read.
SIZE BitmapSize(HBITMAP bitmap);

// width x height, bitCount bits a pixel, the top row first.
BITMAPINFO TopDownFormat(int width, int height, WORD bitCount);

// The bitmap's rows in `format`, read through the screen's DC; pixels holds
// them all. False unless every row was read.
bool ReadBitmapRows(HBITMAP bitmap, BITMAPINFO format, void* pixels);

}  // namespace tidewell
