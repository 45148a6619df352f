// simd_pixel.h: row helpers of the platform's pixel fast paths (DirectDraw fills, copies
// and presents). Each does what its plain loop would, byte for byte: SSE2 four or eight
// pixels at a time with a scalar tail, or only the scalar loop where SSE2 is missing.
// Pure functions over memory; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace simd {

// Fills `bytes` bytes with a 16-byte pattern repeated from `row` on (a pixel of 1, 2 or
// 4 bytes repeated, so any length of whole pixels ends on a whole pixel).
inline void FillPattern(uint8_t* row, size_t bytes, const uint8_t pattern[16]) {
    size_t k = 0;
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern));
    for (; k + 64 <= bytes; k += 64) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k + 16), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k + 32), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k + 48), v);
    }
    for (; k + 16 <= bytes; k += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k), v);
#else
    for (; k + 16 <= bytes; k += 16) std::memcpy(row + k, pattern, 16);
#endif
    std::memcpy(row + k, pattern, bytes - k);
}

// Copies n pixels of 32 bits, leaving the destination where the source value v lies in
// [low, high] (unsigned).
inline void CopySkipRange32(const uint8_t* src, uint8_t* dst, int n, uint32_t low, uint32_t high) {
    int k = 0;
#if defined(__SSE2__)
    // Unsigned order through the signed compare: flip the top bit of both sides.
    const __m128i flip = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i lo = _mm_set1_epi32(static_cast<int>(low ^ 0x80000000u));
    const __m128i hi = _mm_set1_epi32(static_cast<int>(high ^ 0x80000000u));
    for (; k + 4 <= n; k += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * k));
        const __m128i x = _mm_xor_si128(s, flip);
        const __m128i take = _mm_or_si128(_mm_cmpgt_epi32(lo, x), _mm_cmpgt_epi32(x, hi));
        const int bits = _mm_movemask_epi8(take);
        if (bits == 0) continue;
        __m128i* d = reinterpret_cast<__m128i*>(dst + 4 * k);
        if (bits == 0xFFFF) {
            _mm_storeu_si128(d, s);
            continue;
        }
        const __m128i old = _mm_loadu_si128(d);
        _mm_storeu_si128(d, _mm_or_si128(_mm_and_si128(take, s), _mm_andnot_si128(take, old)));
    }
#endif
    for (; k < n; ++k) {
        uint32_t v;
        std::memcpy(&v, src + 4 * k, 4);
        if (v >= low && v <= high) continue;
        std::memcpy(dst + 4 * k, &v, 4);
    }
}

// The same for 16-bit pixels (the value zero-extended before the comparison).
inline void CopySkipRange16(const uint8_t* src, uint8_t* dst, int n, uint32_t low, uint32_t high) {
    if (low > 0xFFFF || low > high) {  // no 16-bit value is in the range
        std::memcpy(dst, src, static_cast<size_t>(n) * 2);
        return;
    }
    if (high > 0xFFFF) high = 0xFFFF;
    int k = 0;
#if defined(__SSE2__)
    const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
    const __m128i lo = _mm_set1_epi16(static_cast<short>(low ^ 0x8000u));
    const __m128i hi = _mm_set1_epi16(static_cast<short>(high ^ 0x8000u));
    for (; k + 8 <= n; k += 8) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * k));
        const __m128i x = _mm_xor_si128(s, flip);
        const __m128i take = _mm_or_si128(_mm_cmpgt_epi16(lo, x), _mm_cmpgt_epi16(x, hi));
        const int bits = _mm_movemask_epi8(take);
        if (bits == 0) continue;
        __m128i* d = reinterpret_cast<__m128i*>(dst + 2 * k);
        if (bits == 0xFFFF) {
            _mm_storeu_si128(d, s);
            continue;
        }
        const __m128i old = _mm_loadu_si128(d);
        _mm_storeu_si128(d, _mm_or_si128(_mm_and_si128(take, s), _mm_andnot_si128(take, old)));
    }
#endif
    for (; k < n; ++k) {
        uint16_t v;
        std::memcpy(&v, src + 2 * k, 2);
        if (v >= low && v <= high) continue;
        std::memcpy(dst + 2 * k, &v, 2);
    }
}

// X8R8G8B8 (or A8R8G8B8) to X8R8G8B8 with the top byte 0.
inline void XrgbRow(const uint8_t* in, uint32_t* out, int n) {
    int k = 0;
#if defined(__SSE2__)
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
    for (; k + 4 <= n; k += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                         _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * k)), rgb));
#endif
    for (; k < n; ++k) {
        uint32_t v;
        std::memcpy(&v, in + 4 * k, 4);
        out[k] = v & 0xFFFFFF;
    }
}

// 16-bit pixels widened to X8R8G8B8 by repeating each channel's top bits: R5G6B5
// (green6 true) or X1R5G5B5.
inline uint32_t Widen16(uint32_t v, bool green6) {
    uint32_t r, g, b = v & 31;
    if (green6) {
        r = v >> 11 & 31;
        g = v >> 5 & 63;
        g = g << 2 | g >> 4;
    } else {
        r = v >> 10 & 31;
        g = v >> 5 & 31;
        g = g << 3 | g >> 2;
    }
    return (r << 3 | r >> 2) << 16 | g << 8 | (b << 3 | b >> 2);
}

template <bool kGreen6>
inline void Widen16Row(const uint8_t* in, uint32_t* out, int n) {
    int k = 0;
#if defined(__SSE2__)
    const __m128i m3 = _mm_set1_epi16(3), m7 = _mm_set1_epi16(7);
    const __m128i mf8 = _mm_set1_epi16(0xF8), mfc = _mm_set1_epi16(0xFC);
    for (; k + 8 <= n; k += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k));
        __m128i r, g;
        if constexpr (kGreen6) {
            r = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 8), mf8), _mm_srli_epi16(v, 13));
            g = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 3), mfc), _mm_and_si128(_mm_srli_epi16(v, 9), m3));
        } else {
            r = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 7), mf8), _mm_and_si128(_mm_srli_epi16(v, 12), m7));
            g = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 2), mf8), _mm_and_si128(_mm_srli_epi16(v, 7), m7));
        }
        const __m128i b = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(v, 3), mf8), _mm_and_si128(_mm_srli_epi16(v, 2), m7));
        const __m128i gb = _mm_or_si128(_mm_slli_epi16(g, 8), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_unpacklo_epi16(gb, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k + 4), _mm_unpackhi_epi16(gb, r));
    }
#endif
    for (; k < n; ++k) {
        uint16_t v;
        std::memcpy(&v, in + 2 * k, 2);
        out[k] = Widen16(v, kGreen6);
    }
}

}  // namespace simd
