// gdi/bitmaps.cpp: DIB sections, memory device contexts, the device contexts of
// DirectDraw surfaces, and BitBlt between them. A context is a view over pixels: a
// memory context over the bitmap selected into it, a surface context over the surface's
// memory. BitBlt copies SRCCOPY between contexts of the same format, clipped to both.
// Main thread.
#include "gdi/bitmaps.h"
#include "gdi/regions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "kernel/journal.h"
#include "platform/gdi.h"

namespace {

struct Bitmap {
    int width = 0;
    int height = 0;     // rows
    bool bottomUp = false;
    int bits = 0;
    uint32_t masks[3] = {0, 0, 0};
    int stride = 0;
    uint8_t* pixels = nullptr;
    int selectedIn = 0;  // contexts that hold it
};

struct Context {
    bool surface = false;
    // Surface contexts: the surface's memory.
    uint8_t* pixels = nullptr;
    int pitch = 0, width = 0, height = 0, bits = 0;
    uint32_t masks[3] = {0, 0, 0};
    // Memory contexts: the bitmap selected.
    HBITMAP bitmap = nullptr;
};

std::map<HDC, Context>& Contexts() {
    static std::map<HDC, Context> contexts;
    return contexts;
}

std::map<HBITMAP, Bitmap>& Bitmaps() {
    static std::map<HBITMAP, Bitmap> bitmaps;
    return bitmaps;
}

// The placeholder a fresh memory context holds, handed back by SelectObject.
HBITMAP DefaultBitmap() {
    static HBITMAP__ placeholder;
    return &placeholder;
}

// What BitBlt sees of a context: rows top first through RowOf.
struct View {
    uint8_t* pixels;
    int pitch;
    bool bottomUp;
    int width, height, bits;
    uint32_t masks[3];
    uint8_t* RowOf(int y) const { return pixels + (ptrdiff_t)(bottomUp ? height - 1 - y : y) * pitch; }
};

bool ViewOf(HDC dc, View* view) {
    auto found = Contexts().find(dc);
    if (found == Contexts().end())
        return false;
    const Context& c = found->second;
    if (c.surface) {
        *view = View{c.pixels, c.pitch, false, c.width, c.height, c.bits, {c.masks[0], c.masks[1], c.masks[2]}};
        return true;
    }
    auto bitmap = Bitmaps().find(c.bitmap);
    if (bitmap == Bitmaps().end())
        return false;
    const Bitmap& b = bitmap->second;
    *view = View{b.pixels, b.stride, b.bottomUp, b.width, b.height, b.bits, {b.masks[0], b.masks[1], b.masks[2]}};
    return true;
}

}  // namespace

namespace gdi {

HDC CreateSurfaceDC(uint8_t* pixels, int pitch, int width, int height, const DDPIXELFORMAT& format) {
    HDC dc = new HDC__();
    Context c;
    c.surface = true;
    c.pixels = pixels;
    c.pitch = pitch;
    c.width = width;
    c.height = height;
    c.bits = (int)format.dwRGBBitCount;
    c.masks[0] = format.dwRBitMask;
    c.masks[1] = format.dwGBitMask;
    c.masks[2] = format.dwBBitMask;
    Contexts()[dc] = c;
    return dc;
}

void DestroySurfaceDC(HDC dc) {
    if (Contexts().erase(dc))
        delete dc;
}

}  // namespace gdi

HDC CreateCompatibleDC(HDC) {
    HDC dc = new HDC__();
    Context c;
    c.bitmap = DefaultBitmap();
    Contexts()[dc] = c;
    return dc;
}

BOOL DeleteDC(HDC dc) {
    auto found = Contexts().find(dc);
    if (found == Contexts().end() || found->second.surface)
        return FALSE;
    auto bitmap = Bitmaps().find(found->second.bitmap);
    if (bitmap != Bitmaps().end())
        --bitmap->second.selectedIn;
    Contexts().erase(found);
    delete dc;
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    auto found = Contexts().find(dc);
    if (found == Contexts().end() || found->second.surface)
        return nullptr;
    HBITMAP bitmap = static_cast<HBITMAP>(object);
    auto next = Bitmaps().find(bitmap);
    if (next == Bitmaps().end() && bitmap != DefaultBitmap())
        return nullptr;
    HBITMAP previous = found->second.bitmap;
    auto old = Bitmaps().find(previous);
    if (old != Bitmaps().end())
        --old->second.selectedIn;
    if (next != Bitmaps().end())
        ++next->second.selectedIn;
    found->second.bitmap = bitmap;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (gdi::DeleteRegion(object))
        return TRUE;
    auto found = Bitmaps().find(static_cast<HBITMAP>(object));
    if (found == Bitmaps().end() || found->second.selectedIn > 0)
        return FALSE;
    std::free(found->second.pixels);
    HBITMAP handle = found->first;
    Bitmaps().erase(found);
    delete handle;
    return TRUE;
}

BOOL GdiFlush() {
    return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
    if (bits)
        *bits = nullptr;
    if (info == nullptr)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bitCount = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0 || (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32))
        return nullptr;
    if (h.biWidth > 16384 || h.biHeight > 16384 || h.biHeight < -16384)
        return nullptr;
    Bitmap b;
    b.width = h.biWidth;
    b.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    b.bottomUp = h.biHeight > 0;
    b.bits = bitCount;
    b.stride = (b.width * bitCount + 31) / 32 * 4;
    if (h.biCompression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32)) {
        std::memcpy(b.masks, info->bmiColors, sizeof b.masks);
    } else if (bitCount == 16) {
        b.masks[0] = 0x7C00, b.masks[1] = 0x03E0, b.masks[2] = 0x001F;
    } else if (bitCount >= 24) {
        b.masks[0] = 0xFF0000, b.masks[1] = 0xFF00, b.masks[2] = 0xFF;
    }
    b.pixels = (uint8_t*)std::calloc((size_t)b.stride * b.height, 1);
    if (b.pixels == nullptr)
        return nullptr;
    HBITMAP handle = new HBITMAP__();
    Bitmaps()[handle] = b;
    if (bits)
        *bits = b.pixels;
    kernel::JournalNote("gdi", "CreateDIBSection", (uint32_t)bitCount, nullptr, nullptr, 1);
    return handle;
}

int GetObjectA(HGDIOBJ object, int size, LPVOID out) {
    auto found = Bitmaps().find(static_cast<HBITMAP>(object));
    if (found == Bitmaps().end())
        return 0;
    if (out == nullptr)
        return (int)sizeof(BITMAP);
    if (size < (int)sizeof(BITMAP))
        return 0;
    const Bitmap& b = found->second;
    BITMAP bm = {};
    bm.bmWidth = b.width;
    bm.bmHeight = b.height;
    bm.bmWidthBytes = b.stride;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = (WORD)b.bits;
    bm.bmBits = b.pixels;
    std::memcpy(out, &bm, sizeof bm);
    return (int)sizeof bm;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    RECT dstRect = {x, y, x + width, y + height};
    RECT srcRect = {srcX, srcY, srcX + width, srcY + height};
    View d, s;
    BOOL ok = rop == SRCCOPY && ViewOf(dst, &d) && ViewOf(src, &s) && d.bits == s.bits &&
              d.masks[0] == s.masks[0] && d.masks[1] == s.masks[1] && d.masks[2] == s.masks[2];
    if (ok) {
        // Clipped to both contexts: a cut on one side moves the other side too.
        if (x < 0) { width += x; srcX -= x; x = 0; }
        if (y < 0) { height += y; srcY -= y; y = 0; }
        if (srcX < 0) { width += srcX; x -= srcX; srcX = 0; }
        if (srcY < 0) { height += srcY; y -= srcY; srcY = 0; }
        width = std::min({width, d.width - x, s.width - srcX});
        height = std::min({height, d.height - y, s.height - srcY});
        int bytes = d.bits / 8;
        if (width > 0 && height > 0) {
            std::vector<uint8_t> rows((size_t)width * bytes * height);
            for (int row = 0; row < height; ++row)
                std::memcpy(&rows[(size_t)row * width * bytes], s.RowOf(srcY + row) + (ptrdiff_t)srcX * bytes,
                            (size_t)width * bytes);
            for (int row = 0; row < height; ++row)
                std::memcpy(d.RowOf(y + row) + (ptrdiff_t)x * bytes, &rows[(size_t)row * width * bytes],
                            (size_t)width * bytes);
        }
    }
    kernel::JournalNote("gdi", "BitBlt", rop, &dstRect, &srcRect, ok);
    return ok;
}
