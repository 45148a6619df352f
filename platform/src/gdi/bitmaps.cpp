// gdi/bitmaps.cpp: DIB sections, memory device contexts, the device contexts of
// DirectDraw surfaces, and the copies between them. A context is a view over pixels: a
// memory context over the bitmap selected into it, a surface context over the surface's
// memory. BitBlt copies SRCCOPY between contexts of the same format, clipped to both;
// SetDIBitsToDevice and StretchDIBits convert a whole DIB in memory into the selected
// bitmap's format (the conversion itself is in dibconvert.cpp). Main thread.
#include "gdi/bitmaps.h"
#include "gdi/dibconvert.h"
#include "gdi/fonts.h"
#include "gdi/regions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "kernel/diag.h"
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
    RGBQUAD colors[256] = {};  // 8-bit sections: the colour table they were made with
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
    gdi::ForgetContextFont(dc);  // fonts keep their own selection (gdi/fonts.cpp)
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
    if (gdi::IsFont(object))  // fonts keep their own selection (gdi/fonts.cpp)
        return gdi::SelectFont(dc, object);
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
    if (gdi::DeleteFontObject(object))  // gdi/fonts.cpp
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
    if (kernel::ConsumeFault("CreateDIBSection"))
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, (HBITMAP) nullptr);
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bitCount = h.biBitCount;
    bool fields = h.biCompression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32);
    if (h.biWidth < 1 || h.biHeight == 0 || (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) ||
        (h.biCompression != BI_RGB && !fields))
        return kernel::Fail(ERROR_INVALID_PARAMETER, (HBITMAP) nullptr);
    int64_t rows = h.biHeight < 0 ? -(int64_t)h.biHeight : (int64_t)h.biHeight;
    int64_t stride = ((int64_t)h.biWidth * bitCount + 31) / 32 * 4;
    if (stride * rows > (int64_t)1 << 31)
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, (HBITMAP) nullptr);
    Bitmap b;
    b.width = h.biWidth;
    b.height = (int)rows;
    b.bottomUp = h.biHeight > 0;
    b.bits = bitCount;
    b.stride = (int)stride;
    if (fields) {
        std::memcpy(b.masks, info->bmiColors, sizeof b.masks);
    } else if (bitCount == 16) {
        b.masks[0] = 0x7C00, b.masks[1] = 0x03E0, b.masks[2] = 0x001F;
    } else if (bitCount >= 24) {
        b.masks[0] = 0xFF0000, b.masks[1] = 0xFF00, b.masks[2] = 0xFF;
    } else {
        // The 256-entry colour table that follows the header.
        std::memcpy(b.colors, info->bmiColors, sizeof b.colors);
    }
    b.pixels = (uint8_t*)std::calloc((size_t)stride * (size_t)rows, 1);
    if (b.pixels == nullptr)
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, (HBITMAP) nullptr);
    HBITMAP handle = new HBITMAP__();
    Bitmaps()[handle] = b;
    // A section whose bits the caller never gets, as a driver short of memory may answer.
    if (bits)
        *bits = kernel::ConsumeFault("CreateDIBSection:NoBits") ? nullptr : b.pixels;
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

namespace {

// The whole-picture transfers the library makes: the DIB's |height| lines into the
// bitmap selected in dc, at its top-left corner, mirrored left to right or not.
int TransferDib(HDC dc, const void* bits, const BITMAPINFO* info, bool mirror) {
    View d;
    if (!ViewOf(dc, &d) || bits == nullptr || info == nullptr)
        return 0;
    gdi::DibTarget target;
    target.bits = d.bits;
    std::memcpy(target.masks, d.masks, sizeof target.masks);
    target.width = d.width;
    target.height = d.height;
    const View view = d;
    target.rowOf = [&view](int y) { return view.RowOf(y); };
    return gdi::ConvertDibToTarget(bits, info, target, mirror);
}

}  // namespace

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    int copied = 0;
    if (!kernel::ConsumeFault("SetDIBitsToDevice") && info != nullptr && usage == DIB_RGB_COLORS) {
        const BITMAPINFOHEADER& h = info->bmiHeader;
        int64_t rows = h.biHeight < 0 ? -(int64_t)h.biHeight : (int64_t)h.biHeight;
        // Only the whole picture at the origin: the one call the library makes.
        if (xDest == 0 && yDest == 0 && xSrc == 0 && ySrc == 0 && startScan == 0 && (int64_t)width == h.biWidth &&
            (int64_t)height == rows && (int64_t)lines == rows)
            copied = TransferDib(dc, bits, info, false);
    }
    kernel::JournalNote("gdi", "SetDIBitsToDevice", (uint32_t)copied, nullptr, nullptr, copied);
    return copied;
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    int copied = 0;
    if (!kernel::ConsumeFault("StretchDIBits") && info != nullptr && usage == DIB_RGB_COLORS && rop == SRCCOPY) {
        const BITMAPINFOHEADER& h = info->bmiHeader;
        int64_t rows = h.biHeight < 0 ? -(int64_t)h.biHeight : (int64_t)h.biHeight;
        int64_t w = h.biWidth;
        // Only the left-to-right mirror of the whole picture; the rows stay upright
        // whatever the signs of the heights.
        int64_t destRows = destHeight < 0 ? -(int64_t)destHeight : (int64_t)destHeight;
        if (xDest == 0 && yDest == 0 && destWidth == w && destRows == rows && xSrc == w - 1 && ySrc == 0 &&
            srcWidth == -w && srcHeight == rows)
            copied = TransferDib(dc, bits, info, true);
    }
    kernel::JournalNote("gdi", "StretchDIBits", (uint32_t)copied, nullptr, nullptr, copied);
    return copied;
}
