// QzDrawRotate.cpp: PutMEMIMGRotated, the software drawer that turns and scales a whole
// source MEMIMG about a centre point. Inverse mapping: the turned corners give a box,
// the box is clipped, and every box pixel steps a 14.18 fixed-point source position
// (value x 2^18); pixels whose position falls inside the source take the per-pixel rule
// of QzDrawPixelPipeline.h. Main thread under the library lock: the row tables and the
// palette copy are single global buffers, so one software draw runs at a time.
#include <cstdint>
#include <cstring>

#include "QzDraw2D.h"
#include "QzDrawPixelPipeline.h"
#include "QzDrawPrimitive.h"
#include "QzGraphicsDrawState.h"
#include "QzUseCLib.h"

namespace {

constexpr int kRowTableSize = 4096;
constexpr int kMaxSourceSide = 8192;  // so that width x 2^18 fits the unsigned bound test
constexpr float kOne = 262144.0f;     // 2^18

const uint8_t* SourceRowTable[kRowTableSize];
const uint8_t* BlendRowTable[kRowTableSize];
uint8_t PaletteCopyBuffer[1024];

// 32-bit wrapping arithmetic on 14.18 values.
inline int32_t Add(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }
inline int32_t Sub(int32_t a, int32_t b) { return (int32_t)((uint32_t)a - (uint32_t)b); }
inline int32_t Mul(int32_t a, int32_t b) { return (int32_t)((uint32_t)a * (uint32_t)b); }
// Whole pixels, truncated toward zero.
inline int32_t Whole(int32_t p) { return p / 262144; }
inline int32_t Fixed(int32_t pixels) { return (int32_t)((uint32_t)pixels << 18); }

struct Scan {
    uint8_t* dst;       // first pixel of the box
    int32_t pitch;
    int width, lines;   // box width in pixels, line count
    int32_t u, v, du, dv, duLine, dvLine;
    uint32_t boundU, boundV;
};

template <class Rule>
void Traverse(const Scan& sc, const drawpx::PixelContext& ctx) {
    constexpr int unit = drawpx::UnitBytes(Rule::kKind);
    constexpr int step = drawpx::Is16(Rule::kKind) ? 2 : 4;
    uint8_t* line = sc.dst;
    uint32_t lu = (uint32_t)sc.u, lv = (uint32_t)sc.v;
    for (int j = 0; j < sc.lines; ++j) {
        uint32_t u = lu, v = lv;
        uint8_t* d = line;
        for (int i = 0; i < sc.width; ++i) {
            if (u < sc.boundU && v < sc.boundV) {
                const uint32_t x = u >> 18, y = v >> 18;
                const uint8_t* blendByte = Rule::kBlend ? BlendRowTable[y] + x : nullptr;
                Rule::Apply(d, SourceRowTable[y] + (size_t)x * unit, blendByte, ctx);
            }
            u += (uint32_t)sc.du;
            v += (uint32_t)sc.dv;
            d += step;
        }
        // The next line starts at this line's first position plus the line step.
        lu += (uint32_t)sc.duLine;
        lv += (uint32_t)sc.dvLine;
        line += sc.pitch;
    }
}

}  // namespace

void PutMEMIMGRotated(MEMIMG* dst, const MEMIMG* src, int cx, int cy, float angle, float scale, int transparent,
                      int mirror, const MEMIMG* blendImage) {
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr)
        return;
    if (src->type != dst->type || dst->usePalette == 1 || dst->useAlpha == 1)
        return;

    float sn, cs;
    GetSinCos(-angle, &sn, &cs);
    const int32_t sInv = ConvertFloatToInt(sn * kOne), cInv = ConvertFloatToInt(cs * kOne);
    GetSinCos(angle, &sn, &cs);
    const int32_t sFwd = ConvertFloatToInt(sn * kOne), cFwd = ConvertFloatToInt(cs * kOne);

    const int32_t centerX = Fixed(cx), centerY = Fixed(cy);
    const float hw = (float)(uint32_t)src->width * scale * 0.5f;
    const float hh = (float)(uint32_t)src->height * scale * 0.5f;
    const float p1 = (float)cFwd * hw, p2 = (float)sFwd * hw, p3 = (float)cFwd * hh, p4 = (float)sFwd * hh;
    const int32_t cornerX[4] = {Add(centerX, ConvertFloatToInt(p4 - p1)), Add(centerX, ConvertFloatToInt(-p1 - p4)),
                                Add(centerX, ConvertFloatToInt(p1 - p4)), Add(centerX, ConvertFloatToInt(p1 + p4))};
    const int32_t cornerY[4] = {Add(centerY, ConvertFloatToInt(-p2 - p3)), Add(centerY, ConvertFloatToInt(p3 - p2)),
                                Add(centerY, ConvertFloatToInt(p2 + p3)), Add(centerY, ConvertFloatToInt(p2 - p3))};

    if (mirror != 0) {
        // Mirrored: the turned corners swapped left for right, drawn as a four-point shape
        // (top-left, top-right, bottom-left, bottom-right) by the triangle drawer.
        const MEMIMGPoint corner[4] = {{Whole(cornerX[3]), Whole(cornerY[3])},
                                       {Whole(cornerX[0]), Whole(cornerY[0])},
                                       {Whole(cornerX[2]), Whole(cornerY[2])},
                                       {Whole(cornerX[1]), Whole(cornerY[1])}};
        PutMEMIMGQuad(dst, src, corner, transparent, blendImage);
        return;
    }
    if (scale == 0.0f)
        return;  // all four corners on the centre

    const int32_t du = ConvertFloatToInt((float)cFwd / scale);
    const int32_t dv = ConvertFloatToInt((float)sInv / scale);

    int32_t minX = cornerX[0], maxX = cornerX[0], minY = cornerY[0], maxY = cornerY[0];
    for (int i = 1; i < 4; ++i) {
        if (cornerX[i] < minX) minX = cornerX[i];
        if (cornerX[i] > maxX) maxX = cornerX[i];
        if (cornerY[i] < minY) minY = cornerY[i];
        if (cornerY[i] > maxY) maxY = cornerY[i];
    }
    if (minY == maxY)
        return;
    RECT box = {Whole(minX) - 2, Whole(minY) - 2, Whole(maxX) + 4, Whole(maxY) + 4};
    ClipRect(&box, &g_drawState.drawArea);
    // Pixels are meant to be clipped by the draw area alone, but a draw area reaching past
    // the destination would write outside its pixels: clip to the destination as well.
    const RECT whole = {0, 0, dst->width, dst->height};
    ClipRect(&box, &whole);
    if (box.right <= box.left || box.bottom <= box.top)
        return;

    // Limits the row tables and the bound test rely on; a blend image must cover the
    // source, since it is read at the source position.
    if (src->height > kRowTableSize || src->width > kMaxSourceSide)
        return;
    if (blendImage != nullptr &&
        (blendImage->pixels == nullptr || blendImage->width < src->width ||
         blendImage->height < src->height || blendImage->height > kRowTableSize))
        return;

    const int32_t halfU = Fixed((int32_t)((uint32_t)src->width >> 1));
    const int32_t halfV = Fixed((int32_t)((uint32_t)src->height >> 1));
    // The numerator passes 2^24 on large boxes: divide it whole, then round the quotient
    // to single precision, or the position drifts by a unit.
    auto divide = [scale](int32_t numerator) { return ConvertFloatToInt((float)((double)numerator / scale)); };
    auto mapU = [&](int x, int y) {
        const int32_t ox = x - cx, oy = y - cy;
        return Add(divide(Sub(Mul(cInv, ox), Mul(sInv, oy))), halfU);
    };
    auto mapV = [&](int x, int y) {
        const int32_t ox = x - cx, oy = y - cy;
        return Add(divide(Add(Mul(sInv, ox), Mul(cInv, oy))), halfV);
    };

    Scan sc;
    sc.lines = box.bottom - box.top;
    sc.width = box.right - box.left;
    sc.u = mapU(box.left, box.top);
    sc.v = mapV(box.left, box.top);
    sc.du = du;
    sc.dv = dv;
    sc.duLine = Sub(mapU(box.left, box.bottom), sc.u) / sc.lines;
    sc.dvLine = Sub(mapV(box.left, box.bottom), sc.v) / sc.lines;
    sc.boundU = (uint32_t)src->width << 18;
    sc.boundV = (uint32_t)src->height << 18;
    sc.pitch = dst->pitch;
    sc.dst = dst->pixels + (ptrdiff_t)box.top * dst->pitch + (ptrdiff_t)box.left * dst->format->pixelBytes;

    for (int r = 0; r < src->height; ++r)
        SourceRowTable[r] = src->pixels + (ptrdiff_t)r * src->pitch;
    if (blendImage != nullptr)
        for (int r = 0; r < blendImage->height; ++r)
            BlendRowTable[r] = blendImage->pixels + (ptrdiff_t)r * blendImage->pitch;

    drawpx::SrcKind kind;
    if (!drawpx::SourceKindOf(src->type, src->usePalette, src->useAlpha, &kind))
        return;
    const uint8_t* palette = nullptr;
    if (src->usePalette == 1) {
        if (src->palette == nullptr)
            return;
        const int count = src->paletteCount < 0 ? 0 : src->paletteCount > 256 ? 256 : src->paletteCount;
        const size_t bytes = (size_t)count * (src->type == 0 ? 2 : 4);
        if (bytes != 0)
            std::memcpy(PaletteCopyBuffer, src->palette, bytes);
        palette = (const uint8_t*)src->palette;
    }
    const bool bright = drawpx::BrightOn(g_drawState.brightColor);
    // Only the plain palette copies (blend mode none, or alpha at 255, which draws as none)
    // read the entries from the copy; the others through the palette itself. Both give
    // the same entry for every index in use.
    const bool plainMode = g_drawState.blendMode == 0 || (g_drawState.blendMode == 1 && g_drawState.blendParam == 255);
    if (palette != nullptr && blendImage == nullptr && !bright && plainMode)
        palette = PaletteCopyBuffer;
    const drawpx::PixelContext ctx = drawpx::MakePixelContext(palette, src->colorKey, BlendGraphTable,
                                                              g_drawState.brightColor, g_drawState.blendParam);
    drawpx::DispatchPixelRule(kind, g_drawState.blendMode, g_drawState.blendParam, blendImage != nullptr, bright,
                              transparent != 0, [&]<class Rule>() { Traverse<Rule>(sc, ctx); });
}
