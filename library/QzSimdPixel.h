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
// The fourth lane of each pixel of Lo or Hi repeated over its colour lanes, 0 in its own:
// the per-pixel alpha as a weight that keeps the destination's fourth byte.
inline V AlphaLanes(V lanes) {
    V a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lanes, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    return _mm_and_si128(a, _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1));
}

// MixChannel at n = 8 with weights w <= 255: d x 256 + (s - d) x w lies in 0..65280, so
// its value modulo 2^16 is itself and the wrapped 16-bit arithmetic gives it exactly.
inline V Mix8(V s, V d, V w) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(d, 8), _mm_mullo_epi16(_mm_sub_epi16(s, d), w)), 8);
}

// The word forms of QzDrawBlitPixel.h on four words.
inline V PackedAdd32(V v, V d) {
    const V m = Splat32(0x00FEFEFFu);
    V sum = _mm_add_epi32(_mm_and_si128(v, m), _mm_and_si128(d, m));
    V carry = _mm_and_si128(sum, Splat32(0x01010100u));
    V out = _mm_or_si128(sum, _mm_sub_epi32(carry, _mm_srli_epi32(carry, 8)));
    return _mm_or_si128(out, _mm_and_si128(_mm_or_si128(d, v), Splat32(0x00010100u)));
}
inline V PackedAddNoLowBits32(V v, V d) {
    const V m = Splat32(0x00FEFEFFu);
    V sum = _mm_add_epi32(_mm_and_si128(v, m), _mm_and_si128(d, m));
    V carry = _mm_and_si128(sum, Splat32(0x01010100u));
    return _mm_or_si128(sum, _mm_sub_epi32(carry, _mm_srli_epi32(carry, 8)));
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
