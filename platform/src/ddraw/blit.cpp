// ddraw/blit.cpp: Blt (colour and depth fills, nearest-neighbour stretched copies
// clipped to the clipper window's client area) and BltFast (plain copies, with the source
// colour key when asked). Blits are synchronous, so wait flags mean nothing; every check
// comes before the first write, so a refused blit writes nothing.
#include <algorithm>
#include <cstring>
#include <vector>

#include "ddraw/internal.h"
#include "simd_pixel.h"

namespace ddraw {

namespace {

bool Inside(const RECT& r, int width, int height) {
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && r.left < r.right &&
           r.top < r.bottom;
}

bool SameFormat(const Surface& a, const Surface& b) {
    const DDPIXELFORMAT& x = a.format();
    const DDPIXELFORMAT& y = b.format();
    return a.bytesPerPixel() == b.bytesPerPixel() && x.dwRGBBitCount == y.dwRGBBitCount &&
           x.dwRBitMask == y.dwRBitMask && x.dwGBitMask == y.dwGBitMask && x.dwBBitMask == y.dwBBitMask &&
           (x.dwFlags & DDPF_FOURCC) == (y.dwFlags & DDPF_FOURCC) && x.dwFourCC == y.dwFourCC;
}

uint32_t Read(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    std::memcpy(&v, p, (size_t)bytes);
    return v;
}

// The clipper window's client area in desktop coordinates, when the surface has a
// clipper with a window.
bool ClipperRect(const Surface& s, RECT* out) {
    Clipper* c = s.clipper();
    if (c == nullptr || c->window() == nullptr || !IsWindow(c->window()))
        return false;
    RECT client;
    if (!GetClientRect(c->window(), &client))
        return false;
    POINT origin = {0, 0};
    ClientToScreen(c->window(), &origin);
    *out = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return true;
}

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

// The common refusals of both blits on the destination and, for copies, the source.
HRESULT CheckEnds(const Surface& dst, const Surface* src) {
    if (!dst.core()->alive)
        return DDERR_INVALIDOBJECT;
    if (src && !src->core()->alive)
        return DDERR_INVALIDOBJECT;
    if (dst.lost() || (src && src->lost()))
        return DDERR_SURFACELOST;
    if (dst.busy() || (src && src->busy()))
        return DDERR_SURFACEBUSY;
    return DD_OK;
}

// The source rectangle's pixels, copied away when source and destination are one surface.
struct SourceView {
    const uint8_t* base;
    int pitch;
    std::vector<uint8_t> copy;
};

SourceView ViewOf(const Surface& src, const Surface& dst, const RECT& sr) {
    SourceView view;
    int bytes = src.bytesPerPixel();
    const uint8_t* origin = src.bytes() + (ptrdiff_t)sr.top * src.pitch() + (ptrdiff_t)sr.left * bytes;
    if (&src != &dst) {
        view.base = origin;
        view.pitch = src.pitch();
        return view;
    }
    int rowBytes = (sr.right - sr.left) * bytes;
    view.copy.resize((size_t)rowBytes * (sr.bottom - sr.top));
    for (int y = 0; y < sr.bottom - sr.top; ++y)
        std::memcpy(&view.copy[(size_t)y * rowBytes], origin + (ptrdiff_t)y * src.pitch(), (size_t)rowBytes);
    view.base = view.copy.data();
    view.pitch = rowBytes;
    return view;
}

// ---- fast paths: chosen once per blit from its shape, each giving the general loop's bytes ----
// (ptest::ForceDDrawGeneralPath turns them off for tests.)

// A fill of 1-, 2- or 4-byte pixels: every row a repeated 16-byte pattern.
bool FastFill(uint8_t* origin, int pitch, int size, int width, int height, uint32_t value) {
    if (GeneralPathForced() || (size != 1 && size != 2 && size != 4))
        return false;
    uint8_t pattern[16];
    for (int k = 0; k < 16; k += size)
        std::memcpy(pattern + k, &value, (size_t)size);
    for (int y = 0; y < height; ++y)
        simd::FillPattern(origin + (ptrdiff_t)y * pitch, (size_t)width * size, pattern);
    return true;
}

// A row of keyed 2- or 4-byte pixels, unscaled.
bool FastKeyedRow(const uint8_t* s, uint8_t* d, int size, int n, const DDCOLORKEY& key) {
    if (size == 4)
        simd::CopySkipRange32(s, d, n, key.dwColorSpaceLowValue, key.dwColorSpaceHighValue);
    else if (size == 2)
        simd::CopySkipRange16(s, d, n, key.dwColorSpaceLowValue, key.dwColorSpaceHighValue);
    else
        return false;
    return true;
}

// A stretched row through a column table (source column of each destination pixel).
template <typename Pixel>
void StretchedRow(const uint8_t* srow, uint8_t* drow, const int32_t* columns, int n, bool keyed, uint32_t low,
                  uint32_t high) {
    for (int k = 0; k < n; ++k) {
        Pixel v;
        std::memcpy(&v, srow + (ptrdiff_t)columns[k] * sizeof(Pixel), sizeof(Pixel));
        if (keyed && v >= low && v <= high)
            continue;
        std::memcpy(drow + (ptrdiff_t)k * sizeof(Pixel), &v, sizeof(Pixel));
    }
}

}  // namespace

HRESULT Surface::Blt(RECT* dstRect, IDirectDrawSurface7* source, RECT* srcRect, DWORD flags, DDBLTFX* fx) {
    Surface* src = nullptr;
    bool fill = (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) != 0;
    HRESULT hr = DD_OK;
    if (!fill) {
        src = AsSurface(source);
        if (src == nullptr)
            hr = DDERR_INVALIDPARAMS;
    } else if (fx == nullptr) {
        hr = DDERR_INVALIDPARAMS;
    }
    if (hr == DD_OK)
        hr = CheckEnds(*this, src);
    RECT dr = dstRect ? *dstRect : RECT{0, 0, width_, height_};
    RECT sr = src ? (srcRect ? *srcRect : RECT{0, 0, src->width(), src->height()}) : RECT{};
    RECT clip;
    bool clipped = ClipperRect(*this, &clip);
    if (hr == DD_OK) {
        bool destinationOk = clipped ? dr.left < dr.right && dr.top < dr.bottom : Inside(dr, width_, height_);
        if (!destinationOk || (src && !Inside(sr, src->width(), src->height())))
            hr = DDERR_INVALIDRECT;
    }
    if (hr == DD_OK && src && !SameFormat(*this, *src))
        hr = DDERR_INVALIDPIXELFORMAT;
    if (hr == DD_OK) {
        RECT area = Intersect(dr, RECT{0, 0, width_, height_});
        if (clipped)
            area = Intersect(area, clip);
        int size = bytes_;
        if (fill) {
            uint32_t value = (flags & DDBLT_DEPTHFILL) ? fx->dwFillDepth : fx->dwFillColor;
            // Zero over bytes still all zero since they were cleared changes nothing.
            const uint32_t written = size >= 4 ? value : value & ((1u << (8 * size)) - 1);
            const bool unchanged = written == 0 && cleared() && !GeneralPathForced();
            // The first row is filled pixel by pixel, the others copy it: every frame clears
            // its back surface and depth buffer this way.
            const size_t rowBytes = (size_t)(area.right - area.left) * size;
            const uint8_t* first = nullptr;
            const bool done =
                unchanged || FastFill(bytes() + (ptrdiff_t)area.top * pitch_ + (ptrdiff_t)area.left * size, pitch_,
                                      size, area.right - area.left, area.bottom - area.top, value);
            for (int y = area.top; y < area.bottom && !done; ++y) {
                uint8_t* row = bytes() + (ptrdiff_t)y * pitch_ + (ptrdiff_t)area.left * size;
                if (first != nullptr) {
                    std::memcpy(row, first, rowBytes);
                    continue;
                }
                for (int x = 0; x < area.right - area.left; ++x)
                    std::memcpy(row + (ptrdiff_t)x * size, &value, (size_t)size);
                first = row;
            }
        } else {
            SourceView view = ViewOf(*src, *this, sr);
            int dw = dr.right - dr.left, dh = dr.bottom - dr.top;
            int sw = sr.right - sr.left, sh = sr.bottom - sr.top;
            bool keyed = (flags & DDBLT_KEYSRC) && src->hasSourceKey();
            DDCOLORKEY key = src->sourceKey();
            // An unscaled copy without a key is whole rows (every presented frame is one).
            const bool rows = !keyed && dw == sw && dh == sh;
            const bool fast = !GeneralPathForced() && (size == 2 || size == 4);
            const bool keyedRows = fast && keyed && dw == sw;
            // Stretched rows read their source columns from a table made once.
            std::vector<int32_t> columns;
            if (fast && !rows && !keyedRows && area.right > area.left) {
                columns.resize((size_t)(area.right - area.left));
                for (int x = area.left; x < area.right; ++x)
                    columns[(size_t)(x - area.left)] = (int32_t)((int64_t)(x - dr.left) * sw / dw);
            }
            for (int y = area.top; y < area.bottom; ++y) {
                int sy = (int)((int64_t)(y - dr.top) * sh / dh);
                const uint8_t* srow = view.base + (ptrdiff_t)sy * view.pitch;
                uint8_t* drow = bytes() + (ptrdiff_t)y * pitch_;
                if (rows) {
                    std::memcpy(drow + (ptrdiff_t)area.left * size, srow + (ptrdiff_t)(area.left - dr.left) * size,
                                (size_t)(area.right - area.left) * size);
                    continue;
                }
                if (keyedRows) {
                    FastKeyedRow(srow + (ptrdiff_t)(area.left - dr.left) * size, drow + (ptrdiff_t)area.left * size,
                                 size, area.right - area.left, key);
                    continue;
                }
                if (!columns.empty()) {
                    uint8_t* out = drow + (ptrdiff_t)area.left * size;
                    const int n = (int)columns.size();
                    if (size == 4)
                        StretchedRow<uint32_t>(srow, out, columns.data(), n, keyed, key.dwColorSpaceLowValue,
                                               key.dwColorSpaceHighValue);
                    else
                        StretchedRow<uint16_t>(srow, out, columns.data(), n, keyed, key.dwColorSpaceLowValue,
                                               key.dwColorSpaceHighValue);
                    continue;
                }
                for (int x = area.left; x < area.right; ++x) {
                    int sx = (int)((int64_t)(x - dr.left) * sw / dw);
                    const uint8_t* sp = srow + (ptrdiff_t)sx * size;
                    if (keyed) {
                        uint32_t v = Read(sp, size);
                        if (v >= key.dwColorSpaceLowValue && v <= key.dwColorSpaceHighValue)
                            continue;
                    }
                    std::memcpy(drow + (ptrdiff_t)x * size, sp, (size_t)size);
                }
            }
        }
    }
    Note(label_, "Blt", flags, dstRect, srcRect, hr);
    if (hr == DD_OK)
        AfterWrite();
    return hr;
}

HRESULT Surface::BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, RECT* srcRect, DWORD flags) {
    Surface* src = AsSurface(source);
    HRESULT hr = src ? CheckEnds(*this, src) : DDERR_INVALIDPARAMS;
    RECT sr = src ? (srcRect ? *srcRect : RECT{0, 0, src->width(), src->height()}) : RECT{};
    RECT dr = {(LONG)x, (LONG)y, (LONG)x + (sr.right - sr.left), (LONG)y + (sr.bottom - sr.top)};
    if (hr == DD_OK && (!Inside(sr, src->width(), src->height()) || (LONG)x < 0 || (LONG)y < 0 ||
                        !Inside(dr, width_, height_)))
        hr = DDERR_INVALIDRECT;
    if (hr == DD_OK && !SameFormat(*this, *src))
        hr = DDERR_INVALIDPIXELFORMAT;
    if (hr == DD_OK) {
        SourceView view = ViewOf(*src, *this, sr);
        int size = bytes_;
        int w = sr.right - sr.left, h = sr.bottom - sr.top;
        bool keyed = (flags & DDBLTFAST_SRCCOLORKEY) && src->hasSourceKey();
        DDCOLORKEY key = src->sourceKey();
        for (int row = 0; row < h; ++row) {
            const uint8_t* s = view.base + (ptrdiff_t)row * view.pitch;
            uint8_t* d = bytes() + (ptrdiff_t)(dr.top + row) * pitch_ + (ptrdiff_t)dr.left * size;
            if (!keyed) {
                std::memcpy(d, s, (size_t)w * size);
                continue;
            }
            if (!GeneralPathForced() && FastKeyedRow(s, d, size, w, key))
                continue;
            for (int col = 0; col < w; ++col) {
                uint32_t v = Read(s + col * size, size);
                if (v >= key.dwColorSpaceLowValue && v <= key.dwColorSpaceHighValue)
                    continue;
                std::memcpy(d + col * size, s + col * size, (size_t)size);
            }
        }
    }
    Note(label_, "BltFast", flags, &dr, srcRect, hr);
    if (hr == DD_OK)
        AfterWrite();
    return hr;
}

}  // namespace ddraw
