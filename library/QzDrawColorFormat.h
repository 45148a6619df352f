// QzDrawColorFormat.h: the one record that describes the pixels of every store (the
// screen, surfaces, textures, decoded images, MEMIMG records), the functions that fill
// it, and the conversions between colour values and r, g, b, a channels.
//
// The record is a plain value owned by whoever embeds it; nothing here allocates.
// Its short form is the first 32 bytes (kColorFormatShortSize): MEMIMG standard formats,
// texture formats and the DirectDraw conversions use only those. The long form adds the
// 256-entry palette and heads every GraphImage and the screen format; only 8-bit
// formats read it. Callers hold the library lock as usual (the fill functions need none).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ddraw.h"

struct ColorFormat {
    uint16_t colorBitDepth;  // 8, 16, 24 or 32
    uint16_t pixelBytes;     // colorBitDepth / 8
    uint8_t redWidth;        // bits of each channel; 0 when the format has none
    uint8_t greenWidth;
    uint8_t blueWidth;
    uint8_t alphaWidth;
    uint8_t redShift;  // lowest bit of each channel in the pixel value; 0 when absent
    uint8_t greenShift;
    uint8_t blueShift;
    uint8_t alphaShift;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t alphaMask;
    // The bits of the depth that no channel covers, when the widths do not add up to the
    // depth; colour values made for the format carry them set.
    uint32_t fillMask;
    // Long form only. Entry i is a 32-bit value laid out as the masks say; the 8-bit
    // formats use X8R8G8B8, so its bytes are blue, green, red, 0.
    uint32_t palette[256];
};

constexpr size_t kColorFormatShortSize = 32;
static_assert(offsetof(ColorFormat, palette) == kColorFormatShortSize, "short form is 32 bytes");
static_assert(sizeof(ColorFormat) == 32 + 1024, "long form is 1056 bytes");

// Depth, masks, then widths, shifts and the fill mask from the masks. Returns 0.
int FillColorFormat(ColorFormat* out, int bits, unsigned redMask, unsigned greenMask, unsigned blueMask,
                    unsigned alphaMask);
// The fill mask from the widths and masks; returns format.
ColorFormat* UpdateColorFormatFillMask(ColorFormat* format);
// From a DirectDraw pixel format; the palette is left alone. Returns 0.
int SetColorFormatFromPixelFormat(const DDPIXELFORMAT* pf, ColorFormat* out);
// A 32-byte DDPF_RGB record (DDPF_RGB only, even with an alpha mask). Returns 0.
int FillDDPixelFormat(DDPIXELFORMAT* out, int bits, unsigned redMask, unsigned greenMask, unsigned blueMask,
                      unsigned alphaMask);

// The fixed formats of the image readers. Palette8 keeps the palette, RGB24 does not
// touch it, Gray8 fills entry i with (i, i, i, 0). Each returns 0.
int SetupPalette8ColorFormat(ColorFormat* format);
int SetupRGB24ColorFormat(ColorFormat* format);
int SetupGray8ColorFormat(ColorFormat* format);

// 1 when the depths and all four masks are equal, else 0.
int ComparePixelFormat(const ColorFormat* a, const ColorFormat* b);
// Channels cut to the format's widths and placed at its shifts, plus the fill mask;
// alpha only when the format has it.
uint32_t PackPixelRGBA(const ColorFormat* format, int r, int g, int b, int a);
// A value of src re-laid out as dst: channel bits shifted (never scaled); a source
// without alpha gives full alpha.
uint32_t ConvertPixelValue(const ColorFormat* dst, const ColorFormat* src, uint32_t value);
