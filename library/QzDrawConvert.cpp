// QzDrawConvert.cpp: ConvertPixelRect. The preparation decides the effective options;
// then the first of five paths that applies does the whole copy: the 8-bit index copy,
// the same-format copy, the key-to-alpha copy, a fixed conversion (rows in
// QzDrawConvertRows.cpp), or the general per-channel conversion
// (QzDrawConvertGeneral.cpp). Pixels are little-endian values of the format's bytes
// per pixel; 24-bit pixels are three bytes, low byte first.
#include "QzDrawConvert.h"

#include <cstring>

#include "QzDrawConvertInternal.h"
#include "QzDrawConvertRows.h"

namespace {

using convert_internal::ReadPixel;
using convert_internal::WritePixel;

bool HasLayout(const ColorFormat& f, int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return f.colorBitDepth == bits && f.redMask == r && f.greenMask == g && f.blueMask == b && f.alphaMask == a;
}

uint32_t KeyCut(uint32_t key, int bytes) {
    switch (bytes) {
    case 1: return key & 0xFFu;
    case 2: return key & 0xFFFFu;
    case 3: return key & 0xFFFFFFu;
    default: return key;
    }
}

// ---- path 1: index copy ------------------------------------------------------------------
int CopyIndices(uint8_t* dst, int dstPitch, const uint8_t* src, int srcPitch, int w, int h, bool mirror) {
    int highest = 0;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src + (ptrdiff_t)y * srcPitch;
        uint8_t* d = dst + (ptrdiff_t)y * dstPitch;
        for (int x = 0; x < w; ++x) {
            uint8_t v = s[x];
            if (v > highest)
                highest = v;
            d[mirror ? w - 1 - x : x] = v;
        }
    }
    return highest;
}

// ---- path 2: same-format copy ---------------------------------------------------------------
void CopySameFormat(uint8_t* dst, int dstPitch, const uint8_t* src, int srcPitch, int bytes, int w, int h, bool mirror,
                    bool keySkip, uint32_t key) {
    uint32_t keyCut = KeyCut(key, bytes);
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src + (ptrdiff_t)y * srcPitch;
        uint8_t* d = dst + (ptrdiff_t)y * dstPitch;
        if (!mirror && !keySkip) {
            std::memmove(d, s, (size_t)w * bytes);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            uint32_t v = ReadPixel(s + x * bytes, bytes);
            if (keySkip && v == keyCut)
                continue;
            WritePixel(d + (mirror ? w - 1 - x : x) * bytes, bytes, v);
        }
    }
}

// ---- path 3: key-to-alpha copy ---------------------------------------------------------------
void CopyKeyToAlpha(uint8_t* dst, int dstPitch, const uint8_t* src, int srcPitch, const ColorFormat& df, int w, int h,
                    bool mirror, uint32_t key) {
    int bytes = df.pixelBytes;
    uint32_t k = PackPixelRGBA(&df, (int)(key >> 16 & 0xFF), (int)(key >> 8 & 0xFF), (int)(key & 0xFF), 255);
    uint32_t rgbMask = df.redMask | df.greenMask | df.blueMask;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src + (ptrdiff_t)y * srcPitch;
        uint8_t* d = dst + (ptrdiff_t)y * dstPitch;
        if (bytes == 4 && !mirror) {
            convert_rows::kKeyAlpha32(d, s, w, rgbMask, df.alphaMask, k);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            uint32_t v = ReadPixel(s + x * bytes, bytes);
            if (bytes == 4)
                v |= ~rgbMask;
            // Only the colour bits decide: a fill bit left clear in a source pixel must
            // not hide the key.
            v = (v & rgbMask) == (k & rgbMask) ? v & ~df.alphaMask : v | df.alphaMask;
            WritePixel(d + (mirror ? w - 1 - x : x) * bytes, bytes, v);
        }
    }
}

// ---- path 4: fixed conversions ----------------------------------------------------------------
enum class Fixed { None, Pal565, Pal555, Pal8888, PalKey1555, PalKey8888, Rgb24To565, Rgb24To555, Rgb24To8888,
                   Rgb24Key1555, Rgb24Key8888, X8888To565, Rgb565To8888, Rgb565To555, Rgb555To565 };

Fixed FindFixed(const ColorFormat& df, const ColorFormat& sf, bool keyToAlpha) {
    bool d565 = HasLayout(df, 16, 0xF800, 0x07E0, 0x001F, 0);
    bool d555 = HasLayout(df, 16, 0x7C00, 0x03E0, 0x001F, 0);
    bool d8888 = HasLayout(df, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    bool d1555 = HasLayout(df, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    bool dA8888 = HasLayout(df, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    if (sf.colorBitDepth == 8) {
        if (!keyToAlpha)
            return d565 ? Fixed::Pal565 : d555 ? Fixed::Pal555 : d8888 ? Fixed::Pal8888 : Fixed::None;
        return d1555 ? Fixed::PalKey1555 : dA8888 ? Fixed::PalKey8888 : Fixed::None;
    }
    if (HasLayout(sf, 24, 0xFF0000, 0xFF00, 0xFF, 0)) {
        if (!keyToAlpha)
            return d565 ? Fixed::Rgb24To565 : d555 ? Fixed::Rgb24To555 : d8888 ? Fixed::Rgb24To8888 : Fixed::None;
        return d1555 ? Fixed::Rgb24Key1555 : dA8888 ? Fixed::Rgb24Key8888 : Fixed::None;
    }
    if (keyToAlpha)
        return Fixed::None;
    if (HasLayout(sf, 32, 0xFF0000, 0xFF00, 0xFF, 0) && d565)
        return Fixed::X8888To565;
    if (HasLayout(sf, 16, 0xF800, 0x07E0, 0x001F, 0))
        return d8888 ? Fixed::Rgb565To8888 : d555 ? Fixed::Rgb565To555 : Fixed::None;
    if (HasLayout(sf, 16, 0x7C00, 0x03E0, 0x001F, 0) && d565)
        return Fixed::Rgb555To565;
    return Fixed::None;
}

uint32_t To555(uint32_t r, uint32_t g, uint32_t b) {
    return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
}

void ConvertFixed(Fixed kind, uint8_t* dst, int dstPitch, const uint8_t* src, int srcPitch, const ColorFormat& sf,
                  int w, int h, uint32_t key) {
    int dstBytes = kind == Fixed::Pal8888 || kind == Fixed::PalKey8888 || kind == Fixed::Rgb24To8888 ||
                           kind == Fixed::Rgb24Key8888 || kind == Fixed::Rgb565To8888
                       ? 4
                       : 2;
    key &= 0xFFFFFFu;
    if (sf.colorBitDepth == 8) {
        // Every row is a function of the palette entry alone: convert the palette once.
        uint32_t table[256];
        for (int i = 0; i < 256; ++i) {
            uint32_t p = sf.palette[i] & 0xFFFFFFu;
            switch (kind) {
            case Fixed::Pal565: table[i] = ((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F); break;
            case Fixed::Pal555:
                table[i] = ((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x001F) | 0x8000;
                break;
            case Fixed::Pal8888: table[i] = p | 0xFF000000u; break;
            case Fixed::PalKey1555:
                table[i] = ((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x001F) | (p == key ? 0 : 0x8000);
                break;
            default: table[i] = p == key ? p : p | 0xFF000000u; break;
            }
        }
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = src + (ptrdiff_t)y * srcPitch;
            uint8_t* d = dst + (ptrdiff_t)y * dstPitch;
            if (dstBytes == 4) {
                for (int x = 0; x < w; ++x)
                    std::memcpy(d + x * 4, &table[s[x]], 4);
            } else {
                for (int x = 0; x < w; ++x) {
                    uint16_t v = (uint16_t)table[s[x]];
                    std::memcpy(d + x * 2, &v, 2);
                }
            }
        }
        return;
    }
    uint32_t keyQ = To555(key >> 16 & 0xFF, key >> 8 & 0xFF, key & 0xFF);
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src + (ptrdiff_t)y * srcPitch;
        uint8_t* d = dst + (ptrdiff_t)y * dstPitch;
        switch (kind) {
        case Fixed::Rgb24To8888: convert_rows::kRgb24To8888(d, s, w); break;
        case Fixed::X8888To565: convert_rows::kRgb8888To565(d, s, w); break;
        case Fixed::Rgb565To8888: convert_rows::kRgb565To8888(d, s, w); break;
        case Fixed::Rgb565To555: convert_rows::kRgb565To555(d, s, w); break;
        case Fixed::Rgb555To565: convert_rows::kRgb555To565(d, s, w); break;
        case Fixed::Rgb24Key8888: convert_rows::kRgb24Key8888(d, s, w, key); break;
        default:
            for (int x = 0; x < w; ++x) {
                uint32_t b = s[x * 3], g = s[x * 3 + 1], r = s[x * 3 + 2];
                uint32_t v;
                switch (kind) {
                case Fixed::Rgb24To565: v = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3); break;
                case Fixed::Rgb24To555: v = To555(r, g, b) | 0x8000; break;
                case Fixed::Rgb24Key1555: {
                    uint32_t q = To555(r, g, b);
                    v = q == keyQ ? q : q | 0x8000;
                    break;
                }
                default: {
                    uint32_t rgb = r << 16 | g << 8 | b;
                    v = rgb == key ? rgb : rgb | 0xFF000000u;
                    break;
                }
                }
                WritePixel(d + x * dstBytes, dstBytes, v);
            }
            break;
        }
    }
}

}  // namespace

int ConvertPixelRect(void* dstPixels, int dstPitch, const ColorFormat* dstFormat, const void* srcPixels, int srcPitch,
                     const ColorFormat* srcFormat, const void* alphaPixels, int alphaPitch,
                     const ColorFormat* alphaFormat, int dstX, int dstY, const RECT* srcRect, int mirror,
                     int keyToAlpha, uint32_t key, int ditherMode, int alphaOnly, int alphaFromRed, int keySkip) {
    // Formats are read through references; only 8-bit ones carry a palette that is read.
    static const ColorFormat kNoFormat = {};
    const ColorFormat& df = *dstFormat;
    const ColorFormat& sf = *srcFormat;
    bool haveAlphaImage = alphaPixels != nullptr && alphaFormat != nullptr && alphaFormat->pixelBytes >= 1 &&
                          alphaFormat->pixelBytes <= 4;
    const ColorFormat& af = haveAlphaImage ? *alphaFormat : kNoFormat;

    bool dstAlpha = df.alphaWidth != 0;
    bool srcAlpha = sf.alphaWidth != 0;
    bool alphaOut = dstAlpha && (haveAlphaImage || srcAlpha);
    bool alphaFromImage = dstAlpha && haveAlphaImage && !srcAlpha;
    bool keyAlpha = keyToAlpha != 0 && !alphaOut && dstAlpha && alphaFromRed == 0;
    bool skip = keySkip != 0 && !alphaOut && mirror == 0;
    bool mirrored = mirror != 0;

    if (srcRect == nullptr)
        return -1;
    int w = srcRect->right - srcRect->left;
    int h = srcRect->bottom - srcRect->top;
    // An inverted rectangle is as empty as a zero-sized one.
    if (w <= 0 || h <= 0)
        return -1;
    if (df.pixelBytes < 1 || df.pixelBytes > 4 || sf.pixelBytes < 1 || sf.pixelBytes > 4)
        return -1;

    int sb = sf.pixelBytes, db = df.pixelBytes;
    const uint8_t* src = (const uint8_t*)srcPixels + (ptrdiff_t)srcRect->top * srcPitch + (ptrdiff_t)srcRect->left * sb;
    uint8_t* dst = (uint8_t*)dstPixels + (ptrdiff_t)dstY * dstPitch + (ptrdiff_t)dstX * db;
    const uint8_t* alpha = nullptr;
    if (haveAlphaImage)
        alpha = (const uint8_t*)alphaPixels + (ptrdiff_t)srcRect->top * alphaPitch +
                (ptrdiff_t)srcRect->left * af.pixelBytes;

    // 1. Index copy.
    if (df.colorBitDepth == 8 && alphaOnly == 0 && !skip) {
        if (sf.colorBitDepth != 8)
            return -1;
        return CopyIndices(dst, dstPitch, src, srcPitch, w, h, mirrored);
    }

    bool sameLayout = df.colorBitDepth == sf.colorBitDepth && df.redMask == sf.redMask &&
                      df.greenMask == sf.greenMask && df.blueMask == sf.blueMask;
    // 2. Same-format copy.
    if (!keyAlpha && !alphaFromImage && alphaOnly == 0 && alphaFromRed == 0 && sameLayout &&
        df.alphaMask == sf.alphaMask) {
        CopySameFormat(dst, dstPitch, src, srcPitch, db, w, h, mirrored, skip, key);
        return 0;
    }
    // 3. Key-to-alpha copy.
    if (keyAlpha && !skip && alphaOnly == 0 && sameLayout) {
        CopyKeyToAlpha(dst, dstPitch, src, srcPitch, df, w, h, mirrored, key);
        return 0;
    }
    // 4. Fixed conversions.
    if (!skip && ditherMode == 0 && alphaOnly == 0 && alphaFromRed == 0 && !mirrored && !haveAlphaImage) {
        Fixed kind = FindFixed(df, sf, keyAlpha);
        if (kind != Fixed::None) {
            ConvertFixed(kind, dst, dstPitch, src, srcPitch, sf, w, h, key);
            return 0;
        }
    }
    // 5. General conversion.
    convert_internal::GeneralJob job = {};
    job.dst = dst;
    job.dstPitch = dstPitch;
    job.src = src;
    job.srcPitch = srcPitch;
    job.alpha = alphaFromImage ? alpha : nullptr;
    job.alphaPitch = alphaPitch;
    job.df = &df;
    job.sf = &sf;
    job.af = &af;
    job.width = w;
    job.height = h;
    job.mirror = mirrored;
    job.keyToAlpha = keyAlpha;
    job.key = key;
    job.keySkip = skip;
    job.dither = ditherMode == 1 || ditherMode == 2 ? ditherMode : 0;
    job.alphaOnly = alphaOnly != 0;
    job.alphaFromRed = alphaFromRed != 0;
    convert_internal::ConvertGeneral(job);
    return 0;
}
