// QzDrawBlit.cpp: PutMEMIMG, the plain software blitter: one MEMIMG onto another at a
// position, clipped to drawArea, with the blend mode, parameter and bright colour of
// DrawState, an optional colour key and blend graphic, per-pixel source alpha and
// palette sources, in 16-bit R5G6B5 and 32-bit X8R8G8B8.
//
// Every setting is examined once per call; each combination then runs a loop of its own
// (template parameters), so a loop tests only the colour key, the source alpha and the
// run codes. The pixel arithmetic lives in QzDrawBlitPixel.h, shared with the scaled
// blitter. The fast paths (QzDrawBlitFast.cpp) are asked first, once per call; the
// loops here are the reference they are tested against. Main thread under the library lock.
#include "QzDrawBlit.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "QzDraw2D.h"
#include "QzDrawBlitFast.h"
#include "QzDrawBlitPixel.h"
#include "QzDrawDevice.h"
#include "QzDrawScreen.h"
#include "QzGraphicsDrawState.h"

namespace {

using blitpx::Rgb;

enum SourceKind { kDirect, kDirectAlpha, kPaletteSource };
enum Mode { kNone, kAlpha, kAdd, kSubtract, kMultiply };
// How a pixel without a per-pixel alpha is drawn: the general path's own loops (16-bit
// alpha mixes through LerpTable64 there), or the opaque form shared by source-alpha
// pixels at 255 and by the run path (16-bit alpha takes the signed mix).
enum Form { kOpaqueForm, kWithAlpha, kGeneralForm };
// The dedicated loops taken with no blend graphic, no bright and no source alpha.
enum Fast { kHalve, kAddPlain, kAddSaturating, kSubtractPlain, kSubtractSaturating };

struct Blit {
    int W, H;
    const uint8_t* src;
    uint8_t* dst;
    const uint8_t* blend;
    ptrdiff_t srcSkip, dstSkip, blendSkip;
    uint32_t key;
    const uint8_t* palette;
    const uint8_t* runs;
    int P;
    const int32_t* pRow;       // ScaleTable row of P
    const int32_t* signedRow;  // SignedScaleTable row of P at its zero column
    const int32_t* brightR;
    const int32_t* brightG;
    const int32_t* brightB;
    const uint8_t* lerpSlice;  // LerpTable64 at P / 4
};

using blitpx::Load16;
using blitpx::Load32;
using blitpx::Store16;
using blitpx::Store32;

template <bool Is32, int Kind>
constexpr int SourceStep() {
    return Kind == kPaletteSource ? 1 : (Is32 || Kind == kDirectAlpha) ? 4 : 2;
}

// What a loop reads of one source pixel: the raw value the colour key is compared with
// (pixel or index), the colour word, and the alpha.
struct SourcePixel {
    uint32_t raw;
    uint32_t colour;
    int alpha;
};

template <bool Is32, int Kind>
SourcePixel ReadSource(const Blit& b, const uint8_t* sp) {
    if constexpr (Kind == kPaletteSource) {
        uint32_t index = *sp;
        return {index, Is32 ? Load32(b.palette + index * 4) : Load16(b.palette + index * 2), 255};
    } else if constexpr (Is32) {
        uint32_t v = Load32(sp);
        return {v, v, (int)(v >> 24)};
    } else if constexpr (Kind == kDirectAlpha) {
        uint32_t v = Load32(sp);
        return {v & 0xFFFF, v & 0xFFFF, (int)(v >> 16 & 0xFF)};
    } else {
        uint32_t v = Load16(sp);
        return {v, v, 255};
    }
}

// One pixel of the table operations: source colour word s over destination d, with the
// source alpha A (kWithAlpha only) and the blend factor F (BG only).
template <bool Is32, int M, bool BG, bool Bright, int Fm>
uint32_t Operate(const Blit& b, uint32_t s, uint32_t d, int A, int F) {
    constexpr bool WithA = Fm == kWithAlpha;
    constexpr int factors = (BG ? 1 : 0) + (WithA ? 1 : 0);
    const int64_t k = (int64_t)(BG ? F : 1) * (WithA ? A : 1);
    Rgb sc = Is32 ? blitpx::Split32(s) : blitpx::Split16(s);
    Rgb sb = Bright ? blitpx::Brighten(sc, b.brightR, b.brightG, b.brightB) : sc;

    if constexpr (M == kNone) {
        if constexpr (factors == 0) {
            if constexpr (Is32)
                return Bright ? blitpx::Pack32(sb, d) : s;
            else
                return Bright ? blitpx::Pack16(sb) : s;
        } else if constexpr (Is32) {
            return blitpx::Mix32(sb, d, k, 8 * factors);
        } else {
            return blitpx::Pack16(blitpx::Mix(sb, blitpx::Split16(d), k, 8 * factors));
        }
    } else if constexpr (M == kAlpha) {
        if constexpr (Is32) {
            return blitpx::Mix32(sb, d, k * b.P, 8 * (factors + 1));
        } else if constexpr (factors == 0) {
            if constexpr (Fm == kGeneralForm && !Bright)
                return blitpx::Lerp64Mix16(sb, d, b.lerpSlice);
            else
                return blitpx::SignedMix16(sb, d, b.signedRow);
        } else {
            return blitpx::Pack16(blitpx::Mix(sb, blitpx::Split16(d), k * b.P, 8 * (factors + 1)));
        }
    } else if constexpr (M == kAdd || M == kSubtract) {
        Rgb v;
        if constexpr (Is32) {
            if constexpr (factors == 0)
                v = {b.pRow[sb.r], b.pRow[sb.g], b.pRow[sb.b]};
            else {
                const int n = 8 * (factors + 1);
                const int64_t kp = k * b.P;
                v = {(int)(sb.r * kp >> n), (int)(sb.g * kp >> n), (int)(sb.b * kp >> n)};
            }
        } else {
            Rgb w;
            if constexpr (factors == 0) {
                w = sb;
            } else if constexpr (WithA && !BG && Bright) {
                // Here the alpha weighs the plain channel and bright follows.
                w = blitpx::Brighten({sc.r * A >> 8, sc.g * A >> 8, sc.b * A >> 8}, b.brightR, b.brightG, b.brightB);
            } else {
                const int n = 8 * factors;
                w = {(int)(sb.r * k >> n), (int)(sb.g * k >> n), (int)(sb.b * k >> n)};
            }
            v = {b.pRow[w.r], b.pRow[w.g], b.pRow[w.b]};
        }
        uint32_t vw = Is32 ? blitpx::Pack32(v, 0) : blitpx::Pack16(v);
        if constexpr (M == kAdd)
            return Is32 ? blitpx::PackedAdd32(vw, d) : blitpx::PackedAdd16(vw, d);
        else
            return Is32 ? blitpx::PackedSubtract32(vw, d) : blitpx::PackedSubtract16(vw, d);
    } else {
        if constexpr (Is32)
            return blitpx::Multiply32(sb, d, k, 8 * (factors + 1));
        else
            return blitpx::Multiply16(sb, d, k, 8 * factors);
    }
}

template <bool Is32>
uint32_t LoadDst(const uint8_t* p) {
    return Is32 ? Load32(p) : Load16(p);
}
template <bool Is32>
void StoreDst(uint8_t* p, uint32_t v) {
    if constexpr (Is32)
        Store32(p, v);
    else
        Store16(p, v);
}

// The general path's table loop for one combination.
template <bool Is32, int Kind, int M, bool BG, bool Bright, bool Key>
void GeneralLoop(const Blit& b) {
    constexpr int ss = SourceStep<Is32, Kind>();
    constexpr int ds = Is32 ? 4 : 2;
    const uint8_t* sp = b.src;
    uint8_t* dp = b.dst;
    const uint8_t* bp = b.blend;
    for (int row = 0; row < b.H; ++row) {
        for (int i = 0; i < b.W; ++i, sp += ss, dp += ds) {
            int F = 0;
            if constexpr (BG)
                F = BlendGraphTable[*bp++];
            SourcePixel s = ReadSource<Is32, Kind>(b, sp);
            uint32_t d = LoadDst<Is32>(dp);
            if constexpr (Kind == kDirectAlpha) {
                // The key value is never compared here: the alpha decides.
                if (Key && s.alpha == 0)
                    continue;
                if (Key && s.alpha == 255)
                    StoreDst<Is32>(dp, Operate<Is32, M, BG, Bright, kOpaqueForm>(b, s.colour, d, 255, F));
                else
                    StoreDst<Is32>(dp, Operate<Is32, M, BG, Bright, kWithAlpha>(b, s.colour, d, s.alpha, F));
            } else {
                if (Key && s.raw == b.key)
                    continue;
                StoreDst<Is32>(dp, Operate<Is32, M, BG, Bright, kGeneralForm>(b, s.colour, d, 255, F));
            }
        }
        sp += b.srcSkip;
        dp += b.dstSkip;
        if constexpr (BG)
            bp += b.blendSkip;
    }
}

template <bool Is32, int Op>
uint32_t FastOne(uint32_t s, uint32_t d) {
    if constexpr (Op == kHalve)
        return Is32 ? blitpx::Halve32(s, d) : blitpx::Halve16(s, d);
    else if constexpr (Op == kAddSaturating)
        return blitpx::SaturatingAdd32(s, d);
    else if constexpr (Op == kSubtractSaturating)
        return blitpx::SaturatingSubtract32(s, d);
    else if constexpr (Op == kAddPlain)
        return Is32 ? blitpx::PackedAddNoLowBits32(s, d) : blitpx::PackedAddNoLowBits16(s, d);
    else
        return Is32 ? blitpx::PackedSubtract32(s, d) : blitpx::PackedSubtract16(s, d);
}

// The dedicated loops: alpha at 128, add and subtract at 255, on the source colour
// itself. The 16-bit add and subtract take the pixels of a row in pairs, and a pair
// drawn whole takes the two-pixel word form, whose second pixel keeps fewer low bits.
template <bool Is32, int Kind, int Op, bool Key>
void FastLoop(const Blit& b) {
    constexpr int ss = SourceStep<Is32, Kind>();
    constexpr int ds = Is32 ? 4 : 2;
    constexpr bool pairs = !Is32 && (Op == kAddPlain || Op == kSubtractPlain);
    const uint8_t* sp = b.src;
    uint8_t* dp = b.dst;
    for (int row = 0; row < b.H; ++row) {
        int i = 0;
        if constexpr (pairs) {
            for (; i + 1 < b.W; i += 2, sp += 2 * ss, dp += 2 * ds) {
                SourcePixel s0 = ReadSource<Is32, Kind>(b, sp);
                SourcePixel s1 = ReadSource<Is32, Kind>(b, sp + ss);
                bool draw0 = !(Key && s0.raw == b.key);
                bool draw1 = !(Key && s1.raw == b.key);
                uint32_t d0 = Load16(dp), d1 = Load16(dp + 2);
                if (draw0 && draw1) {
                    uint32_t pv = s0.colour | s1.colour << 16, pd = d0 | d1 << 16;
                    uint32_t out = Op == kAddPlain ? blitpx::PackedAddNoLowBitsPair16(pv, pd)
                                                   : blitpx::PackedSubtractPair16(pv, pd);
                    Store16(dp, out & 0xFFFF);
                    Store16(dp + 2, out >> 16);
                } else if (draw0) {
                    Store16(dp, FastOne<Is32, Op>(s0.colour, d0));
                } else if (draw1) {
                    Store16(dp + 2, FastOne<Is32, Op>(s1.colour, d1));
                }
            }
        }
        for (; i < b.W; ++i, sp += ss, dp += ds) {
            SourcePixel s = ReadSource<Is32, Kind>(b, sp);
            if (Key && s.raw == b.key)
                continue;
            StoreDst<Is32>(dp, FastOne<Is32, Op>(s.colour, LoadDst<Is32>(dp)));
        }
        sp += b.srcSkip;
        dp += b.dstSkip;
    }
}

// The transparency-run path: the source's run tables say which pixels to skip, which
// are opaque and which translucent. A run never reaches past the row's width and a
// row ends after at most width + 1 codes, so a damaged table cannot carry the walk
// outside the images or the table's (width + 5) bytes per row.
template <bool Is32, int Kind, int M, bool BG, bool Bright>
void RunLoop(const Blit& b) {
    constexpr int ss = SourceStep<Is32, Kind>();
    constexpr int ds = Is32 ? 4 : 2;
    const uint8_t* sp = b.src;
    uint8_t* dp = b.dst;
    const uint8_t* bp = b.blend;
    const uint8_t* rp = b.runs;
    for (int row = 0; row < b.H; ++row) {
        int left = b.W;
        for (;;) {
            uint8_t code = *rp++;
            if (code >= kRunEnd)
                break;
            int n = (code & 0x3F) + 1;
            if (n > left)
                n = left;
            left -= n;
            int kind = code >> 6;
            if (kind == 0) {
                sp += n * ss;
                dp += n * ds;
                if constexpr (BG)
                    bp += n;
            } else {
                for (int i = 0; i < n; ++i, sp += ss, dp += ds) {
                    int F = 0;
                    if constexpr (BG)
                        F = BlendGraphTable[*bp++];
                    SourcePixel s = ReadSource<Is32, Kind>(b, sp);
                    uint32_t d = LoadDst<Is32>(dp);
                    if (Kind == kDirectAlpha && kind == 2)
                        StoreDst<Is32>(dp, Operate<Is32, M, BG, Bright, kWithAlpha>(b, s.colour, d, s.alpha, F));
                    else
                        StoreDst<Is32>(dp, Operate<Is32, M, BG, Bright, kOpaqueForm>(b, s.colour, d, 255, F));
                }
            }
            if (left == 0) {
                // The end code follows a full row; a damaged table ends the row here.
                if (*rp >= kRunEnd)
                    ++rp;
                break;
            }
        }
        sp += b.srcSkip + (ptrdiff_t)left * ss;
        dp += b.dstSkip + (ptrdiff_t)left * ds;
        if constexpr (BG)
            bp += b.blendSkip + left;
    }
}

// ---- choosing the loop ------------------------------------------------------------

template <class Fn>
void WithBool(bool v, Fn fn) {
    if (v)
        fn(std::true_type{});
    else
        fn(std::false_type{});
}

template <bool Is32, int Kind>
void ChooseGeneral(const Blit& b, int mode, bool bg, bool bright, bool key, bool mmx) {
    // The dedicated loops exist only for plain sources with no blend graphic and no bright.
    const int fast = Kind == kDirectAlpha || bg || bright ? -1
                     : mode == kAlpha && b.P == 128   ? kHalve
                     : mode == kAdd && b.P == 255      ? (Is32 && mmx ? kAddSaturating : kAddPlain)
                     : mode == kSubtract && b.P == 255 ? (Is32 && mmx ? kSubtractSaturating : kSubtractPlain)
                                                       : -1;
    if constexpr (Kind != kDirectAlpha) {
        if (fast >= 0) {
            WithBool(key, [&](auto K) {
                switch (fast) {
                case kHalve: FastLoop<Is32, Kind, kHalve, K>(b); break;
                case kAddPlain: FastLoop<Is32, Kind, kAddPlain, K>(b); break;
                case kSubtractPlain: FastLoop<Is32, Kind, kSubtractPlain, K>(b); break;
                case kAddSaturating:
                    if constexpr (Is32)
                        FastLoop<Is32, Kind, kAddSaturating, K>(b);
                    break;
                case kSubtractSaturating:
                    if constexpr (Is32)
                        FastLoop<Is32, Kind, kSubtractSaturating, K>(b);
                    break;
                }
            });
            return;
        }
    }
    WithBool(bg, [&](auto BG) {
        WithBool(bright, [&](auto BR) {
            WithBool(key, [&](auto K) {
                switch (mode) {
                case kNone: GeneralLoop<Is32, Kind, kNone, BG, BR, K>(b); break;
                case kAlpha: GeneralLoop<Is32, Kind, kAlpha, BG, BR, K>(b); break;
                case kAdd: GeneralLoop<Is32, Kind, kAdd, BG, BR, K>(b); break;
                case kSubtract: GeneralLoop<Is32, Kind, kSubtract, BG, BR, K>(b); break;
                case kMultiply: GeneralLoop<Is32, Kind, kMultiply, BG, BR, K>(b); break;
                }
            });
        });
    });
}

template <bool Is32, int Kind>
void ChooseRuns(const Blit& b, int mode, bool bg, bool bright) {
    WithBool(bg, [&](auto BG) {
        WithBool(bright, [&](auto BR) {
            switch (mode) {
            case kNone: RunLoop<Is32, Kind, kNone, BG, BR>(b); break;
            case kAlpha: RunLoop<Is32, Kind, kAlpha, BG, BR>(b); break;
            case kAdd: RunLoop<Is32, Kind, kAdd, BG, BR>(b); break;
            case kSubtract: RunLoop<Is32, Kind, kSubtract, BG, BR>(b); break;
            case kMultiply: RunLoop<Is32, Kind, kMultiply, BG, BR>(b); break;
            }
        });
    });
}

template <bool Is32>
void Choose(const Blit& b, int kind, bool runPath, int mode, bool bg, bool bright, bool key, bool mmx) {
    auto go = [&](auto K) {
        constexpr int Kind = decltype(K)::value;
        if (runPath)
            ChooseRuns<Is32, Kind>(b, mode, bg, bright);
        else
            ChooseGeneral<Is32, Kind>(b, mode, bg, bright, key, mmx);
    };
    if (kind == kPaletteSource)
        go(std::integral_constant<int, kPaletteSource>{});
    else if (kind == kDirectAlpha)
        go(std::integral_constant<int, kDirectAlpha>{});
    else
        go(std::integral_constant<int, kDirect>{});
}

// The record's format must agree with its flags: the loops step by the flags.
bool FormatAgrees(const MEMIMG* m) {
    return m->format != nullptr && m->format->pixelBytes == GetMEMIMGPixelBytes(m->type, m->usePalette, m->useAlpha);
}

}  // namespace

void PutMEMIMG(MEMIMG* dst, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendImage) {
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr)
        return;
    if (src->type != dst->type || dst->usePalette == 1 || dst->useAlpha == 1)
        return;
    if ((dst->type != 0 && dst->type != 1) || !FormatAgrees(dst) || !FormatAgrees(src))
        return;
    if (src->usePalette == 1 && src->palette == nullptr)
        return;

    // Positions near the ends of the 32-bit range must not wrap.
    auto clampLong = [](int64_t v) { return (LONG)(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v); };
    RECT area = {x, y, clampLong((int64_t)x + src->width), clampLong((int64_t)y + src->height)};
    ClipRect(&area, &g_drawState.drawArea);
    // The destination's own bounds as well: a draw area larger than the image must not
    // let the loops write past it.
    RECT whole = {0, 0, dst->width, dst->height};
    ClipRect(&area, &whole);
    const int W = area.right - area.left;
    const int H = area.bottom - area.top;
    const int offX = area.left - x;
    const int offY = area.top - y;
    if (W <= 0 || H <= 0)
        return;
    if (blendImage != nullptr &&
        (blendImage->pixels == nullptr || offX + W > blendImage->width || offY + H > blendImage->height))
        return;

    const int mode = g_drawState.blendMode;
    const int P = g_drawState.blendParam & 0xFF;
    const uint32_t bright = g_drawState.brightColor;
    const bool brightOn = (bright & 0xFFFFFF) != 0xFFFFFF;
    const bool palette = src->usePalette == 1;
    const int kind = palette ? kPaletteSource : src->useAlpha == 1 ? kDirectAlpha : kDirect;

    // Decisions on the mode and parameter; alpha at 255 is mode none.
    if ((unsigned)mode > 4)
        return;
    int drawMode = mode;
    if (mode == kAlpha && P == 255)
        drawMode = kNone;
    if ((mode == kAlpha || mode == kAdd) && P == 0)
        return;
    if (mode == kSubtract && P == 0 && !palette)
        return;

    const bool runPath = transparent == 1 && src->runsValid == 1 && src->runs != nullptr && src->width == W &&
                         src->height == H;

    const int sb = src->format->pixelBytes;
    const int db = dst->format->pixelBytes;
    const uint8_t* srcAt = src->pixels + (ptrdiff_t)sb * offX + (ptrdiff_t)src->pitch * offY;
    uint8_t* dstAt = dst->pixels + (ptrdiff_t)db * area.left + (ptrdiff_t)dst->pitch * area.top;
    const bool mmx = g_screen.mmxAvailable == 1;
    // Every field named: no zeroing of the record before its fields are written.
    const FastBlitCall fast = {.W = W,
                               .H = H,
                               .src = srcAt,
                               .srcPitch = src->pitch,
                               .dst = dstAt,
                               .dstPitch = dst->pitch,
                               .runs = runPath ? src->runs : nullptr,
                               .is32 = dst->type == 1,
                               .kind = kind,
                               .mode = drawMode,
                               .P = P,
                               .bright = bright,
                               .blendGraph = blendImage != nullptr,
                               .key = transparent != 0,
                               .colorKey = src->colorKey,
                               .mmx = mmx};
    if (PutMEMIMGFast(fast))
        return;

    Blit b{};
    b.W = W;
    b.H = H;
    b.src = srcAt;
    b.srcSkip = src->pitch - (ptrdiff_t)sb * W;
    b.dst = dstAt;
    b.dstSkip = dst->pitch - (ptrdiff_t)db * W;
    if (blendImage != nullptr) {
        b.blend = blendImage->pixels + offX + (ptrdiff_t)blendImage->pitch * offY;
        b.blendSkip = blendImage->pitch - (ptrdiff_t)W;
    }
    b.key = src->colorKey;
    b.palette = (const uint8_t*)src->palette;
    b.runs = src->runs;
    b.P = P;
    b.pRow = ScaleTable[P];
    b.signedRow = SignedScaleTable[P] + 255;
    b.brightR = ScaleTable[bright >> 16 & 0xFF];
    b.brightG = ScaleTable[bright >> 8 & 0xFF];
    b.brightB = ScaleTable[bright & 0xFF];
    b.lerpSlice = LerpTable64 + (P / 4) * 4096;
    if (dst->type == 1)
        Choose<true>(b, kind, runPath, drawMode, blendImage != nullptr, brightOn, transparent != 0, mmx);
    else
        Choose<false>(b, kind, runPath, drawMode, blendImage != nullptr, brightOn, transparent != 0, mmx);
}
