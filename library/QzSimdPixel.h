// QzSimdPixel.h: four X8R8G8B8 pixels at once for the blitters' fast paths
// (QzDrawBlitFast.cpp). Every helper gives, pixel by pixel, the bits of the scalar
// operation named beside it in QzDrawBlitPixel.h; the fast paths are tested against the
// general loops byte for byte, so a helper that drifts shows at once.
//
// SSE2 is part of the x86-64 baseline, so it is used whenever the compiler targets it;
// elsewhere QZ_SIMD_PIXEL is 0 and the fast paths run their one-pixel forms only.
// Pure functions, no state.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#define QZ_SIMD_PIXEL 1
#else
#define QZ_SIMD_PIXEL 0
#endif

#if QZ_SIMD_PIXEL
namespace simdpx {

using V = __m128i;

inline V Load(const uint8_t* p) { return _mm_loadu_si128((const V*)p); }
inline void Store(uint8_t* p, V v) { _mm_storeu_si128((V*)p, v); }
inline V Splat32(uint32_t v) { return _mm_set1_epi32((int)v); }
inline V Splat16(int v) { return _mm_set1_epi16((short)v); }
inline V Zero() { return _mm_setzero_si128(); }

// mask ? a : b, mask lanes all ones or all zeros.
inline V Select(V mask, V a, V b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }
inline bool AllZero(V v) { return _mm_movemask_epi8(_mm_cmpeq_epi8(v, Zero())) == 0xFFFF; }
inline bool AllOnes(V v) { return _mm_movemask_epi8(v) == 0xFFFF; }

// Bytes to 16-bit lanes: pixels 0-1 (Lo) or 2-3 (Hi), lanes B G R X B G R X.
inline V Lo(V v) { return _mm_unpacklo_epi8(v, Zero()); }
inline V Hi(V v) { return _mm_unpackhi_epi8(v, Zero()); }
inline V Pack(V lo, V hi) { return _mm_packus_epi16(lo, hi); }

// floor(t / 255) for 16-bit lanes t <= 65535: the ScaleTable entries i x j / 255.
inline V Div255(V t) { return _mm_srli_epi16(_mm_mulhi_epu16(t, Splat16((short)0x8081)), 7); }

// The three colour bytes from a, the fourth from b.
inline V KeepFourth(V a, V b) {
    const V low = Splat32(0x00FFFFFFu);
    return _mm_or_si128(_mm_and_si128(a, low), _mm_andnot_si128(low, b));
}

// Weights for Mix8 that leave the fourth byte as the destination's (weight 0 there).
inline V ColourWeights(int w) { return _mm_set_epi16(0, (short)w, (short)w, (short)w, 0, (short)w, (short)w, (short)w); }
// The alphas of four pixels (one per 32-bit lane, 0-255) as MixHigh weights a x 128,
// pixels 0-1 (lo) and 2-3 (hi): a x 128 in the colour lanes, 0 in the fourth.
inline void AlphaWeights128(V alpha32, V& lo, V& hi) {
    const V t = _mm_slli_epi32(alpha32, 7);
    const V both = _mm_or_si128(t, _mm_slli_epi32(t, 16));
    lo = _mm_unpacklo_epi32(both, t);
    hi = _mm_unpackhi_epi32(both, t);
}
// MixChannel at n = 8 with weight a (w = a x 128): d + floor((s - d) x a / 256). The
// product (s - d) x 2 x a x 128 fits 32 bits and its high half is that floor; Mix8's
// d x 256 adds a multiple of 256 before its shift, so both give the same bits.
inline V MixHigh(V s, V d, V w) {
    return _mm_add_epi16(d, _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(s, d), 1), w));
}
// MixChannel at n = 8 and weight 255 on bytes: floor((s - d) x 255 / 256) is s - d - 1
// where s > d and s - d otherwise, so the mix is s less one where s > d. The fourth byte
// is d's.
inline V MixOpaque(V s, V d) {
    const V notAbove = _mm_cmpeq_epi8(_mm_max_epu8(s, d), d);
    return KeepFourth(_mm_add_epi8(s, _mm_andnot_si128(notAbove, _mm_cmpeq_epi8(s, s))), d);
}

// MixChannel at n = 8 with weights w <= 255: d x 256 + (s - d) x w lies in 0..65280, so
// its value modulo 2^16 is itself and the wrapped 16-bit arithmetic gives it exactly.
inline V Mix8(V s, V d, V w) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(d, 8), _mm_mullo_epi16(_mm_sub_epi16(s, d), w)), 8);
}

// The word forms of QzDrawBlitPixel.h on four words.
// The packed add without its low-bit term, byte by byte: with the low bits of green and
// red and the whole fourth byte masked off, each byte of the word sum is the byte sum
// plus the carry out of the byte below, saturated when it carries out itself. The
// masked byte sums of green, red and the fourth byte are even, so their saturated form
// ORed with the incoming carry is that byte, and the incoming carry is bit 0 of the
// byte in the word sum.
inline V PackedAddNoLowBits32(V v, V d) {
    const V m = Splat32(0x00FEFEFFu);
    const V a = _mm_and_si128(v, m), b = _mm_and_si128(d, m);
    return _mm_or_si128(_mm_adds_epu8(a, b), _mm_and_si128(_mm_add_epi32(a, b), Splat32(0x01010100u)));
}
inline V PackedAdd32(V v, V d) {
    return _mm_or_si128(PackedAddNoLowBits32(v, d), _mm_and_si128(_mm_or_si128(d, v), Splat32(0x00010100u)));
}
// PackedAdd32 for a v whose fourth byte is 0, with one mask fewer: v's low bits of green
// and red stay in the saturating byte sum, which ORs them in, since the masked byte sums
// are even and adding one bit never changes whether such a byte saturates.
inline V PackedAdd32ClearFourth(V v, V d) {
    const V m = Splat32(0x00FEFEFFu);
    const V b = _mm_and_si128(d, m);
    const V carries = _mm_and_si128(_mm_add_epi32(_mm_and_si128(v, m), b), Splat32(0x01010100u));
    return _mm_or_si128(_mm_or_si128(_mm_adds_epu8(v, b), carries), _mm_and_si128(d, Splat32(0x00010100u)));
}
// floor(s x P / 255) for 16-bit lanes s <= 255 and P <= 254 is the high half of
// s x (P x 257 + 1) (P 0 gives 0); checked for every s and P by the tests.
inline int ScaleMultiplier(int P) { return P == 0 ? 0 : P * 257 + 1; }
inline V ScaleBy(V s, V multiplier) { return _mm_mulhi_epu16(s, multiplier); }
inline V ScaleBy(V s, int multiplier) { return ScaleBy(s, Splat16(multiplier)); }
// ScaleBy on the three colour bytes of four words, the fourth byte 0, without unpacking:
// blue and red are 16-bit lanes of their own; green is taken in the high byte of its
// lane, blue cleared, where the multiply-high gives floor(g x m / 256), whose high byte
// is floor(g x m / 65536).
inline V ScaleWords(V s, V multiplier) {
    const V br = ScaleBy(_mm_and_si128(s, Splat32(0x00FF00FFu)), multiplier);
    const V g = ScaleBy(_mm_and_si128(s, Splat32(0x0000FF00u)), multiplier);
    return _mm_or_si128(br, _mm_and_si128(g, Splat32(0x0000FF00u)));
}
inline V PackedSubtract32(V v, V d) {
    V t = _mm_sub_epi32(_mm_or_si128(d, Splat32(0x01010100u)), _mm_and_si128(v, Splat32(0xFEFEFEFFu)));
    V keep = _mm_and_si128(t, Splat32(0x01010100u));
    return _mm_and_si128(t, _mm_sub_epi32(keep, _mm_srli_epi32(keep, 8)));
}
inline V SaturatingAdd32(V v, V d) { return _mm_adds_epu8(v, d); }
inline V SaturatingSubtract32(V v, V d) { return _mm_subs_epu8(d, v); }
inline V Halve32(V s, V d) {
    const V m = Splat32(0x7F7F7Fu);
    return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(d, 1), m), _mm_and_si128(_mm_srli_epi32(s, 1), m));
}

}  // namespace simdpx
#endif

// ---- eight R5G6B5 pixels: the add and subtract word forms ----------------------
// Each 16-bit lane holds one pixel. The word forms keep the carries and borrows of
// blue and green inside the word (bits 5 and 11, cleared or set as guards); only red's
// carry or borrow leaves it, and it depends on the red fields alone (bit 11 is clear in
// one operand and, for the subtract, set in the other), so one saturating add or
// subtract of the lanes finds it.
#if QZ_SIMD_PIXEL
namespace simdpx {

// fn applied to each field of the pixels (red, green, blue as lanes 0-31, 0-63, 0-31);
// fn must keep a field within its width.
template <class Fn>
inline V MapFields16(V s, Fn fn) {
    const V r = fn(_mm_srli_epi16(s, 11));
    const V g = fn(_mm_and_si128(_mm_srli_epi16(s, 5), Splat16(0x3F)));
    const V b = fn(_mm_and_si128(s, Splat16(0x1F)));
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b);
}
// floor(c x P / 255) on each field c, the ScaleTable row of P (below 255).
inline V ScaleFields16(V s, int multiplier) {
    return MapFields16(s, [&](V c) { return ScaleBy(c, multiplier); });
}
// floor(c x a / 256) on each field c with the weights a (0-256, one a lane; 256 keeps c):
// c x a stays below 2^16.
inline V AlphaFields16(V s, V a) {
    return MapFields16(s, [&](V c) { return _mm_srli_epi16(_mm_mullo_epi16(c, a), 8); });
}

// The masked operands' sum overflows exactly when the saturated sum is all ones: below
// the overflow the sum's bits 0-5 cannot all be set (blue adds to at most 62).
inline V RedCarries16(V a, V b) { return _mm_cmpeq_epi16(_mm_adds_epu16(a, b), Splat16(0xFFFF)); }
// Red keeps no borrow where the guarded destination is at least the masked source.
inline V RedKept16(V guarded, V b) { return _mm_cmpeq_epi16(_mm_subs_epu16(b, guarded), Zero()); }

// The fields a result keeps or saturates, from its bits 5 and 11 (blue's and green's
// carries or guards: blue 0-4, green 6-10) and red's lanes (bits 11-15).
inline V FieldMasks16(V x, V red) {
    const V marks = _mm_and_si128(x, Splat16(0x0820));
    return _mm_or_si128(_mm_sub_epi16(marks, _mm_srli_epi16(marks, 5)), _mm_and_si128(red, Splat16((short)0xF800)));
}
// PackedAddNoLowBits16 given the masked operands and red's carries.
inline V AddMasked16(V a, V b, V redCarries) {
    const V sum = _mm_add_epi16(a, b);
    return _mm_or_si128(sum, FieldMasks16(sum, redCarries));
}
// PackedSubtract16 given the guarded destination, the masked source and red's keeps.
inline V SubtractMasked16(V guarded, V b, V redKept) {
    const V t = _mm_sub_epi16(guarded, b);
    return _mm_and_si128(t, FieldMasks16(t, redKept));
}

inline V PackedAddNoLowBits16(V v, V d) {
    const V m = Splat16((short)0xF7DF);
    const V a = _mm_and_si128(v, m), b = _mm_and_si128(d, m);
    return AddMasked16(a, b, RedCarries16(a, b));
}
inline V PackedAdd16(V v, V d) {
    return _mm_or_si128(PackedAddNoLowBits16(v, d), _mm_and_si128(_mm_or_si128(d, v), Splat16(0x0820)));
}
inline V PackedSubtract16(V v, V d) {
    const V guarded = _mm_or_si128(d, Splat16(0x0820)), b = _mm_and_si128(v, Splat16((short)0xF7DF));
    return SubtractMasked16(guarded, b, RedKept16(guarded, b));
}

// The two-pixel forms (PackedAddNoLowBitsPair16, PackedSubtractPair16) on the lane pairs
// 0-1, 2-3, 4-5, 6-7. The second pixel of a pair is the one-pixel form of both pixels
// with their bit 0 cleared, the destination's then set to the first pixel's red carry
// (add) or red keep (subtract). pairMask: bit 0 of the second lanes whose pair is drawn
// whole (0x00010000 in each 32-bit lane; clear where the second pixel stands alone).
inline V PackedAddNoLowBitsPairs16(V v, V d, V pairMask) {
    const V m = Splat16((short)0xF7DF);
    const V a = _mm_and_si128(v, m), b = _mm_and_si128(d, m);
    const V red = RedCarries16(a, b);
    const V b2 = _mm_or_si128(_mm_andnot_si128(pairMask, b), _mm_and_si128(_mm_slli_epi32(red, 16), pairMask));
    return AddMasked16(_mm_andnot_si128(pairMask, a), b2, red);
}
inline V PackedSubtractPairs16(V v, V d, V pairMask) {
    const V guarded = _mm_or_si128(d, Splat16(0x0820)), b = _mm_and_si128(v, Splat16((short)0xF7DF));
    const V red = RedKept16(guarded, b);
    const V g2 = _mm_or_si128(_mm_andnot_si128(pairMask, guarded), _mm_and_si128(_mm_slli_epi32(red, 16), pairMask));
    return SubtractMasked16(g2, _mm_andnot_si128(pairMask, b), red);
}

}  // namespace simdpx
#endif
