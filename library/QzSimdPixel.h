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

// The operations the pixel helpers of QzSimdPixel32.inc are written in; QzSimdPixelWide.h
// gives the same names on 32-byte vectors.
inline V Load(const uint8_t* p) { return _mm_loadu_si128((const V*)p); }
inline void Store(uint8_t* p, V v) { _mm_storeu_si128((V*)p, v); }
inline V Splat32(uint32_t v) { return _mm_set1_epi32((int)v); }
inline V Splat16(int v) { return _mm_set1_epi16((short)v); }
inline V Splat64(uint64_t v) { return _mm_set1_epi64x((long long)v); }
inline V Zero() { return _mm_setzero_si128(); }
// A record's 16-byte splat as this width's.
inline V Lanes(V v) { return v; }
// Each 32-bit lane's index: 0, 1, 2, 3.
inline V LaneIndex32() { return _mm_setr_epi32(0, 1, 2, 3); }
inline V And(V a, V b) { return _mm_and_si128(a, b); }
inline V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
inline V Or(V a, V b) { return _mm_or_si128(a, b); }
inline V Add8(V a, V b) { return _mm_add_epi8(a, b); }
inline V Add16(V a, V b) { return _mm_add_epi16(a, b); }
inline V Add32(V a, V b) { return _mm_add_epi32(a, b); }
inline V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
inline V Sub32(V a, V b) { return _mm_sub_epi32(a, b); }
inline V AddsU8(V a, V b) { return _mm_adds_epu8(a, b); }
inline V SubsU8(V a, V b) { return _mm_subs_epu8(a, b); }
inline V MaxU8(V a, V b) { return _mm_max_epu8(a, b); }
inline V MulhiU16(V a, V b) { return _mm_mulhi_epu16(a, b); }
inline V MulhiI16(V a, V b) { return _mm_mulhi_epi16(a, b); }
inline V MulloI16(V a, V b) { return _mm_mullo_epi16(a, b); }
template <int N> inline V Srli16(V v) { return _mm_srli_epi16(v, N); }
template <int N> inline V Slli16(V v) { return _mm_slli_epi16(v, N); }
template <int N> inline V Srli32(V v) { return _mm_srli_epi32(v, N); }
template <int N> inline V Slli32(V v) { return _mm_slli_epi32(v, N); }
inline V CmpEq8(V a, V b) { return _mm_cmpeq_epi8(a, b); }
inline V CmpEq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
inline V CmpGt32(V a, V b) { return _mm_cmpgt_epi32(a, b); }
// Within each 16-byte half, as the 16-byte forms; Pack(Lo(v), Hi(v)) gives v back.
inline V UnpackLo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
inline V UnpackHi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
inline V UnpackLo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
inline V UnpackHi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
inline V PackUs16(V a, V b) { return _mm_packus_epi16(a, b); }
// Whether every byte has its top bit set.
inline bool AllTopBits8(V v) { return _mm_movemask_epi8(v) == 0xFFFF; }

#include "QzSimdPixel32.inc"

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
