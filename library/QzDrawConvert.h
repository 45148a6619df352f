// QzDrawConvert.h: ConvertPixelRect, the one pixel-format conversion blit between two
// images described by ColorFormat records (8-bit palette, 16, 24 and 32 bits). On the
// way it can take alpha from a separate alpha image, turn a colour key into alpha,
// mirror rows, skip key-coloured pixels, keep only alpha, make alpha from red, and
// dither. It keeps no state between calls and allocates nothing.
//
// Bounds are the caller's: the rectangle must lie inside the source (and the alpha
// image), and the destination must hold the w x h block at (dstX, dstY). Source and
// destination may be the same memory with the same pitch when both have the same
// bytes per pixel and nothing is mirrored: every pixel is read before it is written.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "platform/win32.h"

// Returns 0; -1 for an empty rectangle or an 8-bit destination fed from a source that is
// not 8-bit (unless alphaOnly or keySkip are set); the highest index copied (0-255) for
// the 8-bit index copy.
//   keyToAlpha: key is 0xRRGGBB; pixels of that colour get alpha 0, others full alpha.
//   keySkip:    key is a raw source pixel value; such pixels are not written.
//   ditherMode: 0 none, 1 ordered 4 x 4, 2 error carry.
int ConvertPixelRect(void* dstPixels, int dstPitch, const ColorFormat* dstFormat, const void* srcPixels, int srcPitch,
                     const ColorFormat* srcFormat, const void* alphaPixels, int alphaPitch,
                     const ColorFormat* alphaFormat, int dstX, int dstY, const RECT* srcRect, int mirror,
                     int keyToAlpha, uint32_t key, int ditherMode, int alphaOnly, int alphaFromRed, int keySkip);
