// QzDrawBlitFast16.cpp: the fast paths of add and subtract on R5G6B5 targets, for
// PutMEMIMG and PutMEMIMGScaled, tried before their general loops (QzDrawBlit.cpp,
// QzDrawBlitScaled.cpp), which define the result.
//
// MEMIMGs are 16-bit only as R5G6B5. Two forms reach a 16-bit target:
// - the table form at P: each field c of the source (weighted first by a per-pixel
//   alpha A as floor(c x A / 256), unless the pixel counts as opaque) scaled by the
//   ScaleTable row of P, then the packed add (with its low-bit term) or the packed
//   subtract; the general loops draw it wherever the plain blitter's dedicated loops do
//   not, so at 255 too on the run tables, in the scaled blitter and for per-pixel alpha
//   sources;
// - the plain blitter's dedicated loops at P 255 for direct sources (with or without the
//   MMX flag: 16-bit has no saturating form): the add without its low-bit term and the
//   subtract on the source itself, a row's pixels taken in pairs from its first pixel, a
//   pair drawn whole in the two-pixel word form (its second pixel keeps fewer low bits),
//   a pair with a keyed pixel drawing the other alone in the one-pixel form.
// A per-pixel alpha source (a 32-bit unit: colour, then A) drawn keyed skips A 0 and
// takes A 255 as opaque; unkeyed, every pixel is weighted, A 255 too. Its run tables'
// copy runs are opaque whatever A says, its blend runs weighted.
// A span does eight pixels at a time (QzSimdPixel.h), starting at the row's first pixel
// so that the lane pairs are the loop's pairs, and the rest with the scalar forms of
// QzDrawBlitPixel.h. Taken with bright off and no blend graphic, keyed or not; palette
// sources fall through. Main thread under the library lock, like the blitters.
#include "QzDrawBlitFast16.h"

#include <type_traits>

#include "QzDrawBlitPixel.h"
#include "QzDrawBlitRuns.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzSimdPixel.h"

namespace {

enum OpAddSub16 { kAddTable, kSubTable, kAddPairs, kSubPairs };
// How a span reads its source: a direct pixel, a per-pixel alpha unit, or such a unit
// drawn as opaque (the copy runs of its run tables).
enum Source16 { kDirect, kWeighted, kOpaque };

template <int Src>
constexpr int SourceBytes() {
    return Src == kDirect ? 2 : 4;
}

// The table form on one pixel; a is the alpha weight, 256 for none.
template <int Op>
inline uint32_t Table(uint32_t s, uint32_t d, int a, const AddSub16Ctx& c) {
    const blitpx::Rgb f = blitpx::Split16(s);
    const uint32_t v = blitpx::Pack16({c.pRow[f.r * a >> 8], c.pRow[f.g * a >> 8], c.pRow[f.b * a >> 8]});
    return Op == kAddTable ? blitpx::PackedAdd16(v, d) : blitpx::PackedSubtract16(v, d);
}

template <int Op>
inline uint32_t One(uint32_t s, uint32_t d, const AddSub16Ctx& c) {
    if constexpr (Op == kAddTable || Op == kSubTable)
        return Table<Op>(s, d, 256, c);
    else
        return Op == kAddPairs ? blitpx::PackedAddNoLowBits16(s, d) : blitpx::PackedSubtract16(s, d);
}

// One pixel of a per-pixel alpha source: false where the key skips it.
template <bool Key, int Src>
inline bool Weight(const uint8_t* sp, uint32_t& colour, int& a) {
    const uint32_t u = blitpx::Load32(sp);
    colour = u & 0xFFFF;
    a = Src == kOpaque ? 256 : (int)(u >> 16 & 0xFF);
    if (Key && a == 0)
        return false;
    if (Key && a == 255)
        a = 256;
    return true;
}

#if QZ_SIMD_PIXEL
template <int Op, bool Key, int Src>
inline void Eight(uint8_t* dp, const uint8_t* sp, const AddSub16Ctx& c) {
    using namespace simdpx;
    V S, skip = Zero(), weights = Zero();
    if constexpr (Src == kDirect) {
        S = Load(sp);
        if constexpr (Key)
            skip = _mm_cmpeq_epi16(S, Splat16((int)c.key));
    } else {
        // The colours and alphas of two groups of four units, sign-extended so that the
        // saturating pack keeps every colour.
        const V u0 = Load(sp), u1 = Load(sp + 16);
        S = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(u0, 16), 16), _mm_srai_epi32(_mm_slli_epi32(u1, 16), 16));
        if constexpr (Src == kWeighted) {
            const V m = Splat32(0xFF);
            weights = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(u0, 16), m), _mm_and_si128(_mm_srli_epi32(u1, 16), m));
            if constexpr (Key) {
                skip = _mm_cmpeq_epi16(weights, Zero());
                weights = _mm_sub_epi16(weights, _mm_cmpeq_epi16(weights, Splat16(255)));
            }
        }
    }
    if (Key && AllOnes(skip))
        return;
    const V D = Load(dp);
    V out;
    if constexpr (Op == kAddTable || Op == kSubTable) {
        V v = Src == kWeighted ? AlphaFields16(S, weights) : S;
        if (c.P != 255)
            v = ScaleFields16(v, c.multiplier);
        out = Op == kAddTable ? PackedAdd16(v, D) : PackedSubtract16(v, D);
    } else {
        // A pair is whole where its first pixel is drawn (a keyed second one is not stored).
        const V pairMask = _mm_andnot_si128(_mm_slli_epi32(skip, 16), Splat32(0x00010000u));
        out = Op == kAddPairs ? PackedAddNoLowBitsPairs16(S, D, pairMask) : PackedSubtractPairs16(S, D, pairMask);
    }
    if constexpr (Key)
        out = Select(skip, D, out);
    Store(dp, out);
}
#endif

template <int Op, bool Key, int Src>
void Span(uint8_t* dp, const uint8_t* sp, int n, const AddSub16Ctx& c) {
    constexpr int ss = SourceBytes<Src>();
    int i = 0;
#if QZ_SIMD_PIXEL
    for (; i + 8 <= n; i += 8)
        Eight<Op, Key, Src>(dp + 2 * i, sp + ss * i, c);
#endif
    if constexpr (Op == kAddPairs || Op == kSubPairs) {
        for (; i + 1 < n; i += 2) {
            uint8_t* p = dp + 2 * i;
            const uint32_t s0 = blitpx::Load16(sp + 2 * i), s1 = blitpx::Load16(sp + 2 * i + 2);
            const uint32_t d0 = blitpx::Load16(p), d1 = blitpx::Load16(p + 2);
            const bool draw0 = !(Key && s0 == c.key), draw1 = !(Key && s1 == c.key);
            if (draw0 && draw1) {
                const uint32_t pv = s0 | s1 << 16, pd = d0 | d1 << 16;
                const uint32_t out = Op == kAddPairs ? blitpx::PackedAddNoLowBitsPair16(pv, pd)
                                                     : blitpx::PackedSubtractPair16(pv, pd);
                blitpx::Store16(p, out & 0xFFFF);
                blitpx::Store16(p + 2, out >> 16);
            } else if (draw0) {
                blitpx::Store16(p, One<Op>(s0, d0, c));
            } else if (draw1) {
                blitpx::Store16(p + 2, One<Op>(s1, d1, c));
            }
        }
    }
    for (; i < n; ++i) {
        uint8_t* p = dp + 2 * i;
        if constexpr (Src == kDirect) {
            const uint32_t s = blitpx::Load16(sp + 2 * i);
            if (!(Key && s == c.key))
                blitpx::Store16(p, One<Op>(s, blitpx::Load16(p), c));
        } else {
            uint32_t colour;
            int a;
            if (Weight<Key, Src>(sp + ss * i, colour, a))
                blitpx::Store16(p, Table<Op>(colour, blitpx::Load16(p), a, c));
        }
    }
}

// The span of a source kind (0 direct, 1 per-pixel alpha) in add or subtract, keyed or
// not; the pair forms for direct sources only. A direct source's key beyond 16 bits
// matches no pixel: that span is unkeyed.
template <int AddOp, int SubOp>
AddSub16Fn Pick(int mode, int kind, bool key, uint32_t colorKey) {
    auto pick = [&](auto Op) -> AddSub16Fn {
        constexpr int op = decltype(Op)::value;
        if constexpr (op == kAddTable || op == kSubTable)
            if (kind == 1)
                return key ? Span<op, true, kWeighted> : Span<op, false, kWeighted>;
        return key && colorKey <= 0xFFFF ? Span<op, true, kDirect> : Span<op, false, kDirect>;
    };
    return mode == 2 ? pick(std::integral_constant<int, AddOp>{}) : pick(std::integral_constant<int, SubOp>{});
}

AddSub16Ctx MakeCtx(int P, uint32_t key) {
    AddSub16Ctx c{};
    c.P = P;
    c.pRow = ScaleTable[P & 0xFF];
    c.key = key;
#if QZ_SIMD_PIXEL
    c.multiplier = simdpx::ScaleMultiplier(P & 0xFF);
#endif
    return c;
}

// The run tables: copy runs go to opaque, blend runs to weighted (per-pixel alpha
// sources only: a direct source's tables have none, and would draw them opaque).
template <int SrcBytes>
void RunRows(const FastBlitCall& b, AddSub16Fn opaque, AddSub16Fn weighted, const AddSub16Ctx& c) {
    WalkRuns<SrcBytes, 2>(
        b, [&](uint8_t* dp, const uint8_t* sp, int n) { opaque(dp, sp, n, c); },
        [&](uint8_t* dp, const uint8_t* sp, int n, int) { weighted(dp, sp, n, c); });
}

}  // namespace

AddSub16Span ScaledAddSub16(int mode, int kind, int P, bool key, uint32_t colorKey) {
    return {Pick<kAddTable, kSubTable>(mode, kind, key, colorKey), MakeCtx(P, colorKey)};
}

bool PutMEMIMGFastAddSub16(const FastBlitCall& b) {
    const bool bright = (b.bright & 0xFFFFFF) != 0xFFFFFF;
    if (b.is32 || (b.kind != 0 && b.kind != 1) || bright || b.blendGraph || (b.mode != 2 && b.mode != 3))
        return false;
    const AddSub16Ctx c = MakeCtx(b.P, b.colorKey);
    if (b.runs != nullptr) {
        const bool add = b.mode == 2;
        if (b.kind == 0) {
            AddSub16Fn fn = add ? Span<kAddTable, false, kDirect> : Span<kSubTable, false, kDirect>;
            RunRows<2>(b, fn, fn, c);
        } else {
            RunRows<4>(b, add ? Span<kAddTable, false, kOpaque> : Span<kSubTable, false, kOpaque>,
                    add ? Span<kAddTable, false, kWeighted> : Span<kSubTable, false, kWeighted>, c);
        }
        return true;
    }
    // The dedicated loops at 255 exist for direct sources only.
    AddSub16Fn fn = b.P == 255 && b.kind == 0 ? Pick<kAddPairs, kSubPairs>(b.mode, 0, b.key, b.colorKey)
                                              : Pick<kAddTable, kSubTable>(b.mode, b.kind, b.key, b.colorKey);
    const uint8_t* sp = b.src;
    uint8_t* dp = b.dst;
    for (int row = 0; row < b.H; ++row, sp += b.srcPitch, dp += b.dstPitch)
        fn(dp, sp, b.W, c);
    return true;
}
