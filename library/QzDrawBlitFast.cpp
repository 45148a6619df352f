// QzDrawBlitFast.cpp: the fast paths of PutMEMIMG and PutMEMIMGScaled, tried before
// their general loops.
//
// A fast path is a span operation (one row, or one run of a run table; a plain call's
// rows run in one function of the operation's, so a sprite pays no call per row) with a
// vector form and a one-pixel form built from the same helpers of QzDrawBlitPixel.h as
// the general loops; the one-pixel form draws the ends of a span, and the whole span
// where SSE2 is missing. 32-bit spans (QzDrawBlitFast32.inc) take four pixels a vector
// (QzSimdPixel.h), or eight where the processor has AVX2 (QzSimdPixelWide.h, asked once);
// 16-bit ones eight. Taken, always
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
#include "QzSimdPixelWide.h"

bool g_blitGeneralOnly = false;
bool g_blitNarrowOnly = false;

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

// The spans at each width (QzDrawBlitFast32.inc).
namespace narrow {
#if QZ_SIMD_PIXEL
using namespace simdpx;
#endif
#include "QzDrawBlitFast32.inc"
}  // namespace narrow

#if QZ_WIDE_PIXEL
QZ_WIDE_BEGIN
namespace wide {
using namespace simdwide;
#include "QzDrawBlitRunsWalk.inc"
#include "QzDrawBlitFast32.inc"
}  // namespace wide
QZ_WIDE_END

// Whether the spans run eight pixels wide: asked of the processor once.
bool Wide() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 && !g_blitNarrowOnly;
}
#endif

template <int Op, bool Key, bool Bright>
Fns32 FnsOf() {
#if QZ_WIDE_PIXEL
    if (Wide())
        return wide::FnsOf<Op, Key, Bright>();
#endif
    return narrow::FnsOf<Op, Key, Bright>();
}

#if QZ_SIMD_PIXEL
template <bool Bright>
void PixelAlphaRunRows(const FastBlitCall& b, const Span32Ctx& c) {
#if QZ_WIDE_PIXEL
    if (Wide())
        return wide::PixelAlphaRunRows<Bright>(b, c);
#endif
    narrow::PixelAlphaRunRows<Bright>(b, c);
}
#endif

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
