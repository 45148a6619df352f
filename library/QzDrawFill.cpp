// QzDrawFill.cpp: solid-colour rectangle fills and lines on a MEMIMG with the blend mode,
// blend parameter and bright colour of DrawState, clipped to drawArea (and to the image,
// so a draw area larger than the destination never writes outside it).
#include <cstdint>
#include <cstring>

#include "QzDrawDevice.h"
#include "QzDrawPrimitive.h"
#include "QzDrawSolidPixel.h"
#include "QzGraphicsDrawState.h"
#include "QzUseCLib.h"

namespace {

// drawArea narrowed to the image; false when nothing of it is left.
bool DrawClip(const MEMIMG* dst, RECT* out) {
    *out = g_drawState.drawArea;
    RECT whole = {0, 0, dst->width, dst->height};
    ClipRect(out, &whole);
    return out->left < out->right && out->top < out->bottom;
}

// Bright colour of fills and lines: multiply by the component and shift right by 8.
uint32_t BrightFill(uint32_t c, int type) {
    uint32_t b = g_drawState.brightColor;
    if ((b & 0xFFFFFFu) == 0xFFFFFFu)
        return c;
    uint32_t br = b >> 16 & 0xFF, bg = b >> 8 & 0xFF, bb = b & 0xFF;
    if (type == 0)
        return ((c >> 11) * br >> 8) << 11 | (((c & 0x7E0) >> 5) * bg >> 8) << 5 | ((c & 0x1F) * bb >> 8);
    return (c & 0xFF000000u) | ((c >> 16 & 0xFF) * br >> 8) << 16 | ((c >> 8 & 0xFF) * bg >> 8) << 8 |
           ((c & 0xFF) * bb >> 8);
}

template <typename Unit, typename Op>
void FillRows(MEMIMG* dst, const RECT& r, Op op) {
    int bytes = dst->format->pixelBytes;
    for (int y = r.top; y < r.bottom; ++y) {
        uint8_t* p = dst->pixels + (ptrdiff_t)y * dst->pitch + (ptrdiff_t)r.left * bytes;
        for (int x = r.left; x < r.right; ++x, p += bytes) {
            Unit d;
            std::memcpy(&d, p, sizeof d);
            d = (Unit)op((uint32_t)d);
            std::memcpy(p, &d, sizeof d);
        }
    }
}

template <typename Unit>
void FillWith(MEMIMG* dst, const RECT& r, const SolidPixel& s) {
    switch (s.mode) {
    case 0: FillRows<Unit>(dst, r, [&](uint32_t) { return s.f; }); break;
    case 1: FillRows<Unit>(dst, r, [&](uint32_t d) { return s.Alpha(d); }); break;
    case 2: FillRows<Unit>(dst, r, [&](uint32_t d) { return s.Add(d); }); break;
    case 3: FillRows<Unit>(dst, r, [&](uint32_t d) { return s.Sub(d); }); break;
    case 4: FillRows<Unit>(dst, r, [&](uint32_t d) { return s.Mul(d); }); break;
    default: break;
    }
}

void PlotLine(MEMIMG* dst, int x1, int y1, int x2, int y2, uint32_t color) {
    RECT a;
    if (dst == nullptr || dst->pixels == nullptr || !DrawClip(dst, &a))
        return;
    const int L = a.left, T = a.top, R = a.right, B = a.bottom;
    if ((x1 > x2 ? x1 : x2) < L || (y1 > y2 ? y1 : y2) < T || (x1 < x2 ? x1 : x2) >= R || (y1 < y2 ? y1 : y2) >= B)
        return;
    double kx = y1 == y2 ? 0.0 : (double)(x2 - x1) / (double)(y2 - y1);
    double ky = x1 == x2 ? 0.0 : (double)(y2 - y1) / (double)(x2 - x1);
    double x0 = x1 - y1 * kx, y0 = y1 - x1 * ky;
    if (x1 < L) { x1 = L; y1 = ConvertDoubleToInt(y0 + L * ky); }
    else if (x1 >= R) { x1 = R - 1; y1 = ConvertDoubleToInt(y0 + (R - 1) * ky); }
    if (x2 < L) { x2 = L - 1; y2 = ConvertDoubleToInt(y0 + (L - 1) * ky); }
    else if (x2 >= R) { x2 = R; y2 = ConvertDoubleToInt(y0 + R * ky); }
    if (y1 < T) { y1 = T; x1 = ConvertDoubleToInt(x0 + T * kx); }
    else if (y1 >= B) { y1 = B - 1; x1 = ConvertDoubleToInt(x0 + (B - 1) * kx); }
    if (y2 < T) { y2 = T - 1; x2 = ConvertDoubleToInt(x0 + (T - 1) * kx); }
    else if (y2 >= B) { y2 = B; x2 = ConvertDoubleToInt(x0 + B * kx); }
    x1 = x1 < L ? L : x1 >= R ? R - 1 : x1;
    y1 = y1 < T ? T : y1 >= B ? B - 1 : y1;
    x2 = x2 < L ? L - 1 : x2 >= R ? R : x2;
    y2 = y2 < T ? T - 1 : y2 >= B ? B : y2;
    int nx = x2 - x1, ny = y2 - y1, sx = nx >= 0 ? 1 : -1, sy = ny >= 0 ? 1 : -1;
    nx = nx < 0 ? -nx : nx;
    ny = ny < 0 ? -ny : ny;
    if (nx == 0 && ny == 0)
        return;
    if (dst->type != 0 && dst->type != 1)
        return;
    SolidPixel s;
    if (!s.Prepare(BrightFill(color, dst->type), dst->type, g_drawState.blendMode, g_drawState.blendParam))
        return;
    int bytes = dst->format->pixelBytes;
    bool xMajor = nx >= ny;
    int count = xMajor ? nx : ny, e = 0, x = x1, y = y1;
    for (int i = 0; i < count; ++i) {
        // The start point is inside the area; the end point, one step outside at most,
        // is never drawn, so every visited pixel lies inside.
        uint8_t* p = dst->pixels + (ptrdiff_t)y * dst->pitch + (ptrdiff_t)x * bytes;
        s.ApplyAt(p, dst->type == 0 ? 2 : 4);
        if (xMajor) {
            x += sx;
            e += ny;
            if (e >= nx) { y += sy; e -= nx; }
        } else {
            y += sy;
            e += nx;
            if (e >= ny) { x += sx; e -= ny; }
        }
    }
}

}  // namespace

void FillMEMIMGRect(MEMIMG* dst, const RECT* rect, uint32_t color) {
    if (dst == nullptr || dst->pixels == nullptr || dst->usePalette == 1 || dst->useAlpha == 1)
        return;
    RECT r = {0, 0, dst->width, dst->height};
    if (rect != nullptr) {
        r.left = rect->left < rect->right ? rect->left : rect->right;
        r.right = rect->left < rect->right ? rect->right : rect->left;
        r.top = rect->top < rect->bottom ? rect->top : rect->bottom;
        r.bottom = rect->top < rect->bottom ? rect->bottom : rect->top;
    }
    RECT area;
    if (!DrawClip(dst, &area))
        return;
    ClipRect(&r, &area);
    if (r.left >= r.right || r.top >= r.bottom || (dst->type != 0 && dst->type != 1))
        return;
    SolidPixel s;
    if (!s.Prepare(BrightFill(color, dst->type), dst->type, g_drawState.blendMode, g_drawState.blendParam))
        return;
    if (dst->type == 0)
        FillWith<uint16_t>(dst, r, s);
    else
        FillWith<uint32_t>(dst, r, s);
}

void PlotMEMIMGLine(MEMIMG* dst, int x1, int y1, int x2, int y2, uint32_t color) {
    PlotLine(dst, x1, y1, x2, y2, color);
}

void PlotMEMIMGLines(MEMIMG* dst, const MEMIMGLine* lines, int count) {
    if (lines == nullptr)
        return;
    for (int i = 0; i < count; ++i)
        PlotLine(dst, lines[i].x1, lines[i].y1, lines[i].x2, lines[i].y2, (uint32_t)lines[i].color);
}
