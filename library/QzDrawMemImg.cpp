// QzDrawMemImg.cpp: MEMIMG set-up, release, views, the ten standard formats and the
// raw fill. Conversions into and out of a MEMIMG are in QzDrawMemImgConvert.cpp.
#include "QzDrawMemImg.h"

#include <cassert>
#include <climits>
#include <cstring>

#include "QzDrawScreen.h"
#include "QzGraphicsDrawState.h"
#include "QzWinMemory.h"

namespace {

// The ten standard formats: types 0 and 1 by (alpha, palette), then types 2 and 3.
struct StandardFormats {
    ColorFormat color[10];
    DDPIXELFORMAT pixel[10];
    StandardFormats() {
        std::memset(color, 0, sizeof color);
        std::memset(pixel, 0, sizeof pixel);
        struct Masks {
            int bits;
            uint32_t r, g, b, a;
        };
        const Masks masks[8] = {
            {16, 0xF800, 0x07E0, 0x001F, 0},        // 0 plain
            {32, 0xF800, 0x07E0, 0x001F, 0xFF0000},  // 0 alpha: colour in the low half
            {8, 0xF800, 0x07E0, 0x001F, 0},          // 0 palette
            {8, 0xF800, 0x07E0, 0x001F, 0xFF0000},   // 0 alpha and palette (never set up)
            {32, 0xFF0000, 0xFF00, 0xFF, 0},
            {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
            {8, 0xFF0000, 0xFF00, 0xFF, 0},
            {8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
        };
        for (int i = 0; i < 8; ++i) {
            FillColorFormat(&color[i], masks[i].bits, masks[i].r, masks[i].g, masks[i].b, masks[i].a);
            FillDDPixelFormat(&pixel[i], masks[i].bits, masks[i].r, masks[i].g, masks[i].b, masks[i].a);
        }
        // The single channel and depth kinds are written directly: every mask covers the
        // whole value.
        for (int i = 8; i < 10; ++i) {
            int bits = i == 8 ? 8 : 16;
            uint32_t mask = i == 8 ? 0xFFu : 0xFFFFu;
            ColorFormat& f = color[i];
            f.colorBitDepth = (uint16_t)bits;
            f.pixelBytes = (uint16_t)(bits / 8);
            f.redWidth = f.greenWidth = f.blueWidth = f.alphaWidth = (uint8_t)bits;
            f.redMask = f.greenMask = f.blueMask = f.alphaMask = mask;
            DDPIXELFORMAT& p = pixel[i];
            p.dwRGBBitCount = (DWORD)bits;
            p.dwRBitMask = p.dwGBitMask = p.dwBBitMask = p.dwRGBAlphaBitMask = mask;
        }
    }
};

const StandardFormats& Standard() {
    static const StandardFormats formats;
    return formats;
}

int StandardIndex(int type, int useAlpha, int usePalette) {
    switch (type) {
    case 0:
    case 1: return type * 4 + (usePalette ? 2 : 0) + (useAlpha ? 1 : 0);
    case 2: return 8;
    case 3: return 9;
    default: return -1;
    }
}

}  // namespace

const ColorFormat* GetMEMIMGColorFormat(int type, int useAlpha, int usePalette) {
    int i = StandardIndex(type, useAlpha, usePalette);
    return i < 0 ? nullptr : &Standard().color[i];
}

const DDPIXELFORMAT* GetMEMIMGPixelFormat(int type, int useAlpha, int usePalette) {
    int i = StandardIndex(type, useAlpha, usePalette);
    return i < 0 ? nullptr : &Standard().pixel[i];
}

int GetMEMIMGPixelBytes(int type, int usePalette, int useAlpha) {
    if (type == 2 || type == 3)
        return type == 2 ? 1 : 2;
    if (usePalette)
        return 1;
    if (type == 0)
        return useAlpha ? 4 : 2;
    return 4;
}

int SetupMEMIMG(MEMIMG* m, int width, int height, int pitch, uint32_t colorKey, int type, int usePalette,
                int useAlpha, int withExtras) {
    if (m->magic == kMemImgMagic)
        return -1;
    if (type < 0 || type > 3 || width <= 0 || height <= 0)
        return -1;
    if (usePalette)
        useAlpha = 0;
    if (type == 2 || type == 3)
        usePalette = useAlpha = 0;

    int bytes = GetMEMIMGPixelBytes(type, usePalette, useAlpha);
    int64_t lineBytes = (int64_t)width * bytes;
    if (lineBytes > INT_MAX - 15)
        return -1;
    // A given pitch must hold a line; the computed one is the line rounded up to 16.
    if (pitch != -1 && pitch < lineBytes)
        return -1;
    int64_t reach = pitch != -1 ? pitch : lineBytes;
    int64_t power = 1;
    int shift = 0;
    while (power < reach) {
        power <<= 1;
        ++shift;
    }
    int realPitch = pitch != -1 ? pitch : (int)((lineBytes + 15) & ~(int64_t)15);

    m->width = width;
    m->height = height;
    m->colorKey = colorKey;
    m->type = type;
    m->usePalette = usePalette;
    m->useAlpha = useAlpha;
    m->premultipliedValid = 0;
    m->runsValid = 0;
    m->palette = m->paletteStore;
    m->pitch = realPitch;
    m->pitchShift = realPitch == power ? shift : -1;
    m->format = GetMEMIMGColorFormat(type, useAlpha, usePalette);

    // Blocks are counted in size_t; AllocMemory takes an int.
    size_t imageBytes = (size_t)height * (size_t)realPitch;
    size_t runBytes = ((size_t)width + 5) * (size_t)height;
    const size_t limit = (size_t)INT_MAX - kAllocHeaderSize;
    uint8_t* ownPixels = nullptr;
    uint8_t* ownPremultiplied = nullptr;
    uint8_t* ownRuns = nullptr;
    if (m->pixels != nullptr) {
        m->externalPixels = 1;
    } else {
        if (imageBytes > limit)
            return -1;
        ownPixels = (uint8_t*)AllocMemory((int)imageBytes, "QzDrawMemImg", __LINE__);
        if (ownPixels == nullptr)
            return -1;
    }
    bool failed = false;
    if (withExtras) {
        if (useAlpha && m->premultiplied == nullptr) {
            ownPremultiplied = imageBytes <= limit ? (uint8_t*)AllocMemory((int)imageBytes, "QzDrawMemImg", __LINE__)
                                                   : nullptr;
            failed = ownPremultiplied == nullptr;
        }
        if (!failed && type != 2 && m->runs == nullptr) {
            ownRuns = runBytes <= limit ? (uint8_t*)AllocMemory((int)runBytes, "QzDrawMemImg", __LINE__) : nullptr;
            failed = ownRuns == nullptr;
        }
    }
    // A failing set-up frees what it allocated itself and keeps the record unset.
    if (failed) {
        FreeMemory(ownPixels);
        FreeMemory(ownPremultiplied);
        return -1;
    }
    if (ownPixels) {
        m->pixels = ownPixels;
        m->externalPixels = 0;
    }
    if (ownPremultiplied)
        m->premultiplied = ownPremultiplied;
    if (ownRuns)
        m->runs = ownRuns;
    m->magic = kMemImgMagic;
    return 0;
}

void ReleaseMEMIMG(MEMIMG* m) {
    if (m->magic != kMemImgMagic)
        return;
    if (!m->externalPixels && m->pixels)
        FreeMemory(m->pixels);
    if (m->premultiplied)
        FreeMemory(m->premultiplied);
    if (m->runs)
        FreeMemory(m->runs);
    m->pixels = nullptr;
    m->premultiplied = nullptr;
    m->runs = nullptr;
    m->magic = 0;
}

int CheckMEMIMGValid(const MEMIMG* m) {
    return m->pixels != nullptr ? 1 : 0;
}

MEMIMG* MakeMEMIMGView(MEMIMG* view, const MEMIMG* src, int x, int y, int width, int height) {
    // A view outside its source would hand the blitters memory that is not the image's.
    assert(x >= 0 && y >= 0 && width >= 0 && height >= 0 && x + width <= src->width && y + height <= src->height);
    view->magic = kMemImgMagic;
    view->width = width;
    view->height = height;
    view->pitch = src->pitch;
    view->pitchShift = src->pitchShift;
    view->format = src->format;
    view->colorKey = src->colorKey;
    view->type = src->type;
    view->usePalette = src->usePalette;
    view->paletteCount = src->paletteCount;
    view->useAlpha = src->useAlpha;
    view->premultipliedValid = 0;
    view->runsValid = 0;
    view->externalPixels = 0;
    view->palette = src->palette;
    view->pixels = src->pixels + (ptrdiff_t)y * src->pitch + (ptrdiff_t)x * src->format->pixelBytes;
    view->premultiplied = nullptr;
    view->runs = nullptr;
    return view;
}

int CreateScreenMEMIMG(MEMIMG* m, int width, int height, int type) {
    std::memset(m, 0, sizeof *m);
    if (type == -1)
        type = GetColorBitDepth() == 16 ? 0 : 1;
    return SetupMEMIMG(m, width, height, -1, 0, type, 0, 0, 0);
}

int CreateZBufferMEMIMG(MEMIMG* m, int width, int height) {
    std::memset(m, 0, sizeof *m);
    return SetupMEMIMG(m, width, height, -1, 0, kMemImgDepth16, 0, 0, 0);
}

void FillMEMIMGRawRect(MEMIMG* m, const RECT* rect, uint32_t value) {
    if (m->pixels == nullptr || m->format == nullptr)
        return;
    RECT r = rect ? *rect : RECT{0, 0, m->width, m->height};
    RECT whole = {0, 0, m->width, m->height};
    ClipRect(&r, &whole);
    if (r.left == r.right || r.top == r.bottom)
        return;
    int bytes = m->format->pixelBytes;
    if (bytes != 1 && bytes != 2 && bytes != 4)
        return;
    for (int y = r.top; y < r.bottom; ++y) {
        uint8_t* row = m->pixels + (ptrdiff_t)y * m->pitch + (ptrdiff_t)r.left * bytes;
        int n = r.right - r.left;
        if (bytes == 1) {
            std::memset(row, (int)(value & 0xFF), (size_t)n);
        } else if (bytes == 2) {
            uint16_t v = (uint16_t)value;
            for (int x = 0; x < n; ++x)
                std::memcpy(row + x * 2, &v, 2);
        } else {
            for (int x = 0; x < n; ++x)
                std::memcpy(row + x * 4, &value, 4);
        }
    }
}
