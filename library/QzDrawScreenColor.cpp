// QzDrawScreenColor.cpp: the screen's colour format and colour values.
#include "QzDrawScreenColor.h"

#include <cstring>

#include "QzDrawMemImg.h"
#include "QzDrawScreen.h"
#include "QzWinLog.h"

namespace {

// The format colour values are packed with: in software rendering the standard MEMIMG
// format the screen images are made in, else the screen's own.
const ColorFormat* ValueFormat() {
    if (g_screen.softwareRender)
        return GetMEMIMGColorFormat(GetColorBitDepth() == 16 ? 0 : 1, 0, 0);
    return &g_screen.screenFormat;
}

// A channel scaled to 0-255: a full channel gives 255; an absent one gives 0.
int ScaleChannel(uint32_t value, uint32_t mask, int shift, int width) {
    if (width == 0)
        return 0;
    uint64_t top = width >= 32 ? 0xFFFFFFFFull : (1ull << width) - 1;
    uint64_t ch = shift >= 32 ? 0 : (uint64_t)((value & mask) >> shift);
    return (int)(ch * 255 / top);
}

}  // namespace

int ClassifyScreenFormat(const ColorFormat* f) {
    if (f->redMask == 0xF800 && f->greenMask == 0x07E0 && f->blueMask == 0x001F)
        return 0;
    if (f->redMask == 0x7C00 && f->greenMask == 0x03E0 && f->blueMask == 0x001F)
        return 1;
    if (f->redMask == 0xFF0000 && f->greenMask == 0xFF00 && f->blueMask == 0xFF)
        return 2;
    return 3;
}

int ReadDisplayPixelFormat() {
    if (g_screen.directDraw == nullptr)
        return -1;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    g_screen.directDraw->GetDisplayMode(&desc);
    g_screen.screenPixelFormat = desc.ddpfPixelFormat;
    SetColorFormatFromPixelFormat(&desc.ddpfPixelFormat, &g_screen.screenFormat);
    WriteLog("カラー情報\n");
    IndentLog();
    WriteLogFormat("A:%08x  B:%08x  G:%08x  B:%08x", (unsigned)desc.ddpfPixelFormat.dwRGBAlphaBitMask,
                   (unsigned)desc.ddpfPixelFormat.dwRBitMask, (unsigned)desc.ddpfPixelFormat.dwGBitMask,
                   (unsigned)desc.ddpfPixelFormat.dwBBitMask);
    UnindentLog();
    g_screen.colorBitDepth = (int32_t)desc.ddpfPixelFormat.dwRGBBitCount;
    g_screen.screenFormatClass = ClassifyScreenFormat(&g_screen.screenFormat);
    return 0;
}

const ColorFormat* GetScreenColorFormat() {
    return &g_screen.screenFormat;
}

const DDPIXELFORMAT* GetScreenPixelFormat() {
    return &g_screen.screenPixelFormat;
}

uint32_t GetScreenColorValue(int r, int g, int b) {
    if (g_screen.colorBitDepth == 8) {
        int best = 0;
        int bestDistance = 0xFFFFFF;
        for (int i = 0; i < 256; ++i) {
            const PALETTEENTRY& e = g_screen.paletteEntries[i];
            int dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
            int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return (uint32_t)best;
    }
    // Alpha 0 places no alpha bits.
    return PackPixelRGBA(ValueFormat(), r, g, b, 0);
}

int GetColorValueRGB(uint32_t value, int* r, int* g, int* b) {
    if (g_screen.colorBitDepth == 8) {
        if (value > 255)
            return -1;
        const PALETTEENTRY& e = g_screen.paletteEntries[value];
        *r = e.peRed;
        *g = e.peGreen;
        *b = e.peBlue;
        return 0;
    }
    const ColorFormat* f = ValueFormat();
    *r = ScaleChannel(value, f->redMask, f->redShift, f->redWidth);
    *g = ScaleChannel(value, f->greenMask, f->greenShift, f->greenWidth);
    *b = ScaleChannel(value, f->blueMask, f->blueShift, f->blueWidth);
    return 0;
}
