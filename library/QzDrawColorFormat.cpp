// QzDrawColorFormat.cpp: filling ColorFormat records and converting colour values.
// The screen's own format and the screen colour values live in QzDrawScreenColor.cpp.
#include "QzDrawColorFormat.h"

#include <cstring>

namespace {

// Probe upward from bit 0 to the first set bit (the shift), then count set bits up to
// the first clear one (the width). A zero mask gives 0 and 0.
void FindMaskShiftWidth(uint32_t mask, uint8_t* shift, uint8_t* width) {
    *shift = 0;
    *width = 0;
    if (mask == 0)
        return;
    int bit = 0;
    while (!(mask >> bit & 1u))
        ++bit;
    *shift = (uint8_t)bit;
    int count = 0;
    while (bit < 32 && (mask >> bit & 1u)) {
        ++count;
        ++bit;
    }
    *width = (uint8_t)count;
}

void SetMasks(ColorFormat* out, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    out->redMask = red;
    out->greenMask = green;
    out->blueMask = blue;
    out->alphaMask = alpha;
    FindMaskShiftWidth(red, &out->redShift, &out->redWidth);
    FindMaskShiftWidth(green, &out->greenShift, &out->greenWidth);
    FindMaskShiftWidth(blue, &out->blueShift, &out->blueWidth);
    FindMaskShiftWidth(alpha, &out->alphaShift, &out->alphaWidth);
}

// The low byte of a channel cut (or, for a channel wider than 8 bits, widened) to width
// bits and placed at shift. A wider channel shifts left rather than by a negative count.
uint32_t PlaceChannel(int value, int width, int shift) {
    if (width == 0)
        return 0;
    uint32_t v = (uint32_t)value & 0xFFu;
    v = width <= 8 ? v >> (8 - width) : v << (width - 8);
    return shift < 32 ? v << shift : 0;
}

// One channel of value from src's layout to dst's width, unshifted.
uint32_t MoveChannel(uint32_t value, uint32_t srcMask, int srcShift, int srcWidth, int dstWidth) {
    uint32_t v = (value & srcMask) >> srcShift;
    int diff = srcWidth - dstWidth;
    if (diff >= 32 || diff <= -32)
        return 0;
    return diff > 0 ? v >> diff : v << -diff;
}

uint32_t ShiftLeft(uint32_t v, int shift) {
    return shift < 32 ? v << shift : 0;
}

}  // namespace

ColorFormat* UpdateColorFormatFillMask(ColorFormat* format) {
    int widths = format->redWidth + format->greenWidth + format->blueWidth + format->alphaWidth;
    if (widths == format->colorBitDepth) {
        format->fillMask = 0;
        return format;
    }
    uint32_t depthBits = format->colorBitDepth >= 32 ? 0xFFFFFFFFu : (1u << format->colorBitDepth) - 1u;
    format->fillMask = depthBits & ~(format->redMask | format->greenMask | format->blueMask | format->alphaMask);
    return format;
}

int FillColorFormat(ColorFormat* out, int bits, unsigned redMask, unsigned greenMask, unsigned blueMask,
                    unsigned alphaMask) {
    out->colorBitDepth = (uint16_t)bits;
    out->pixelBytes = (uint16_t)(bits / 8);
    SetMasks(out, redMask, greenMask, blueMask, alphaMask);
    UpdateColorFormatFillMask(out);
    return 0;
}

int SetColorFormatFromPixelFormat(const DDPIXELFORMAT* pf, ColorFormat* out) {
    int depth = (int)(pf->dwRGBBitCount & 0xFFu);
    out->colorBitDepth = (uint16_t)depth;
    out->pixelBytes = (uint16_t)(depth / 8);
    SetMasks(out, pf->dwRBitMask, pf->dwGBitMask, pf->dwBBitMask, pf->dwRGBAlphaBitMask);
    UpdateColorFormatFillMask(out);
    return 0;
}

int FillDDPixelFormat(DDPIXELFORMAT* out, int bits, unsigned redMask, unsigned greenMask, unsigned blueMask,
                      unsigned alphaMask) {
    std::memset(out, 0, sizeof *out);
    out->dwSize = sizeof *out;
    out->dwFlags = DDPF_RGB;
    out->dwRGBBitCount = (DWORD)bits;
    out->dwRBitMask = redMask;
    out->dwGBitMask = greenMask;
    out->dwBBitMask = blueMask;
    out->dwRGBAlphaBitMask = alphaMask;
    return 0;
}

int SetupPalette8ColorFormat(ColorFormat* format) {
    // The pixel is an index; the masks describe the X8R8G8B8 palette entries, and the
    // fill mask covers their unused top byte.
    format->colorBitDepth = 8;
    format->pixelBytes = 1;
    SetMasks(format, 0xFF0000u, 0xFF00u, 0xFFu, 0);
    format->fillMask = 0xFF000000u;
    return 0;
}

int SetupRGB24ColorFormat(ColorFormat* format) {
    format->colorBitDepth = 24;
    format->pixelBytes = 3;
    SetMasks(format, 0xFF0000u, 0xFF00u, 0xFFu, 0);
    format->fillMask = 0;
    return 0;
}

int SetupGray8ColorFormat(ColorFormat* format) {
    SetupPalette8ColorFormat(format);
    for (uint32_t i = 0; i < 256; ++i)
        format->palette[i] = i << 16 | i << 8 | i;
    return 0;
}

int ComparePixelFormat(const ColorFormat* a, const ColorFormat* b) {
    return a->colorBitDepth == b->colorBitDepth && a->redMask == b->redMask && a->greenMask == b->greenMask &&
                   a->blueMask == b->blueMask && a->alphaMask == b->alphaMask
               ? 1
               : 0;
}

uint32_t PackPixelRGBA(const ColorFormat* format, int r, int g, int b, int a) {
    uint32_t value = PlaceChannel(r, format->redWidth, format->redShift) +
                     PlaceChannel(g, format->greenWidth, format->greenShift) +
                     PlaceChannel(b, format->blueWidth, format->blueShift) + format->fillMask;
    if (format->alphaWidth != 0)
        value += PlaceChannel(a, format->alphaWidth, format->alphaShift);
    return value;
}

uint32_t ConvertPixelValue(const ColorFormat* dst, const ColorFormat* src, uint32_t value) {
    uint32_t r = MoveChannel(value, src->redMask, src->redShift, src->redWidth, dst->redWidth);
    uint32_t g = MoveChannel(value, src->greenMask, src->greenShift, src->greenWidth, dst->greenWidth);
    uint32_t b = MoveChannel(value, src->blueMask, src->blueShift, src->blueWidth, dst->blueWidth);
    uint32_t a = src->alphaWidth == 0
                     ? dst->alphaMask >> dst->alphaShift
                     : MoveChannel(value, src->alphaMask, src->alphaShift, src->alphaWidth, dst->alphaWidth);
    return (ShiftLeft(r, dst->redShift) & dst->redMask) | (ShiftLeft(g, dst->greenShift) & dst->greenMask) |
           (ShiftLeft(b, dst->blueShift) & dst->blueMask) | (ShiftLeft(a, dst->alphaShift) & dst->alphaMask) |
           dst->fillMask;
}
