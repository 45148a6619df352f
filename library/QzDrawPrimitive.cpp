// QzDrawPrimitive.cpp: rotation, triangles and primitives, in their minimal form: only
// the plain rectangle fill draws.
#include "QzDrawPrimitive.h"

#include <cstring>

#include "QzGraphicsDrawState.h"

void PutMEMIMGRotated(MEMIMG*, const MEMIMG*, int, int, float, float, int, int, const MEMIMG*) {}

void PutMEMIMGTriangle(MEMIMG*, const MEMIMG*, const MEMIMGVertex[3], int, const MEMIMG*, uint32_t) {}

void FillMEMIMGRect(MEMIMG* dst, const RECT* rect, uint32_t color) {
    if (dst == nullptr || dst->pixels == nullptr || dst->usePalette || dst->useAlpha || g_drawState.blendMode != 0)
        return;
    RECT r = rect ? *rect : RECT{0, 0, dst->width, dst->height};
    ClipRect(&r, &g_drawState.drawArea);
    RECT whole = {0, 0, dst->width, dst->height};
    ClipRect(&r, &whole);
    if (r.left >= r.right || r.top >= r.bottom)
        return;
    int bytes = dst->format->pixelBytes;
    for (int y = r.top; y < r.bottom; ++y) {
        uint8_t* row = dst->pixels + (ptrdiff_t)y * dst->pitch;
        for (int x = r.left; x < r.right; ++x)
            std::memcpy(row + (ptrdiff_t)x * bytes, &color, (size_t)bytes);
    }
}

void PlotMEMIMGLines(MEMIMG*, const MEMIMGLine*, int) {}
