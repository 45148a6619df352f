// gdi/bitmaps.h: device contexts over memory, for the DirectDraw layer's GetDC.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

namespace gdi {

// A context over a surface's pixels (pitch in bytes, top row first). The palette is read
// for 8-bit surfaces and may be null.
HDC CreateSurfaceDC(uint8_t* pixels, int pitch, int width, int height, const DDPIXELFORMAT& format);
void DestroySurfaceDC(HDC dc);

}  // namespace gdi
