// QzDrawBlitScaled.cpp: PutMEMIMGScaled, the software blitter that draws one MEMIMG
// stretched, shrunk or mirrored into a rectangle of another, clipped to drawArea, with
// the blend mode, parameter and bright colour of DrawState, a colour key and a blend
// graphic, for R5G6B5 and X8R8G8B8 images. A rectangle of the source's own size with its
// corners in order goes to PutMEMIMG (QzDrawBlit.cpp).
//
// Every setting is decided once per call; each combination then runs a loop of its own,
// instantiated from one template, so a loop tests nothing but the key and the source
// alpha. The fast paths (QzDrawBlitFast.cpp) are asked first, once per call, after the
// palette scratch is filled. Main thread under the library lock: the palette scratch is
// module state.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "QzDraw2D.h"
#include "QzDrawBlit.h"
#include "QzDrawBlitFast.h"
#include "QzDrawBlitPixel.h"
#include "QzDrawDevice.h"
#include "QzDrawScreen.h"
#include "QzGraphicsDrawState.h"

namespace {

// The copy of a palette source's entries that the dedicated subtract loops read; earlier
// calls' entries stay beyond the ones copied.
uint8_t g_scaledPaletteScratch[256 * 4];

enum BlendKind { kNone = 0, kAlpha = 1, kAdd = 2, kSub = 3, kMul = 4 };
// Subtract at P = 255 without blend graphic, bright or source alpha has loops of its own.
enum FastKind { kOrdinary = 0, kSubPacked = 1, kSubSaturating = 2 };

using blitpx::Load16;
using blitpx::Load32;
using blitpx::Store16;
using blitpx::Store32;

// What the set-up hands to every loop.
struct Walk {
    int width, height;  // clipped, both at least 1
    const uint8_t* srcRow;
    ptrdiff_t srcStep, srcRowStep;
    const uint8_t* blendRow;  // null without a blend graphic; its steps are then 0
    ptrdiff_t blendStep, blendRowStep;
    uint8_t* dstRow;
    ptrdiff_t dstPitch;
    int32_t stepX, stepY;  // destination pixels per source pixel, 16.16
    int32_t accX, accY;    // start accumulators after the clip
};

struct Params {
    uint32_t key;
    const uint8_t* palette;  // the source's own entries
    const int32_t* scaleP;   // ScaleTable row of P
    const int32_t* signedP;  // SignedScaleTable row of P at its zero column
    const int32_t* brR;
    const int32_t* brG;
    const int32_t* brB;
    int32_t p;
};

// One destination pixel from one source pixel, for one combination of settings.
template <bool k32, bool kPal, int kMode, bool kBg, bool kBright, bool kSrcAlpha, bool kKey, int kFast>
struct Pixel {
    static constexpr int kDstBytes = k32 ? 4 : 2;
    const Params& p;

    void operator()(uint8_t* d, const uint8_t* s, const uint8_t* b) const {
        uint32_t colour;
        int a = 255;
        if constexpr (kPal) {
            uint32_t index = *s;
            if constexpr (kKey)
                if (index == p.key)
                    return;
            if constexpr (kFast != kOrdinary)
                colour = k32 ? Load32(g_scaledPaletteScratch + index * 4) : Load16(g_scaledPaletteScratch + index * 2);
            else
                colour = k32 ? Load32(p.palette + index * 4) : Load16(p.palette + index * 2);
        } else if constexpr (k32) {
            colour = Load32(s);
            if constexpr (kSrcAlpha)
                a = (int)(colour >> 24);
            else if constexpr (kKey)
                if (colour == p.key)
                    return;
        } else if constexpr (kSrcAlpha) {
            uint32_t unit = Load32(s);
            colour = unit & 0xFFFF;
            a = (int)(unit >> 16 & 0xFF);
        } else {
            colour = Load16(s);
            if constexpr (kKey) {
                // The plain keyed copy compares the pixel with the key's low half only.
                constexpr bool plainCopy = kMode == kNone && !kBg && !kBright;
                if (colour == (plainCopy ? (p.key & 0xFFFF) : p.key))
                    return;
            }
        }
        int f = 0;
        if constexpr (kBg)
            f = BlendGraphTable[*b];
        if constexpr (kSrcAlpha) {
            if constexpr (kKey) {
                if (a == 0)
                    return;
                if (a == 255) {
                    Apply<false>(d, colour, f, 0);
                    return;
                }
            }
            Apply<true>(d, colour, f, a);
        } else {
            Apply<false>(d, colour, f, 0);
        }
    }

    template <bool kWithA>
    void Apply(uint8_t* d, uint32_t colour, int f, int a) const {
        if constexpr (k32)
            Apply32<kWithA>(d, colour, f, a);
        else
            Apply16<kWithA>(d, colour, f, a);
    }

    template <bool kWithA>
    void Apply32(uint8_t* dp, uint32_t colour, int f, int a) const {
        uint32_t dv = Load32(dp);
        constexpr int factors = (kBg ? 1 : 0) + (kWithA ? 1 : 0);
        int64_t k = (kBg ? f : 1) * (int64_t)(kWithA ? a : 1);
        if constexpr (kFast == kSubSaturating) {
            Store32(dp, blitpx::SaturatingSubtract32(colour, dv));
            return;
        } else if constexpr (kFast == kSubPacked) {
            Store32(dp, blitpx::PackedSubtract32(colour & 0x00FEFEFFu, dv));
            return;
        } else if constexpr (kMode == kNone && factors == 0) {
            if constexpr (!kBright) {
                Store32(dp, colour);
            } else {
                uint32_t out = (dv & 0xFF000000u) | (uint32_t)p.brR[colour >> 16 & 0xFF] << 16 |
                               (uint32_t)p.brG[colour >> 8 & 0xFF] << 8 | (uint32_t)p.brB[colour & 0xFF];
                Store32(dp, out);
            }
            return;
        } else {
            const int32_t* bright[3] = {p.brB, p.brG, p.brR};
            uint32_t out = 0;
            for (int c = 0; c < 3; ++c) {
                int sh = c * 8;
                int sc = (int)(colour >> sh & 0xFF);
                if constexpr (kBright)
                    sc = bright[c][sc];
                int dc = (int)(dv >> sh & 0xFF);
                int oc;
                if constexpr (kMode == kNone)
                    oc = blitpx::MixChannel(sc, dc, k, 8 * factors);
                else if constexpr (kMode == kAlpha)
                    oc = blitpx::MixChannel(sc, dc, k * p.p, 8 * (factors + 1));
                else if constexpr (kMode == kAdd || kMode == kSub)
                    oc = factors == 0 ? p.scaleP[sc] : (int)((sc * k * p.p) >> (8 * (factors + 1)));
                else
                    oc = (int)((sc * k * dc) >> (8 * (factors + 1)));
                out |= (uint32_t)oc << sh;
            }
            if constexpr (kMode == kAdd)
                out = blitpx::PackedAdd32(out, dv);
            else if constexpr (kMode == kSub)
                out = blitpx::PackedSubtract32(out, dv);
            else
                out |= dv & 0xFF000000u;
            Store32(dp, out);
        }
    }

    template <bool kWithA>
    void Apply16(uint8_t* dp, uint32_t colour, int f, int a) const {
        uint32_t dv = Load16(dp);
        constexpr int factors = (kBg ? 1 : 0) + (kWithA ? 1 : 0);
        int64_t k = (kBg ? f : 1) * (int64_t)(kWithA ? a : 1);
        if constexpr (kFast != kOrdinary) {
            Store16(dp, blitpx::PackedSubtract16(colour, dv));
            return;
        } else if constexpr (kMode == kNone && factors == 0 && !kBright) {
            Store16(dp, colour);
            return;
        } else {
            // Red, green, blue: shift in the word, the multiply divisor's shift.
            static constexpr int kShift[3] = {11, 5, 0};
            static constexpr uint32_t kMask[3] = {31, 63, 31};
            static constexpr int kMulShift[3] = {5, 6, 5};
            const int32_t* bright[3] = {p.brR, p.brG, p.brB};
            uint32_t out = 0;
            for (int c = 0; c < 3; ++c) {
                int s0 = (int)(colour >> kShift[c] & kMask[c]);
                int sc = kBright ? bright[c][s0] : s0;
                int dc = (int)(dv >> kShift[c] & kMask[c]);
                int oc;
                if constexpr (kMode == kNone) {
                    oc = factors == 0 ? sc : blitpx::MixChannel(sc, dc, k, 8 * factors);
                } else if constexpr (kMode == kAlpha) {
                    oc = factors == 0 ? dc + p.signedP[sc - dc] : blitpx::MixChannel(sc, dc, k * p.p, 8 * (factors + 1));
                } else if constexpr (kMode == kAdd || kMode == kSub) {
                    if constexpr (kWithA && kBright && !kBg)
                        // Alpha first, then bright, then P: the one cell whose order differs.
                        oc = p.scaleP[bright[c][(s0 * a) >> 8]];
                    else
                        oc = factors == 0 ? p.scaleP[sc] : p.scaleP[(sc * k) >> (8 * factors)];
                } else {
                    oc = (int)((sc * k * dc) >> (kMulShift[c] + 8 * factors));
                }
                out |= (uint32_t)oc << kShift[c];
            }
            if constexpr (kMode == kAdd)
                out = blitpx::PackedAdd16(out, dv);
            else if constexpr (kMode == kSub)
                out = blitpx::PackedSubtract16(out, dv);
            Store16(dp, out);
        }
    }
};

// The shared stepping: a destination column shows source column floor(offset x 65536 /
// step), the offset counted from the unclipped edge; the source moves only when the
// accumulator runs out, and not after the last pixel or row.
template <class Op>
void RunScaled(const Walk& w, const Op& op) {
    uint8_t* drow = w.dstRow;
    const uint8_t* srow = w.srcRow;
    const uint8_t* brow = w.blendRow;
    int32_t accY = w.accY;
    for (int rows = w.height;;) {
        uint8_t* d = drow;
        const uint8_t* s = srow;
        const uint8_t* b = brow;
        int32_t acc = w.accX;
        for (int n = w.width;;) {
            op(d, s, b);
            d += Op::kDstBytes;
            if (--n == 0)
                break;
            acc -= 65536;
            while (acc <= 0) {
                s += w.srcStep;
                b += w.blendStep;
                acc += w.stepX;
            }
        }
        if (--rows == 0)
            break;
        drow += w.dstPitch;
        accY -= 65536;
        while (accY <= 0) {
            srow += w.srcRowStep;
            brow += w.blendRowStep;
            accY += w.stepY;
        }
    }
}

template <class F>
void WithBool(bool value, F f) {
    if (value)
        f(std::true_type{});
    else
        f(std::false_type{});
}

struct Choice {
    bool is32, palette, blendGraph, bright, srcAlpha, key;
    int mode;  // 0-4, alpha at 255 already turned into none
    int fast;
};

template <bool k32, bool kPal, int kMode>
void DispatchOptions(const Choice& c, const Walk& w, const Params& p) {
    WithBool(c.blendGraph, [&](auto bg) {
        WithBool(c.bright, [&](auto br) {
            WithBool(c.srcAlpha && !kPal, [&](auto sa) {
                WithBool(c.key, [&](auto key) {
                    constexpr bool kBg = decltype(bg)::value, kBr = decltype(br)::value;
                    constexpr bool kSa = decltype(sa)::value, kKey = decltype(key)::value;
                    if constexpr (kMode == kSub && !kBg && !kBr && !kSa) {
                        if (c.fast == kSubSaturating) {
                            if constexpr (k32)
                                RunScaled(w, Pixel<k32, kPal, kMode, kBg, kBr, kSa, kKey, kSubSaturating>{p});
                            return;
                        }
                        if (c.fast == kSubPacked) {
                            RunScaled(w, Pixel<k32, kPal, kMode, kBg, kBr, kSa, kKey, kSubPacked>{p});
                            return;
                        }
                    }
                    RunScaled(w, Pixel<k32, kPal, kMode, kBg, kBr, kSa, kKey, kOrdinary>{p});
                });
            });
        });
    });
}

template <bool k32, bool kPal>
void DispatchMode(const Choice& c, const Walk& w, const Params& p) {
    switch (c.mode) {
    case kNone: DispatchOptions<k32, kPal, kNone>(c, w, p); break;
    case kAlpha: DispatchOptions<k32, kPal, kAlpha>(c, w, p); break;
    case kAdd: DispatchOptions<k32, kPal, kAdd>(c, w, p); break;
    case kSub: DispatchOptions<k32, kPal, kSub>(c, w, p); break;
    case kMul: DispatchOptions<k32, kPal, kMul>(c, w, p); break;
    default: break;
    }
}

void Dispatch(const Choice& c, const Walk& w, const Params& p) {
    WithBool(c.is32, [&](auto is32) {
        WithBool(c.palette, [&](auto pal) { DispatchMode<decltype(is32)::value, decltype(pal)::value>(c, w, p); });
    });
}

// Bytes per pixel of a source kind as the loops walk it.
int SourceBytes(const MEMIMG* src) {
    if (src->usePalette == 1)
        return 1;
    if (src->type == 0)
        return src->useAlpha == 1 ? 4 : 2;
    return 4;
}

}  // namespace

void PutMEMIMGScaled(MEMIMG* dst, const MEMIMG* src, const RECT* rect, int transparent, const MEMIMG* blendImage) {
    if (dst == nullptr || src == nullptr || rect == nullptr)
        return;
    int hDir = 1, vDir = 1;
    RECT ordered = *rect;
    if (rect->right < rect->left) {
        ordered.left = rect->right;
        ordered.right = rect->left;
        hDir = -1;
    }
    if (rect->bottom < rect->top) {
        ordered.top = rect->bottom;
        ordered.bottom = rect->top;
        vDir = -1;
    }
    int64_t w = (int64_t)ordered.right - ordered.left, h = (int64_t)ordered.bottom - ordered.top;
    if (w == 0 || h == 0)
        return;
    if (src->width == w && src->height == h && hDir == 1 && vDir == 1) {
        PutMEMIMG(dst, src, ordered.left, ordered.top, transparent, blendImage);
        return;
    }

    // Calls the 32-bit stepping cannot carry, and images whose layout the loops would
    // walk out of, are refused rather than drawn out of bounds.
    if (dst->pixels == nullptr || src->pixels == nullptr || dst->format == nullptr || src->format == nullptr)
        return;
    if (src->width <= 0 || src->height <= 0 || w >= 65536 || h >= 65536)
        return;
    if (src->type != 0 && src->type != 1)
        return;
    int srcBytes = SourceBytes(src);
    if (src->format->pixelBytes != srcBytes || dst->format->pixelBytes != (src->type == 1 ? 4 : 2))
        return;
    if (blendImage != nullptr &&
        (blendImage->pixels == nullptr || blendImage->width < src->width || blendImage->height < src->height))
        return;
    uint32_t stepX = ((uint32_t)w << 16) / (uint32_t)src->width;
    uint32_t stepY = ((uint32_t)h << 16) / (uint32_t)src->height;
    if (stepX == 0 || stepY == 0 || stepX > INT32_MAX || stepY > INT32_MAX)
        return;

    RECT clipped = ordered;
    ClipRect(&clipped, &g_drawState.drawArea);
    RECT whole = {0, 0, dst->width, dst->height};
    ClipRect(&clipped, &whole);
    int cw = clipped.right - clipped.left, ch = clipped.bottom - clipped.top;
    if (cw <= 0 || ch <= 0)
        return;
    int64_t k = (int64_t)clipped.left - ordered.left, j = (int64_t)clipped.top - ordered.top;
    int64_t startCol = k * 65536 / stepX, startRow = j * 65536 / stepY;
    // The truncated step can carry the last column of a very large shrink one past the
    // source's edge.
    if ((k + cw - 1) * 65536 / stepX >= src->width || (j + ch - 1) * 65536 / stepY >= src->height)
        return;

    Walk walk = {};
    walk.width = cw;
    walk.height = ch;
    walk.stepX = (int32_t)stepX;
    walk.stepY = (int32_t)stepY;
    walk.accX = (int32_t)(stepX - (uint32_t)(k * 65536 % stepX));
    walk.accY = (int32_t)(stepY - (uint32_t)(j * 65536 % stepY));
    int64_t col = hDir == 1 ? startCol : src->width - 1 - startCol;
    int64_t row = vDir == 1 ? startRow : src->height - 1 - startRow;
    walk.srcRow = src->pixels + col * srcBytes + row * src->pitch;
    walk.srcStep = hDir * srcBytes;
    walk.srcRowStep = (ptrdiff_t)vDir * src->pitch;
    if (blendImage != nullptr) {
        walk.blendRow = blendImage->pixels + col + row * blendImage->pitch;
        walk.blendStep = hDir;
        walk.blendRowStep = (ptrdiff_t)vDir * blendImage->pitch;
    }
    walk.dstRow = dst->pixels + (ptrdiff_t)clipped.left * dst->format->pixelBytes + (ptrdiff_t)clipped.top * dst->pitch;
    walk.dstPitch = dst->pitch;

    bool palette = src->usePalette == 1;
    if (palette && src->palette != nullptr) {
        int count = src->paletteCount < 0 ? 0 : src->paletteCount > 256 ? 256 : src->paletteCount;
        std::memcpy(g_scaledPaletteScratch, src->palette, (size_t)count * (src->type == 0 ? 2 : 4));
    }
    if (palette && src->palette == nullptr)
        return;

    int32_t mode = g_drawState.blendMode, p = g_drawState.blendParam;
    if ((uint32_t)mode > 4)
        return;
    if (mode == kAlpha && p == 255)
        mode = kNone;
    if ((mode == kAlpha || mode == kAdd) && p == 0)
        return;
    if (mode == kSub && p == 0 && !palette)
        return;
    // P indexes the tables; a value outside them is not a parameter.
    if (p < 0 || p > 255)
        return;
    uint32_t brightColour = g_drawState.brightColor;
    Params params = {};
    params.key = src->colorKey;
    params.palette = (const uint8_t*)src->palette;
    params.p = p;
    params.scaleP = ScaleTable[p];
    params.signedP = SignedScaleTable[p] + 255;
    params.brR = ScaleTable[brightColour >> 16 & 0xFF];
    params.brG = ScaleTable[brightColour >> 8 & 0xFF];
    params.brB = ScaleTable[brightColour & 0xFF];

    Choice choice = {};
    choice.is32 = src->type == 1;
    choice.palette = palette;
    choice.mode = mode;
    choice.blendGraph = blendImage != nullptr;
    choice.bright = (brightColour & 0xFFFFFF) != 0xFFFFFF;
    choice.srcAlpha = !palette && src->useAlpha == 1;
    choice.key = transparent != 0;
    if (mode == kSub && p == 255 && !choice.blendGraph && !choice.bright && !choice.srcAlpha)
        choice.fast = choice.is32 && g_screen.mmxAvailable == 1 ? kSubSaturating : kSubPacked;

    FastScaledCall fast{};
    fast.W = walk.width;
    fast.H = walk.height;
    fast.srcRow = walk.srcRow;
    fast.srcStep = walk.srcStep;
    fast.srcRowStep = walk.srcRowStep;
    fast.stepX = walk.stepX;
    fast.stepY = walk.stepY;
    fast.accX = walk.accX;
    fast.accY = walk.accY;
    fast.dstRow = walk.dstRow;
    fast.dstPitch = walk.dstPitch;
    fast.is32 = choice.is32;
    fast.kind = palette ? 2 : choice.srcAlpha ? 1 : 0;
    fast.mode = mode;
    fast.P = p;
    fast.bright = brightColour;
    fast.blendGraph = choice.blendGraph;
    fast.key = choice.key;
    fast.colorKey = src->colorKey;
    fast.mmx = g_screen.mmxAvailable == 1;
    if (PutMEMIMGScaledFast(fast))
        return;
    Dispatch(choice, walk, params);
}
