// QzDrawTriangle.cpp: the triangle walk of PutMEMIMGTriangle in 14.18 fixed point (value
// x 2^18, whole pixels truncated toward zero), its solid-colour spans, and its textured
// spans through the shared pixel rules of QzDrawPixelPipeline.h.
#include <cstdint>
#include <cstring>
#include <utility>

#include "QzDraw2D.h"
#include "QzDrawDevice.h"
#include "QzDrawPixelPipeline.h"
#include "QzDrawPrimitive.h"
#include "QzDrawSolidPixel.h"
#include "QzGraphicsDrawState.h"
#include "QzUseCLib.h"

namespace {

constexpr int32_t kOne = 1 << 18;

inline int Whole(int32_t v) { return v / kOne; }  // toward zero, not floor

struct Segment {
    int32_t x, step;
    int rows;
};

Segment MakeSegment(int32_t xs, int32_t ys, int32_t xe, int32_t ye) {
    Segment s;
    s.x = xs;
    s.rows = (int)(((int64_t)ye - ys) / kOne);
    s.step = s.rows > 0 ? (int32_t)(((int64_t)xe - xs) / s.rows) : 0;
    return s;
}

// Colour scaled by the bright colour through ScaleTable, once per draw.
uint32_t BrightSolid(uint32_t c, int type) {
    uint32_t b = g_drawState.brightColor;
    const int32_t* r = ScaleTable[b >> 16 & 0xFF];
    const int32_t* g = ScaleTable[b >> 8 & 0xFF];
    const int32_t* bl = ScaleTable[b & 0xFF];
    if (type == 0)
        return (uint32_t)r[c >> 11 & 31] << 11 | (uint32_t)g[c >> 5 & 63] << 5 | (uint32_t)bl[c & 31];
    return (c & 0xFF000000u) | (uint32_t)r[c >> 16 & 0xFF] << 16 | (uint32_t)g[c >> 8 & 0xFF] << 8 |
           (uint32_t)bl[c & 0xFF];
}


struct Walk {
    Segment left[2], right[2];
    int leftCount = 1, rightCount = 1;
    int32_t topY = 0, midY = 0;
};

// Runs the rows of the walk; span(y, L, end) for every drawn row, columns L..end.
template <class Span>
void RunWalk(const Walk& w, const RECT& area, Span&& span) {
    int li = 0, ri = 0;
    int32_t lx = w.left[0].x, rx = w.right[0].x;
    int lrows = w.left[0].rows, rrows = w.right[0].rows;
    int y = Whole(w.topY);
    for (;;) {
        int L = Whole(lx), R = Whole(rx);
        if (L < area.left)
            L = area.left;
        if (y >= area.top && y < area.bottom && L < area.right && R - L + 1 > 0)
            span(y, L, R < area.right - 1 ? R : area.right - 1);
        rx = (int32_t)((uint32_t)rx + (uint32_t)w.right[ri].step);
        lx = (int32_t)((uint32_t)lx + (uint32_t)w.left[li].step);
        ++y;
        --lrows;
        --rrows;
        if (lrows <= 0) {
            if (li + 1 >= w.leftCount)
                return;
            ++li;
            lx = w.left[li].x;
            lrows = w.left[li].rows;
            y = Whole(w.midY);
        }
        if (rrows <= 0) {
            if (ri + 1 >= w.rightCount)
                return;
            ++ri;
            rx = w.right[ri].x;
            rrows = w.right[ri].rows;
        }
    }
}

template <class Rule>
void TexturedRow(uint8_t* d, int count, uint32_t u, uint32_t v, int32_t ux, int32_t vx, const MEMIMG* src,
                 const MEMIMG* blend, const drawpx::PixelContext& ctx) {
    constexpr int unit = drawpx::UnitBytes(Rule::kKind);
    constexpr int step = drawpx::Is16(Rule::kKind) ? 2 : 4;
    const uint32_t boundU = (uint32_t)src->width << 18, boundV = (uint32_t)src->height << 18;
    for (int i = 0; i < count; ++i, d += step, u += (uint32_t)ux, v += (uint32_t)vx) {
        if (u >= boundU || v >= boundV)
            continue;
        const uint32_t x = u >> 18, y = v >> 18;
        const uint8_t* blendByte = Rule::kBlend ? blend->pixels + (ptrdiff_t)y * blend->pitch + x : nullptr;
        Rule::Apply(d, src->pixels + (ptrdiff_t)y * src->pitch + (size_t)x * unit, blendByte, ctx);
    }
}

}  // namespace

void PutMEMIMGTriangle(MEMIMG* dst, const MEMIMG* src, const MEMIMGVertex vertex[3], int transparent,
                       const MEMIMG* blendImage, uint32_t color) {
    if (dst == nullptr || dst->pixels == nullptr || vertex == nullptr)
        return;
    if (src != nullptr && (src->type != dst->type || src->pixels == nullptr))
        return;
    if (dst->usePalette == 1 || dst->useAlpha == 1)
        return;
    if (src == nullptr && dst->type != 0 && dst->type != 1)
        return;
    int32_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = (int32_t)((uint32_t)vertex[i].x * kOne + kOne / 2);
        Y[i] = (int32_t)((uint32_t)vertex[i].y * kOne + kOne / 2);
    }
    int ax[3] = {0, 1, 2}, ay[3] = {0, 1, 2};
    for (int i = 0; i < 2; ++i)
        for (int j = i + 1; j < 3; ++j) {
            if (X[ax[i]] > X[ax[j]]) std::swap(ax[i], ax[j]);
            if (Y[ay[i]] > Y[ay[j]]) std::swap(ay[i], ay[j]);
        }
    const MEMIMGVertex& a0 = vertex[ax[0]];
    const MEMIMGVertex& a1 = vertex[ax[1]];
    const MEMIMGVertex& a2 = vertex[ax[2]];
    int dxM = a1.x - a0.x, dyM = a1.y - a0.y, duM = a1.u - a0.u, dvM = a1.v - a0.v;
    int dxR = a2.x - a0.x, dyR = a2.y - a0.y, duR = a2.u - a0.u, dvR = a2.v - a0.v;
    const int32_t det = (int32_t)((uint32_t)dxR * (uint32_t)dyM - (uint32_t)dxM * (uint32_t)dyR);
    if (det == 0)
        return;
    const int t = ay[0], m = ay[1], b = ay[2];

    Walk w;
    w.topY = Y[t];
    w.midY = Y[m];
    if (Y[t] == Y[m]) {
        int tl = X[t] > X[m] ? m : t, tr = tl == m ? t : m;
        w.left[0] = MakeSegment(X[tl], Y[tl], X[b], Y[b]);
        w.right[0] = MakeSegment(X[tr], Y[tr], X[b], Y[b]);
    } else if (Y[m] == Y[b]) {
        int bl = X[m] > X[b] ? b : m, br = bl == b ? m : b;
        w.left[0] = MakeSegment(X[t], Y[t], X[bl], Y[bl]);
        w.right[0] = MakeSegment(X[t], Y[t], X[br], Y[br]);
    } else {
        double sM = ((double)X[m] - X[t]) / ((double)Y[m] - Y[t]);
        double sB = ((double)X[b] - X[t]) / ((double)Y[b] - Y[t]);
        if (sM < sB) {
            w.left[0] = MakeSegment(X[t], Y[t], X[m], Y[m]);
            w.left[1] = MakeSegment(X[m], Y[m], X[b], Y[b]);
            w.leftCount = 2;
            w.right[0] = MakeSegment(X[t], Y[t], X[b], Y[b]);
        } else {
            w.left[0] = MakeSegment(X[t], Y[t], X[b], Y[b]);
            w.right[0] = MakeSegment(X[t], Y[t], X[m], Y[m]);
            w.right[1] = MakeSegment(X[m] + 1, Y[m], X[b], Y[b]);
            w.rightCount = 2;
        }
    }

    // The draw area, kept inside the image so a larger area cannot write past it.
    RECT area = g_drawState.drawArea;
    RECT whole = {0, 0, dst->width, dst->height};
    ClipRect(&area, &whole);
    const int bytes = dst->format->pixelBytes;

    if (src == nullptr) {
        SolidPixel s;
        if (!s.Prepare(BrightSolid(dst->type == 0 ? color & 0xFFFF : color, dst->type), dst->type,
                       g_drawState.blendMode, g_drawState.blendParam))
            return;
        RunWalk(w, area, [&](int y, int L, int end) {
            uint8_t* p = dst->pixels + (ptrdiff_t)y * dst->pitch + (ptrdiff_t)L * bytes;
            for (int x = L; x <= end; ++x, p += bytes) s.ApplyAt(p, bytes);
        });
        return;
    }

    drawpx::SrcKind kind;
    if (!drawpx::SourceKindOf(src->type, src->usePalette, src->useAlpha, &kind))
        return;
    // Numerator x 2^18 first, then one division: an exact step must come out exact, or
    // every pixel but the anchor drifts a texel.
    auto gradient = [det](uint32_t numerator) {
        return ConvertDoubleToInt((double)(int32_t)numerator * kOne / det);
    };
    const int32_t Ux = gradient((uint32_t)duR * dyM - (uint32_t)duM * dyR);
    const int32_t Uy = gradient((uint32_t)duM * dxR - (uint32_t)duR * dxM);
    const int32_t Vx = gradient((uint32_t)dvR * dyM - (uint32_t)dvM * dyR);
    const int32_t Vy = gradient((uint32_t)dvM * dxR - (uint32_t)dvR * dxM);
    const int x0 = Whole(X[ax[0]]), y0 = Whole(Y[ax[0]]);
    const uint32_t U0 = (uint32_t)a0.u * kOne, V0 = (uint32_t)a0.v * kOne;
    const bool bright = drawpx::BrightOn(g_drawState.brightColor);
    const drawpx::PixelContext ctx =
        drawpx::MakePixelContext(src->usePalette == 1 ? (const uint8_t*)src->palette : nullptr, src->colorKey,
                                 BlendGraphTable, g_drawState.brightColor, g_drawState.blendParam);
    drawpx::DispatchPixelRule(kind, g_drawState.blendMode, g_drawState.blendParam, blendImage != nullptr, bright,
                              transparent != 0, [&]<class Rule>() {
                                  RunWalk(w, area, [&](int y, int L, int end) {
                                      uint32_t u = U0 + (uint32_t)(L - x0) * (uint32_t)Ux +
                                                   (uint32_t)(y - y0) * (uint32_t)Uy;
                                      uint32_t v = V0 + (uint32_t)(L - x0) * (uint32_t)Vx +
                                                   (uint32_t)(y - y0) * (uint32_t)Vy;
                                      uint8_t* d = dst->pixels + (ptrdiff_t)y * dst->pitch + (ptrdiff_t)L * bytes;
                                      TexturedRow<Rule>(d, end - L + 1, u, v, Ux, Vx, src, blendImage, ctx);
                                  });
                              });
}
