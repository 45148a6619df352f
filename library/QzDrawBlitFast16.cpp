// QzDrawBlitFast16.cpp: the fast paths of add and subtract on R5G6B5 targets, for
// PutMEMIMG and PutMEMIMGScaled, tried before their general loops (QzDrawBlit.cpp,
// QzDrawBlitScaled.cpp), which define the result.
//
// MEMIMGs are 16-bit only as R5G6B5. Two forms reach a 16-bit target:
// - the table form at P: each field scaled by the ScaleTable row of P, then the packed
//   add (with its low-bit term) or the packed subtract; the general loops draw it
//   wherever the plain blitter's dedicated loops do not, so at 255 too on the run
//   tables and in the scaled blitter;
// - the plain blitter's dedicated loops at P 255 (with or without the MMX flag: 16-bit
//   has no saturating form): the add without its low-bit term and the subtract on the
//   source itself, a row's pixels taken in pairs from its first pixel, a pair drawn
//   whole in the two-pixel word form (its second pixel keeps fewer low bits), a pair
//   with a keyed pixel drawing the other alone in the one-pixel form.
// A span does eight pixels at a time (QzSimdPixel.h), starting at the row's first pixel
// so that the lane pairs are the loop's pairs, and the rest with the scalar forms of
// QzDrawBlitPixel.h. Taken for direct sources with bright off and no blend graphic,
// keyed or not; per-pixel alpha and palette sources fall through. Main thread under
// the library lock, like the blitters.
#include "QzDrawBlitFast16.h"

#include "QzDrawBlitPixel.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzSimdPixel.h"

namespace {

enum OpAddSub16 { kAddTable, kSubTable, kAddPairs, kSubPairs };

template <int Op>
inline uint32_t One(uint32_t s, uint32_t d, const AddSub16Ctx& c) {
    if constexpr (Op == kAddTable || Op == kSubTable) {
        const blitpx::Rgb f = blitpx::Split16(s);
        const uint32_t v = blitpx::Pack16({c.pRow[f.r], c.pRow[f.g], c.pRow[f.b]});
        return Op == kAddTable ? blitpx::PackedAdd16(v, d) : blitpx::PackedSubtract16(v, d);
    } else {
        return Op == kAddPairs ? blitpx::PackedAddNoLowBits16(s, d) : blitpx::PackedSubtract16(s, d);
    }
}

#if QZ_SIMD_PIXEL
template <int Op, bool Key>
inline void Eight(uint8_t* dp, const uint8_t* sp, const AddSub16Ctx& c) {
    using namespace simdpx;
    const V S = Load(sp);
    V keyed = Zero();
    if constexpr (Key) {
        keyed = _mm_cmpeq_epi16(S, Splat16((int)c.key));
        if (AllOnes(keyed))
            return;
    }
    const V D = Load(dp);
    V out;
    if constexpr (Op == kAddTable || Op == kSubTable) {
        const V v = c.P == 255 ? S : ScaleFields16(S, c.multiplier);
        out = Op == kAddTable ? PackedAdd16(v, D) : PackedSubtract16(v, D);
    } else {
        // A pair is whole where its first pixel is drawn (a keyed second one is not stored).
        const V pairMask = _mm_andnot_si128(_mm_slli_epi32(keyed, 16), Splat32(0x00010000u));
        out = Op == kAddPairs ? PackedAddNoLowBitsPairs16(S, D, pairMask) : PackedSubtractPairs16(S, D, pairMask);
    }
    if constexpr (Key)
        out = Select(keyed, D, out);
    Store(dp, out);
}
#endif

template <int Op, bool Key>
void Span(uint8_t* dp, const uint8_t* sp, int n, const AddSub16Ctx& c) {
    int i = 0;
#if QZ_SIMD_PIXEL
    for (; i + 8 <= n; i += 8)
        Eight<Op, Key>(dp + 2 * i, sp + 2 * i, c);
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
        const uint32_t s = blitpx::Load16(sp + 2 * i);
        if (Key && s == c.key)
            continue;
        blitpx::Store16(dp + 2 * i, One<Op>(s, blitpx::Load16(dp + 2 * i), c));
    }
}

// A key beyond 16 bits matches no pixel: the span is unkeyed.
template <int Op>
AddSub16Fn Pick(bool key, uint32_t colorKey) {
    return key && colorKey <= 0xFFFF ? Span<Op, true> : Span<Op, false>;
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

// The general path's walk of a direct source's run tables, a span at a time: skip runs
// leave the destination, copy runs take the table form (blend runs do not occur for a
// direct source, but the general path draws them alike).
void RunRows(const FastBlitCall& b, AddSub16Fn fn, const AddSub16Ctx& c) {
    const uint8_t* rp = b.runs;
    for (int row = 0; row < b.H; ++row) {
        const uint8_t* sp = b.src + row * b.srcPitch;
        uint8_t* dp = b.dst + row * b.dstPitch;
        for (int left = b.W;;) {
            const uint8_t code = *rp++;
            if (code >= kRunEnd)
                break;
            const int n = (code & 0x3F) + 1 < left ? (code & 0x3F) + 1 : left;
            if (code >> 6 != 0)
                fn(dp, sp, n, c);
            left -= n;
            sp += 2 * n;
            dp += 2 * n;
            if (left == 0) {
                if (*rp >= kRunEnd)
                    ++rp;
                break;
            }
        }
    }
}

}  // namespace

AddSub16Span ScaledAddSub16(int mode, int P, bool key, uint32_t colorKey) {
    return {mode == 2 ? Pick<kAddTable>(key, colorKey) : Pick<kSubTable>(key, colorKey), MakeCtx(P, colorKey)};
}

bool PutMEMIMGFastAddSub16(const FastBlitCall& b) {
    const bool bright = (b.bright & 0xFFFFFF) != 0xFFFFFF;
    if (b.is32 || b.kind != 0 || bright || b.blendGraph || (b.mode != 2 && b.mode != 3))
        return false;
    const AddSub16Ctx c = MakeCtx(b.P, b.colorKey);
    if (b.runs != nullptr) {
        RunRows(b, b.mode == 2 ? Span<kAddTable, false> : Span<kSubTable, false>, c);
        return true;
    }
    AddSub16Fn fn = b.P == 255 ? (b.mode == 2 ? Pick<kAddPairs>(b.key, b.colorKey) : Pick<kSubPairs>(b.key, b.colorKey))
                               : (b.mode == 2 ? Pick<kAddTable>(b.key, b.colorKey) : Pick<kSubTable>(b.key, b.colorKey));
    const uint8_t* sp = b.src;
    uint8_t* dp = b.dst;
    for (int row = 0; row < b.H; ++row, sp += b.srcPitch, dp += b.dstPitch)
        fn(dp, sp, b.W, c);
    return true;
}
