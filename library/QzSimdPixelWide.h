// QzSimdPixelWide.h: eight X8R8G8B8 pixels at once, for the 32-bit fast paths on
// processors with AVX2. x86-64's baseline stops at SSE2, so these functions are compiled
// for AVX2 on their own (the pragmas below) and QzDrawBlitFast.cpp calls them only after
// asking the processor; the helpers are QzSimdPixel32.inc's, written once for both
// widths. 256-bit unpacks and packs work within each 16-byte half, as the helpers expect.
// Include after every other header: whatever the pragmas enclose is compiled for AVX2.
#pragma once

#include "QzSimdPixel.h"

#if QZ_SIMD_PIXEL && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QZ_WIDE_PIXEL 1
#else
#define QZ_WIDE_PIXEL 0
#endif

#if QZ_WIDE_PIXEL
#if defined(__clang__)
#define QZ_WIDE_BEGIN _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define QZ_WIDE_END _Pragma("clang attribute pop")
#else
#define QZ_WIDE_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define QZ_WIDE_END _Pragma("GCC pop_options")
#endif

QZ_WIDE_BEGIN
namespace simdwide {

using V = __m256i;

inline V Load(const uint8_t* p) { return _mm256_loadu_si256((const V*)p); }
inline void Store(uint8_t* p, V v) { _mm256_storeu_si256((V*)p, v); }
inline V Splat32(uint32_t v) { return _mm256_set1_epi32((int)v); }
inline V Splat16(int v) { return _mm256_set1_epi16((short)v); }
inline V Splat64(uint64_t v) { return _mm256_set1_epi64x((long long)v); }
inline V Zero() { return _mm256_setzero_si256(); }
inline V Lanes(__m128i v) { return _mm256_broadcastsi128_si256(v); }
inline V LaneIndex32() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
inline V And(V a, V b) { return _mm256_and_si256(a, b); }
inline V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
inline V Or(V a, V b) { return _mm256_or_si256(a, b); }
inline V Add8(V a, V b) { return _mm256_add_epi8(a, b); }
inline V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
inline V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
inline V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
inline V Sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
inline V AddsU8(V a, V b) { return _mm256_adds_epu8(a, b); }
inline V SubsU8(V a, V b) { return _mm256_subs_epu8(a, b); }
inline V MaxU8(V a, V b) { return _mm256_max_epu8(a, b); }
inline V MulhiU16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
inline V MulhiI16(V a, V b) { return _mm256_mulhi_epi16(a, b); }
inline V MulloI16(V a, V b) { return _mm256_mullo_epi16(a, b); }
template <int N> inline V Srli16(V v) { return _mm256_srli_epi16(v, N); }
template <int N> inline V Slli16(V v) { return _mm256_slli_epi16(v, N); }
template <int N> inline V Srli32(V v) { return _mm256_srli_epi32(v, N); }
template <int N> inline V Slli32(V v) { return _mm256_slli_epi32(v, N); }
inline V CmpEq8(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
inline V CmpEq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
inline V CmpGt32(V a, V b) { return _mm256_cmpgt_epi32(a, b); }
inline V UnpackLo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
inline V UnpackHi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
inline V UnpackLo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
inline V UnpackHi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
inline V PackUs16(V a, V b) { return _mm256_packus_epi16(a, b); }
inline bool AllTopBits8(V v) { return _mm256_movemask_epi8(v) == -1; }

#include "QzSimdPixel32.inc"

}  // namespace simdwide
QZ_WIDE_END
#endif
