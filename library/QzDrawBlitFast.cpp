// QzDrawBlitFast.cpp: the fast paths of PutMEMIMG and PutMEMIMGScaled, tried before
// their general loops.
//
// A fast path is a span operation (one row, or one run of a run table; a plain call's
// rows run in one function of the operation's, so a sprite pays no call per row) with a
// four-pixel form (QzSimdPixel.h; eight pixels for 16-bit) and a one-pixel form built
// from the same helpers of QzDrawBlitPixel.h as the general loops; the one-pixel form
// draws the ends of a span, and the whole span where SSE2 is missing. Taken, always
// without a blend graphic and never for palette sources:
// - 32-bit direct sources in every blend mode, bright on or off, keyed or not;
// - 32-bit per-pixel alpha sources at mode none, on the run tables too;
// - 16-bit without bright: direct sources in copy, keyed copy and alpha; direct and
//   per-pixel alpha sources in add and subtract, plain, scaled and on the run tables
//   (QzDrawBlitFast16.cpp);
// - scaled: the source pixels of each row gathered through a column table, then the
//   same spans (32-bit as above, 16-bit copies).
// Everything else returns false and the general loops draw it. Main thread under the
// library lock (the scaled tables are module state).
#include "QzDrawBlitFast.h"

#include <cstring>
#include <vector>

#include "QzDrawBlitFast16.h"
#include "QzDrawBlitPixel.h"
#include "QzDrawBlitRuns.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzSimdPixel.h"

bool g_blitGeneralOnly = false;

namespace {

using blitpx::Rgb;

// The operations on 32-bit spans. Direct sources: kCopy (mode none), kAlphaConst
// (alpha at P), kAddP / kSubP (contribution P x s / 255 and the packed word forms),
// kMul, and the dedicated loops of the general path at alpha 128 and add/subtract 255.
// Per-pixel alpha sources at mode none: kPixelAlpha.
enum Op32 {
    kCopy,
    kAlphaConst,
    kAddP,
    kSubP,
    kMul,
    kHalve,
    kAddSat,
    kAddPlain,
    kSubSat,
    kSubPlain,
    kPixelAlpha,
};

// The hot loops force their helpers inline and take this record as a local copy, so
// the stores through the pixel pointers (which may alias anything) cannot make the
// compiler reload its fields, the vector splats included, every four pixels.
#define QZ_FAST_INLINE inline __attribute__((always_inline))

struct Span32Ctx {
    int P;
    uint32_t key;
    const int32_t* pRow;
    const int32_t* brR;
    const int32_t* brG;
    const int32_t* brB;
    uint32_t bright;
#if QZ_SIMD_PIXEL
    // The splats of the four-pixel forms, made once per call by WithLanes, those the
    // operation reads only.
    simdpx::V multiplier;  // ScaleMultiplier(P) in every 16-bit lane
    simdpx::V keyLanes;    // the key in every pixel
    simdpx::V weights;     // ColourWeights(P)
    simdpx::V brightLanes; // the bright colour's channels on the colour lanes of two pixels
#endif
};

// One pixel, as the general loop computes it. Key: the colour key skips (direct) or
// the alpha decides (per-pixel alpha: 0 skips, 255 draws the opaque form).
template <int Op, bool Key, bool Bright>
QZ_FAST_INLINE void One32(uint8_t* dp, const uint8_t* sp, const Span32Ctx& c) {
    const uint32_t s = blitpx::Load32(sp);
    if constexpr (Op == kPixelAlpha) {
        const int A = (int)(s >> 24);
        if (Key && A == 0)
            return;
        const uint32_t d = blitpx::Load32(dp);
        Rgb sb = blitpx::Split32(s);
        if constexpr (Bright)
            sb = blitpx::Brighten(sb, c.brR, c.brG, c.brB);
        if (Key && A == 255) {
            blitpx::Store32(dp, Bright ? blitpx::Pack32(sb, d) : s);
        } else if constexpr (Bright) {
            blitpx::Store32(dp, blitpx::Mix32(sb, d, A, 8));
        } else {
            // Mix32 at n = 8 two channels to a word: each field's d x (256 - A) + s x A
            // stays below 2^16, so the fields never meet (the edges of sprites are short
            // runs of this).
            const uint32_t inv = 256u - (uint32_t)A;
            const uint32_t rb = ((d & 0xFF00FFu) * inv + (s & 0xFF00FFu) * (uint32_t)A) >> 8 & 0xFF00FFu;
            const uint32_t g = ((d >> 8 & 0xFFu) * inv + (s >> 8 & 0xFFu) * (uint32_t)A) & 0xFF00u;
            blitpx::Store32(dp, (d & 0xFF000000u) | rb | g);
        }
        return;
    } else {
        if (Key && s == c.key)
            return;
        const uint32_t d = blitpx::Load32(dp);
        Rgb sb = blitpx::Split32(s);
        if constexpr (Bright)
            sb = blitpx::Brighten(sb, c.brR, c.brG, c.brB);
        uint32_t out;
        if constexpr (Op == kCopy)
            out = Bright ? blitpx::Pack32(sb, d) : s;
        else if constexpr (Op == kAlphaConst)
            out = blitpx::Mix32(sb, d, c.P, 8);
        else if constexpr (Op == kAddP || Op == kSubP) {
            uint32_t v = blitpx::Pack32({c.pRow[sb.r], c.pRow[sb.g], c.pRow[sb.b]}, 0);
            out = Op == kAddP ? blitpx::PackedAdd32(v, d) : blitpx::PackedSubtract32(v, d);
        } else if constexpr (Op == kMul)
            out = blitpx::Multiply32(sb, d, 1, 8);
        else if constexpr (Op == kHalve)
            out = blitpx::Halve32(s, d);
        else if constexpr (Op == kAddSat)
            out = blitpx::SaturatingAdd32(s, d);
        else if constexpr (Op == kAddPlain)
            out = blitpx::PackedAddNoLowBits32(s, d);
        else if constexpr (Op == kSubSat)
            out = blitpx::SaturatingSubtract32(s, d);
        else
            out = blitpx::PackedSubtract32(s, d);
        blitpx::Store32(dp, out);
    }
}

// The caller's record with the splats its operation reads.
template <int Op, bool Key, bool Bright>
QZ_FAST_INLINE Span32Ctx WithLanes(const Span32Ctx& ctx) {
    Span32Ctx c = ctx;
#if QZ_SIMD_PIXEL
    using namespace simdpx;
    if constexpr (Op == kAddP || Op == kSubP)
        c.multiplier = Splat16(ScaleMultiplier(c.P & 0xFF));
    if constexpr (Key)
        c.keyLanes = Splat32(c.key);
    if constexpr (Op == kAlphaConst)
        c.weights = ColourWeights(c.P & 0xFF);
    if constexpr (Bright) {
        const short r = (short)(c.bright >> 16 & 0xFF), g = (short)(c.bright >> 8 & 0xFF), b = (short)(c.bright & 0xFF);
        c.brightLanes = _mm_set_epi16(0, r, g, b, 0, r, g, b);
    }
#endif
    return c;
}

#if QZ_SIMD_PIXEL
// Bright on 16-bit lanes of two pixels: floor(s x bright / 255), the ScaleTable rows.
QZ_FAST_INLINE simdpx::V Brighten(simdpx::V lanes, const Span32Ctx& c) {
    return simdpx::Div255(_mm_mullo_epi16(lanes, c.brightLanes));
}

// The unkeyed per-pixel alpha mix of four pixels by the alphas A (one a 32-bit lane);
// slo and shi receive the source lanes, brightened when bright is on.
template <bool Bright>
QZ_FAST_INLINE simdpx::V MixByAlpha(simdpx::V S, simdpx::V D, simdpx::V A, const Span32Ctx& c, simdpx::V& slo,
                                    simdpx::V& shi) {
    using namespace simdpx;
    slo = Lo(S);
    shi = Hi(S);
    if constexpr (Bright) {
        slo = Brighten(slo, c);
        shi = Brighten(shi, c);
    }
    V wlo, whi;
    AlphaWeights128(A, wlo, whi);
    return Pack(MixHigh(slo, Lo(D), wlo), MixHigh(shi, Hi(D), whi));
}

// Four pixels; the same bits as four calls of One32. Full: the add or subtract at
// parameter 255, whose contribution is the source itself.
template <int Op, bool Key, bool Bright, bool Full>
QZ_FAST_INLINE void Four32(uint8_t* dp, const uint8_t* sp, const Span32Ctx& c) {
    using namespace simdpx;
    const V S = Load(sp);
    if constexpr (Op == kPixelAlpha) {
        const V A = _mm_srli_epi32(S, 24);
        // Alpha 0 leaves the destination as it is, keyed or mixed.
        if (AllZero(A))
            return;
        const V opaque = _mm_cmpeq_epi32(A, Splat32(255));
        if (Key && !Bright && AllOnes(opaque)) {
            Store(dp, S);
            return;
        }
        const V D = Load(dp);
        if (!Key && !Bright && AllOnes(opaque)) {
            Store(dp, MixOpaque(S, D));
            return;
        }
        V slo, shi;
        V out = MixByAlpha<Bright>(S, D, A, c, slo, shi);
        if constexpr (Key)
            out = Select(opaque, Bright ? KeepFourth(Pack(slo, shi), D) : S, out);
        Store(dp, out);
        return;
    }
    const V D = Load(dp);
    V out;
    if constexpr (Op == kHalve)
        out = Halve32(S, D);
    else if constexpr (Op == kAddSat)
        out = SaturatingAdd32(S, D);
    else if constexpr (Op == kAddPlain)
        out = PackedAddNoLowBits32(S, D);
    else if constexpr (Op == kSubSat)
        out = SaturatingSubtract32(S, D);
    else if constexpr (Op == kSubPlain)
        out = PackedSubtract32(S, D);
    else if constexpr (Op == kCopy && !Bright)
        out = S;
    else if constexpr ((Op == kAddP || Op == kSubP) && !Bright) {
        // The contribution P x s / 255 in the words, without unpacking.
        const V v = Full ? _mm_and_si128(S, Splat32(0x00FFFFFFu)) : ScaleWords(S, c.multiplier);
        out = Op == kAddP ? PackedAdd32ClearFourth(v, D) : PackedSubtract32(v, D);
    } else {
        V slo = Lo(S), shi = Hi(S);
        if constexpr (Bright) {
            slo = Brighten(slo, c);
            shi = Brighten(shi, c);
        }
        if constexpr (Op == kCopy) {
            out = KeepFourth(Pack(slo, shi), D);
        } else if constexpr (Op == kAlphaConst) {
            out = Pack(Mix8(slo, Lo(D), c.weights), Mix8(shi, Hi(D), c.weights));
        } else if constexpr (Op == kAddP || Op == kSubP) {
            // P x s / 255 through the ScaleTable row of P.
            V v = Full ? Pack(slo, shi) : Pack(ScaleBy(slo, c.multiplier), ScaleBy(shi, c.multiplier));
            v = _mm_and_si128(v, Splat32(0x00FFFFFFu));
            out = Op == kAddP ? PackedAdd32ClearFourth(v, D) : PackedSubtract32(v, D);
        } else {
            out = KeepFourth(
                Pack(_mm_srli_epi16(_mm_mullo_epi16(slo, Lo(D)), 8), _mm_srli_epi16(_mm_mullo_epi16(shi, Hi(D)), 8)), D);
        }
    }
    if constexpr (Key && Op != kPixelAlpha)
        out = Select(_mm_cmpeq_epi32(S, c.keyLanes), D, out);
    Store(dp, out);
}
#endif

template <int Op, bool Key, bool Bright, bool Full>
QZ_FAST_INLINE void SpanLoop(uint8_t* dp, const uint8_t* sp, int n, const Span32Ctx& c) {
    int i = 0;
#if QZ_SIMD_PIXEL
    for (; i + 8 <= n; i += 8) {
        Four32<Op, Key, Bright, Full>(dp + 4 * i, sp + 4 * i, c);
        Four32<Op, Key, Bright, Full>(dp + 4 * i + 16, sp + 4 * i + 16, c);
    }
    if (i + 4 <= n) {
        Four32<Op, Key, Bright, Full>(dp + 4 * i, sp + 4 * i, c);
        i += 4;
    }
#endif
    for (; i < n; ++i)
        One32<Op, Key, Bright>(dp + 4 * i, sp + 4 * i, c);
}

// One span; c is the caller's local copy (see QZ_FAST_INLINE).
template <int Op, bool Key, bool Bright>
QZ_FAST_INLINE void SpanAny(uint8_t* dp, const uint8_t* sp, int n, const Span32Ctx& c) {
    if constexpr (Op == kCopy && !Key && !Bright)
        std::memcpy(dp, sp, (size_t)n * 4);
    else if constexpr (Op == kAddP || Op == kSubP) {
        if (c.P == 255)
            SpanLoop<Op, Key, Bright, true>(dp, sp, n, c);
        else
            SpanLoop<Op, Key, Bright, false>(dp, sp, n, c);
    } else {
        SpanLoop<Op, Key, Bright, false>(dp, sp, n, c);
    }
}

template <int Op, bool Key, bool Bright>
void Span32(uint8_t* dp, const uint8_t* sp, int n, const Span32Ctx& ctx) {
    const Span32Ctx c = WithLanes<Op, Key, Bright>(ctx);
    SpanAny<Op, Key, Bright>(dp, sp, n, c);
}

// A whole call's rows, in one function so that a small sprite pays no call per row.
template <int Op, bool Key, bool Bright>
void Rect32(const FastBlitCall& b, const Span32Ctx& ctx) {
    const Span32Ctx c = WithLanes<Op, Key, Bright>(ctx);
    const uint8_t* sp = b.src;
    uint8_t* dp = b.dst;
    const int W = b.W, H = b.H;
    const ptrdiff_t srcPitch = b.srcPitch, dstPitch = b.dstPitch;
    // A sprite's rows lie a target's pitch apart, too far for the hardware to guess the
    // next one in time: the lines of the next destination row are asked for while this
    // one is drawn (short rows only; long ones are streams it follows).
    const int rowBytes = 4 * W;
    const bool ahead = rowBytes <= 256;
    for (int row = 0; row < H; ++row, sp += srcPitch, dp += dstPitch) {
        if (ahead && row + 1 < H) {
            for (int at = 0; at < rowBytes; at += 64)
                __builtin_prefetch(dp + dstPitch + at, 1);
            __builtin_prefetch(dp + dstPitch + rowBytes - 1, 1);
        }
        SpanAny<Op, Key, Bright>(dp, sp, W, c);
    }
}

using SpanFn = void (*)(uint8_t*, const uint8_t*, int, const Span32Ctx&);
using RectFn = void (*)(const FastBlitCall&, const Span32Ctx&);

// An operation's span (scaled rows, run tables) and whole-call forms.
struct Fns32 {
    SpanFn span;
    RectFn rect;
};

void RunRows(const FastBlitCall& b, SpanFn opaque, SpanFn translucent, const Span32Ctx& c) {
    WalkRuns<4, 4>(
        b, [&](uint8_t* dp, const uint8_t* sp, int n) { opaque(dp, sp, n, c); },
        [&](uint8_t* dp, const uint8_t* sp, int n, int) { translucent(dp, sp, n, c); });
}

#if QZ_SIMD_PIXEL
// The run tables of a per-pixel alpha source at mode none.
// Blend runs are mostly shorter than four pixels: their last group is mixed four wide
// with the alphas past the run cleared (weight 0 gives the destination back exactly)
// wherever the row holds four more pixels, so it rewrites pixels of the next runs with
// the bytes it read from them before those runs are drawn. Copy runs move 16 bytes at a
// time without a call.
template <bool Bright>
QZ_FAST_INLINE void MixFourMasked(uint8_t* dp, const uint8_t* sp, int k, const Span32Ctx& c) {
    using namespace simdpx;
    const V S = Load(sp), D = Load(dp);
    const V A = _mm_and_si128(_mm_srli_epi32(S, 24), _mm_cmpgt_epi32(Splat32((uint32_t)k), _mm_setr_epi32(0, 1, 2, 3)));
    V slo, shi;
    Store(dp, MixByAlpha<Bright>(S, D, A, c, slo, shi));
}

template <bool Bright>
void PixelAlphaRunRows(const FastBlitCall& b, const Span32Ctx& ctx) {
    const Span32Ctx c = WithLanes<kPixelAlpha, false, Bright>(ctx);
    auto opaque = [&](uint8_t* dp, const uint8_t* sp, int n) {
        if constexpr (Bright) {
            SpanAny<kCopy, false, true>(dp, sp, n, c);
        } else {
            int i = 0;
            for (; i + 4 <= n; i += 4)
                simdpx::Store(dp + 4 * i, simdpx::Load(sp + 4 * i));
            for (; i < n; ++i)
                std::memcpy(dp + 4 * i, sp + 4 * i, 4);
        }
    };
    auto translucent = [&](uint8_t* dp, const uint8_t* sp, int n, int room) {
        int i = 0;
        for (; i + 4 <= n; i += 4)
            MixFourMasked<Bright>(dp + 4 * i, sp + 4 * i, 4, c);
        if (i < n && room - i >= 4)
            MixFourMasked<Bright>(dp + 4 * i, sp + 4 * i, n - i, c);
        else
            for (; i < n; ++i)
                One32<kPixelAlpha, false, Bright>(dp + 4 * i, sp + 4 * i, c);
    };
    WalkRuns<4, 4>(b, opaque, translucent);
}
#endif

template <int Op, bool Key, bool Bright>
constexpr Fns32 FnsOf() {
    return {Span32<Op, Key, Bright>, Rect32<Op, Key, Bright>};
}
template <int Op, bool Key>
Fns32 PickBright(bool bright) {
    return bright ? FnsOf<Op, Key, true>() : FnsOf<Op, Key, false>();
}
template <int Op>
Fns32 Pick(bool key, bool bright) {
    return key ? PickBright<Op, true>(bright) : PickBright<Op, false>(bright);
}

// ---- 16-bit R5G6B5 ---------------------------------------------------------------

// The operations on 16-bit spans of a direct source, bright off: copy, the dedicated
// alpha-128 loop, and alpha at other parameters through LerpTable64.
enum Op16 { kCopy16, kHalve16, kLerp16 };

struct Span16Ctx {
    int li;  // P / 4: the LerpTable64 slice
    const uint8_t* lerpSlice;
    uint32_t key;
};

template <int Op, bool Key>
inline void One16(uint8_t* dp, const uint8_t* sp, const Span16Ctx& c) {
    const uint32_t s = blitpx::Load16(sp);
    if (Key && s == c.key)
        return;
    if constexpr (Op == kCopy16)
        blitpx::Store16(dp, s);
    else if constexpr (Op == kHalve16)
        blitpx::Store16(dp, blitpx::Halve16(s, blitpx::Load16(dp)));
    else
        blitpx::Store16(dp, blitpx::Lerp64Mix16(blitpx::Split16(s), blitpx::Load16(dp), c.lerpSlice));
}

#if QZ_SIMD_PIXEL
// Eight pixels; LerpTable64's (i x j + (63 - i) x k) / 63 computed: the numerator stays
// below 3970, where the multiply-high by 0x8209 and shift by 5 divide by 63 exactly.
template <int Op, bool Key>
inline void Eight16(uint8_t* dp, const uint8_t* sp, const Span16Ctx& c) {
    using namespace simdpx;
    const V S = Load(sp);
    V D = Key || Op != kCopy16 ? Load(dp) : Zero();
    V out;
    if constexpr (Op == kCopy16) {
        out = S;
    } else if constexpr (Op == kHalve16) {
        const V m = Splat16(0x7BEF);
        out = _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(S, 1), m), _mm_and_si128(_mm_srli_epi16(D, 1), m));
    } else {
        const V wi = Splat16(c.li), wd = Splat16(63 - c.li), m63 = Splat16(0x3F), m31 = Splat16(0x1F);
        const V magic = Splat16((short)0x8209);
        auto mix = [&](V sc, V dc) {
            V t = _mm_add_epi16(_mm_mullo_epi16(sc, wi), _mm_mullo_epi16(dc, wd));
            return _mm_srli_epi16(_mm_mulhi_epu16(t, magic), 5);
        };
        V r = mix(_mm_srli_epi16(S, 11), _mm_srli_epi16(D, 11));
        V g = mix(_mm_and_si128(_mm_srli_epi16(S, 5), m63), _mm_and_si128(_mm_srli_epi16(D, 5), m63));
        V b = mix(_mm_and_si128(S, m31), _mm_and_si128(D, m31));
        out = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b);
    }
    if constexpr (Key)
        out = Select(_mm_cmpeq_epi16(S, Splat16((short)c.key)), D, out);
    Store(dp, out);
}
#endif

template <int Op, bool Key>
void Span16(uint8_t* dp, const uint8_t* sp, int n, const Span16Ctx& c) {
    if constexpr (Op == kCopy16 && !Key) {
        std::memcpy(dp, sp, (size_t)n * 2);
        return;
    }
    int i = 0;
#if QZ_SIMD_PIXEL
    for (; i + 8 <= n; i += 8)
        Eight16<Op, Key>(dp + 2 * i, sp + 2 * i, c);
#endif
    for (; i < n; ++i)
        One16<Op, Key>(dp + 2 * i, sp + 2 * i, c);
}

using Span16Fn = void (*)(uint8_t*, const uint8_t*, int, const Span16Ctx&);

// A key beyond 16 bits matches no pixel: the span is unkeyed.
template <int Op>
Span16Fn Pick16(bool key, uint32_t colorKey) {
    return key && colorKey <= 0xFFFF ? Span16<Op, true> : Span16<Op, false>;
}

// The forms of a 32-bit direct source in the given mode, or nulls where the general path
// keeps the call. The plain blitter has dedicated loops at alpha 128 and add/subtract
// 255; the scaled one only its saturating subtract, its packed one being the table form.
Fns32 Direct32(int mode, int P, bool key, bool bright, bool mmx, bool scaled) {
    if (!bright && !scaled) {
        if (mode == 1 && P == 128)
            return Pick<kHalve>(key, false);
        if (mode == 2 && P == 255)
            return mmx ? Pick<kAddSat>(key, false) : Pick<kAddPlain>(key, false);
        if (mode == 3 && P == 255)
            return mmx ? Pick<kSubSat>(key, false) : Pick<kSubPlain>(key, false);
    }
    if (!bright && scaled && mode == 3 && P == 255 && mmx)
        return Pick<kSubSat>(key, false);
    switch (mode) {
    case 0: return Pick<kCopy>(key, bright);
    case 1: return Pick<kAlphaConst>(key, bright);
    case 2: return Pick<kAddP>(key, bright);
    case 3: return Pick<kSubP>(key, bright);
    case 4: return Pick<kMul>(key, bright);
    default: return {nullptr, nullptr};
    }
}

Span32Ctx MakeCtx(int P, uint32_t key, uint32_t bright) {
    Span32Ctx c{};
    c.P = P;
    c.key = key;
    c.pRow = ScaleTable[P & 0xFF];
    c.brR = ScaleTable[bright >> 16 & 0xFF];
    c.brG = ScaleTable[bright >> 8 & 0xFF];
    c.brB = ScaleTable[bright & 0xFF];
    c.bright = bright;
    return c;
}

// The general scaled loop's stepping written out once per call: entry i is the source
// offset of destination pixel i.
void Steps(std::vector<ptrdiff_t>& out, int n, ptrdiff_t step, int32_t acc, int32_t stepAcc) {
    out.resize((size_t)n);
    ptrdiff_t at = 0;
    for (int i = 0;;) {
        out[(size_t)i] = at;
        if (++i == n)
            break;
        acc -= 65536;
        while (acc <= 0) {
            at += step;
            acc += stepAcc;
        }
    }
}

}  // namespace

// 16-bit direct sources without bright at mode none and alpha, off the run tables.
bool Blit16(const FastBlitCall& b) {
    if (b.mode == 2 || b.mode == 3)
        return PutMEMIMGFastAddSub16(b);
    const bool bright = (b.bright & 0xFFFFFF) != 0xFFFFFF;
    if (b.kind != 0 || bright || b.runs != nullptr)
        return false;
    Span16Fn fn = b.mode == 0               ? Pick16<kCopy16>(b.key, b.colorKey)
                  : b.mode == 1 && b.P == 128 ? Pick16<kHalve16>(b.key, b.colorKey)
                  : b.mode == 1               ? Pick16<kLerp16>(b.key, b.colorKey)
                                              : nullptr;
    if (fn == nullptr)
        return false;
    Span16Ctx c{};
    c.li = b.P / 4;
    c.lerpSlice = LerpTable64 + (b.P / 4) * 4096;
    c.key = b.colorKey;
    const uint8_t* sp = b.src;
    uint8_t* dp = b.dst;
    for (int row = 0; row < b.H; ++row, sp += b.srcPitch, dp += b.dstPitch)
        fn(dp, sp, b.W, c);
    return true;
}

bool PutMEMIMGFast(const FastBlitCall& b) {
    if (g_blitGeneralOnly || b.blendGraph || b.kind == 2)
        return false;
    if (!b.is32)
        return Blit16(b);
    const bool bright = (b.bright & 0xFFFFFF) != 0xFFFFFF;
    const Span32Ctx c = MakeCtx(b.P, b.colorKey, b.bright);

    if (b.runs != nullptr) {
        // Run tables: only mode none, where copy runs draw the opaque form and blend
        // runs (per-pixel alpha only) the mix with the pixel's alpha.
        if (b.mode != 0)
            return false;
#if QZ_SIMD_PIXEL
        if (b.kind == 1) {
            if (bright)
                PixelAlphaRunRows<true>(b, c);
            else
                PixelAlphaRunRows<false>(b, c);
            return true;
        }
#endif
        SpanFn opaque = PickBright<kCopy, false>(bright).span;
        SpanFn translucent = b.kind == 1 ? PickBright<kPixelAlpha, false>(bright).span : opaque;
        RunRows(b, opaque, translucent, c);
        return true;
    }
    RectFn fn = nullptr;
    if (b.kind == 0)
        fn = Direct32(b.mode, b.P, b.key, bright, b.mmx, false).rect;
    else if (b.mode == 0)
        fn = Pick<kPixelAlpha>(b.key, bright).rect;
    if (fn == nullptr)
        return false;
    fn(b, c);
    return true;
}

// Scaled: the source pixels of a destination row are gathered once into a row of their
// own (again only when the source row changes), then drawn by the plain blitter's spans.
template <int Bytes, class Fn, class Ctx>
void GatherRows(const FastScaledCall& w, Fn fn, const Ctx& c) {
    static std::vector<ptrdiff_t> cols, rows;
    static std::vector<uint8_t> gathered;
    Steps(cols, w.W, w.srcStep, w.accX, w.stepX);
    Steps(rows, w.H, w.srcRowStep, w.accY, w.stepY);
    gathered.resize((size_t)w.W * Bytes);
    uint8_t* g = gathered.data();
    uint8_t* dp = w.dstRow;
    for (int j = 0; j < w.H; ++j, dp += w.dstPitch) {
        if (j == 0 || rows[(size_t)j] != rows[(size_t)j - 1]) {
            const uint8_t* sp = w.srcRow + rows[(size_t)j];
            for (int i = 0; i < w.W; ++i)
                std::memcpy(g + Bytes * i, sp + cols[(size_t)i], Bytes);
        }
        fn(dp, g, w.W, c);
    }
}

bool PutMEMIMGScaledFast(const FastScaledCall& w) {
    if (g_blitGeneralOnly || w.blendGraph || w.kind == 2)
        return false;
    const bool bright = (w.bright & 0xFFFFFF) != 0xFFFFFF;
    if (!w.is32) {
        if (!bright && (w.mode == 2 || w.mode == 3)) {
            const AddSub16Span s = ScaledAddSub16(w.mode, w.kind, w.P, w.key, w.colorKey);
            if (w.kind == 1)
                GatherRows<4>(w, s.fn, s.ctx);
            else
                GatherRows<2>(w, s.fn, s.ctx);
            return true;
        }
        // The scaled plain copy compares the pixel with the key's low half.
        if (w.kind != 0 || bright || w.mode != 0)
            return false;
        Span16Ctx c{};
        c.key = w.colorKey & 0xFFFF;
        GatherRows<2>(w, Pick16<kCopy16>(w.key, c.key), c);
        return true;
    }
    SpanFn fn = nullptr;
    if (w.kind == 0)
        fn = Direct32(w.mode, w.P, w.key, bright, w.mmx, true).span;
    else if (w.mode == 0)
        fn = Pick<kPixelAlpha>(w.key, bright).span;
    if (fn == nullptr)
        return false;
    GatherRows<4>(w, fn, MakeCtx(w.P, w.colorKey, w.bright));
    return true;
}
