// QzDrawMemImgConvert.cpp: conversions into and out of MEMIMG records: one MEMIMG into
// another, a decoded image into a MEMIMG (with the palette, the run tables and the
// premultiplied copy), a MEMIMG into locked surface memory.
//
// Every copy is clipped to its source and its destination first, so a rectangle that
// reaches outside either writes only what lies inside both; nothing left is -1.
#include <cstring>

#include "QzDrawConvert.h"
#include "QzDrawMemImg.h"
#include "QzGraphicsImage.h"

namespace {

// Clips a copy of w x h pixels from (sx, sy) of a source srcW x srcH to (dx, dy) of a
// destination dstW x dstH. False when nothing is left.
bool ClipCopy(int* sx, int* sy, int* w, int* h, int* dx, int* dy, int srcW, int srcH, int dstW, int dstH) {
    int64_t x0 = *sx, y0 = *sy, x1 = *dx, y1 = *dy, cw = *w, ch = *h;
    if (x0 < 0) { cw += x0; x1 -= x0; x0 = 0; }
    if (y0 < 0) { ch += y0; y1 -= y0; y0 = 0; }
    if (x1 < 0) { cw += x1; x0 -= x1; x1 = 0; }
    if (y1 < 0) { ch += y1; y0 -= y1; y1 = 0; }
    if (cw > srcW - x0) cw = srcW - x0;
    if (ch > srcH - y0) ch = srcH - y0;
    if (cw > dstW - x1) cw = dstW - x1;
    if (ch > dstH - y1) ch = dstH - y1;
    if (cw <= 0 || ch <= 0)
        return false;
    *sx = (int)x0;
    *sy = (int)y0;
    *dx = (int)x1;
    *dy = (int)y1;
    *w = (int)cw;
    *h = (int)ch;
    return true;
}

// The format a MEMIMG is read through: palette images carry their entries in the
// format's own layout (R5G6B5 or X8R8G8B8), which ConvertPixelRect reads from a long form.
const ColorFormat* SourceFormat(const MEMIMG* m, ColorFormat* scratch) {
    if (!m->usePalette)
        return m->format;
    *scratch = *m->format;
    const uint8_t* entries = (const uint8_t*)m->palette;
    for (int i = 0; i < 256; ++i) {
        uint32_t v = 0;
        if (m->type == 0) {
            uint16_t e;
            std::memcpy(&e, entries + i * 2, 2);
            v = e;
        } else {
            std::memcpy(&v, entries + i * 4, 4);
        }
        scratch->palette[i] = v;
    }
    return scratch;
}

}  // namespace

int CopyMEMIMGConverted(MEMIMG* dst, const MEMIMG* src, const RECT* srcRect, int x, int y) {
    if (dst->pixels == nullptr || src->pixels == nullptr)
        return -1;
    RECT r = srcRect ? *srcRect : RECT{0, 0, src->width, src->height};
    int sx = r.left, sy = r.top, w = r.right - r.left, h = r.bottom - r.top;
    if (!ClipCopy(&sx, &sy, &w, &h, &x, &y, src->width, src->height, dst->width, dst->height))
        return -1;
    RECT clipped = {sx, sy, sx + w, sy + h};
    static thread_local ColorFormat scratch;
    return ConvertPixelRect(dst->pixels, dst->pitch, dst->format, src->pixels, src->pitch, SourceFormat(src, &scratch),
                            nullptr, 0, nullptr, x, y, &clipped, 0, 0, 0, 0, 0, 0, 0);
}

int ConvertImageToMEMIMG(const GraphImage* image, const GraphImage* alphaImage, MEMIMG* dst, int srcX, int srcY,
                         int width, int height, int dstX, int dstY) {
    if (image == nullptr || image->pixels == nullptr || dst->pixels == nullptr)
        return -1;
    int imageW = image->width, imageH = image->height;
    if (alphaImage) {
        if (alphaImage->width < imageW)
            imageW = alphaImage->width;
        if (alphaImage->height < imageH)
            imageH = alphaImage->height;
    }
    if (!ClipCopy(&srcX, &srcY, &width, &height, &dstX, &dstY, imageW, imageH, dst->width, dst->height))
        return -1;
    RECT rect = {srcX, srcY, srcX + width, srcY + height};

    if (dst->type == 2 || dst->type == 3) {
        // The single channel receives the converted red value.
        ConvertPixelRect(dst->pixels, dst->pitch, dst->format, image->pixels, image->pitch, &image->colorFormat,
                         nullptr, 0, nullptr, dstX, dstY, &rect, 0, 0, 0, 0, 1, 1, 0);
    } else {
        // The key as 0xRRGGBB: type 1 keeps it there already; type 0 moves each field to
        // the top bits of its byte.
        uint32_t key = dst->colorKey;
        if (dst->type == 0)
            key = ((key >> 11 & 0x1F) << 3) << 16 | ((key >> 5 & 0x3F) << 2) << 8 | (key & 0x1F) << 3;
        const GraphImage* alpha = alphaImage && alphaImage->pixels ? alphaImage : nullptr;
        int result = ConvertPixelRect(dst->pixels, dst->pitch, dst->format, image->pixels, image->pitch,
                                      &image->colorFormat, alpha ? alpha->pixels : nullptr, alpha ? alpha->pitch : 0,
                                      alpha ? &alpha->colorFormat : nullptr, dstX, dstY, &rect, 0, 1, key, 0, 0, 0, 0);
        if (result < 0)
            return result;
        if (dst->usePalette) {
            dst->paletteCount = result + 1;
            uint8_t* entries = (uint8_t*)dst->palette;
            for (int i = 0; i < 256; ++i) {
                uint32_t e = image->colorFormat.palette[i];
                uint32_t r = e >> 16 & 0xFF, g = e >> 8 & 0xFF, b = e & 0xFF;
                if (dst->type == 0) {
                    uint16_t v = (uint16_t)((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
                    std::memcpy(entries + i * 2, &v, 2);
                } else {
                    uint32_t v = r << 16 | g << 8 | b;
                    std::memcpy(entries + i * 4, &v, 4);
                }
            }
        }
    }

    dst->premultipliedValid = 0;
    dst->runsValid = 0;
    // A full-size rectangle is taken to cover the whole image.
    if (width != dst->width || height != dst->height || (dst->type != 0 && dst->type != 1) || dst->runs == nullptr)
        return 0;
    dst->runsValid = 1;
    if (dst->useAlpha && dst->premultiplied != nullptr) {
        dst->premultipliedValid = 1;
        BuildMEMIMGPremultiplied(dst);
    }
    BuildMEMIMGRuns(dst);
    return 0;
}

void BuildMEMIMGPremultiplied(MEMIMG* m) {
    for (int y = 0; y < m->height; ++y) {
        const uint8_t* src = m->pixels + (ptrdiff_t)y * m->pitch;
        uint8_t* dst = m->premultiplied + (ptrdiff_t)y * m->pitch;
        for (int x = 0; x < m->width; ++x) {
            uint32_t v;
            std::memcpy(&v, src + x * 4, 4);
            uint32_t out;
            if (m->type == 0) {
                uint32_t a = v >> 16 & 0xFF, c = v & 0xFFFF;
                out = ((c & 0xF800) * a >> 8 & 0xF800) | ((c & 0x07E0) * a >> 8 & 0x07E0) |
                      ((c & 0x001F) * a >> 8 & 0x001F) | a << 16;
            } else {
                uint32_t a = v >> 24;
                out = ((v & 0xFF) * a >> 8) | ((v >> 8 & 0xFF) * a >> 8) << 8 | ((v >> 16 & 0xFF) * a >> 8) << 16 |
                      a << 24;
            }
            std::memcpy(dst + x * 4, &out, 4);
        }
    }
}

void BuildMEMIMGRuns(MEMIMG* m) {
    int bytes = m->format->pixelBytes;
    uint8_t* out = m->runs;
    for (int y = 0; y < m->height; ++y) {
        const uint8_t* row = m->pixels + (ptrdiff_t)y * m->pitch;
        auto classOf = [&](int x) -> uint8_t {
            const uint8_t* p = row + (ptrdiff_t)x * bytes;
            if (m->usePalette)
                return *p == m->colorKey ? kRunSkip : kRunCopy;
            uint32_t v = 0;
            std::memcpy(&v, p, (size_t)bytes);
            if (!m->useAlpha)
                return v == m->colorKey ? kRunSkip : kRunCopy;
            uint32_t a = m->type == 0 ? v >> 16 & 0xFF : v >> 24;
            return a == 0 ? kRunSkip : a == 255 ? kRunCopy : kRunBlend;
        };
        int x = 0;
        while (x < m->width) {
            uint8_t kind = classOf(x);
            int length = 1;
            while (x + length < m->width && length < 64 && classOf(x + length) == kind)
                ++length;
            *out++ = (uint8_t)(kind | (length - 1));
            x += length;
        }
        *out++ = kRunEnd;
    }
}

void CopyMEMIMGToSurfaceMemory(GraphImage* dstImage, const MEMIMG* src, int srcX, int srcY, int width, int height,
                               int dstX, int dstY, uint32_t transColor, int transFlag) {
    if ((src->type != 0 && src->type != 1) || src->usePalette || src->useAlpha || src->pixels == nullptr)
        return;
    if (dstImage == nullptr || dstImage->pixels == nullptr)
        return;
    if (!ClipCopy(&srcX, &srcY, &width, &height, &dstX, &dstY, src->width, src->height, dstImage->width,
                  dstImage->height))
        return;
    RECT rect = {srcX, srcY, srcX + width, srcY + height};
    ConvertPixelRect(dstImage->pixels, dstImage->pitch, &dstImage->colorFormat, src->pixels, src->pitch, src->format,
                     nullptr, 0, nullptr, dstX, dstY, &rect, 0, 0, transColor, 0, 0, 0, transFlag ? 1 : 0);
}
