// QzDrawConvertRows.cpp: the fixed-format row loops of ConvertPixelRect. Each Ref loop
// defines the bytes; its Sse2 twin does eight (16-bit) or four (32-bit) pixels a step
// and finishes the row's tail with the Ref loop, so both give the same bytes.
#include "QzDrawConvertRows.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace convert_rows {

namespace {

inline uint32_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store16(uint8_t* p, uint32_t v) {
    uint16_t w = (uint16_t)v;
    std::memcpy(p, &w, 2);
}
inline void Store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

}  // namespace

void Rgb565To8888Ref(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    for (int i = 0; i < n; ++i) {
        uint32_t v = Load16(s + i * 2);
        Store32(d + i * 4, (v & 0x1Fu) << 3 | (v & 0x7E0u) << 5 | (v & 0xF800u) << 8);
    }
}

void Rgb8888To565Ref(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    for (int i = 0; i < n; ++i) {
        uint32_t v = Load32(s + i * 4);
        Store16(d + i * 2, ((v & 0xF8u) >> 3) | ((v & 0xFC00u) >> 5) | ((v & 0xF80000u) >> 8));
    }
}

void Rgb565To555Ref(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    for (int i = 0; i < n; ++i) {
        uint32_t v = Load16(s + i * 2);
        Store16(d + i * 2, (v & 0x1Fu) | ((v & 0xFFC0u) >> 1));
    }
}

void Rgb555To565Ref(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    for (int i = 0; i < n; ++i) {
        uint32_t v = Load16(s + i * 2);
        Store16(d + i * 2, (v & 0x3Fu) | ((v & 0x7FE0u) << 1));
    }
}

void Rgb24To8888Ref(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = s + i * 3;
        Store32(d + i * 4, 0xFF000000u | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0]);
    }
}

void KeyAlpha32Ref(void* dst, const void* src, int n, uint32_t rgbMask, uint32_t alphaMask, uint32_t key) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    uint32_t keyRgb = key & rgbMask;
    for (int i = 0; i < n; ++i) {
        uint32_t v = Load32(s + i * 4) | ~rgbMask;
        Store32(d + i * 4, (v & rgbMask) == keyRgb ? v & ~alphaMask : v | alphaMask);
    }
}

void Rgb24Key8888Ref(void* dst, const void* src, int n, uint32_t key) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    key &= 0xFFFFFFu;
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = s + i * 3;
        uint32_t rgb = (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
        Store32(d + i * 4, rgb == key ? rgb : rgb | 0xFF000000u);
    }
}

#if defined(__SSE2__)

namespace {

// Four 24-bit pixels from the first twelve bytes of one 16-byte load, each in the low
// three bytes of its lane (pixel k moves up k bytes), top bytes 0. The load reads four
// bytes past the pixels: callers stop while six pixels are left.
inline __m128i Lanes24(const uint8_t* s) {
    const __m128i lane0 = _mm_set_epi32(0, 0, 0, 0xFFFFFF), lane1 = _mm_set_epi32(0, 0, 0xFFFFFF, 0);
    const __m128i lane2 = _mm_set_epi32(0, 0xFFFFFF, 0, 0), lane3 = _mm_set_epi32(0xFFFFFF, 0, 0, 0);
    __m128i v = _mm_loadu_si128((const __m128i*)s);
    __m128i low = _mm_or_si128(_mm_and_si128(v, lane0), _mm_and_si128(_mm_slli_si128(v, 1), lane1));
    __m128i high = _mm_or_si128(_mm_and_si128(_mm_slli_si128(v, 2), lane2), _mm_and_si128(_mm_slli_si128(v, 3), lane3));
    return _mm_or_si128(low, high);
}

}  // namespace

void Rgb565To8888Sse2(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    const __m128i zero = _mm_setzero_si128();
    const __m128i blue = _mm_set1_epi32(0x1F);
    const __m128i green = _mm_set1_epi32(0x7E0);
    const __m128i red = _mm_set1_epi32(0xF800);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i v = _mm_loadu_si128((const __m128i*)(s + i * 2));
        __m128i lo = _mm_unpacklo_epi16(v, zero);
        __m128i hi = _mm_unpackhi_epi16(v, zero);
        __m128i outLo = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(lo, blue), 3),
                                                  _mm_slli_epi32(_mm_and_si128(lo, green), 5)),
                                     _mm_slli_epi32(_mm_and_si128(lo, red), 8));
        __m128i outHi = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(hi, blue), 3),
                                                  _mm_slli_epi32(_mm_and_si128(hi, green), 5)),
                                     _mm_slli_epi32(_mm_and_si128(hi, red), 8));
        _mm_storeu_si128((__m128i*)(d + i * 4), outLo);
        _mm_storeu_si128((__m128i*)(d + i * 4 + 16), outHi);
    }
    Rgb565To8888Ref(d + i * 4, s + i * 2, n - i);
}

namespace {
// Four X8R8G8B8 pixels to R5G6B5 values, each in the low half of its 32-bit lane,
// sign-extended so that a signed pack keeps them exact. Red and blue are placed by one
// multiply-add of their 16-bit halves (blue x 4, red x 0x2000), green by a mask; one
// shift by 5 then lines all three up.
inline __m128i Pack565Lanes(__m128i v) {
    const __m128i redBlue = _mm_set1_epi32(0x00F800F8);
    const __m128i green = _mm_set1_epi32(0x0000FC00);
    const __m128i multiplier = _mm_set1_epi32(0x20000004);
    __m128i rb = _mm_madd_epi16(_mm_and_si128(v, redBlue), multiplier);
    __m128i out = _mm_srli_epi32(_mm_or_si128(rb, _mm_and_si128(v, green)), 5);
    return _mm_srai_epi32(_mm_slli_epi32(out, 16), 16);
}
}  // namespace

void Rgb8888To565Sse2(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    // A scalar head brings the destination to a 16-byte boundary when it can get there.
    int i = 0;
    if (((uintptr_t)d & 1) == 0) {
        int head = (int)((16 - ((uintptr_t)d & 15)) & 15) / 2;
        if (head > n)
            head = n;
        Rgb8888To565Ref(d, s, head);
        i = head;
    }
    for (; i + 16 <= n; i += 16) {
        __m128i a = Pack565Lanes(_mm_loadu_si128((const __m128i*)(s + i * 4)));
        __m128i b = Pack565Lanes(_mm_loadu_si128((const __m128i*)(s + i * 4 + 16)));
        __m128i c = Pack565Lanes(_mm_loadu_si128((const __m128i*)(s + i * 4 + 32)));
        __m128i e = Pack565Lanes(_mm_loadu_si128((const __m128i*)(s + i * 4 + 48)));
        _mm_storeu_si128((__m128i*)(d + i * 2), _mm_packs_epi32(a, b));
        _mm_storeu_si128((__m128i*)(d + i * 2 + 16), _mm_packs_epi32(c, e));
    }
    for (; i + 8 <= n; i += 8) {
        __m128i a = Pack565Lanes(_mm_loadu_si128((const __m128i*)(s + i * 4)));
        __m128i b = Pack565Lanes(_mm_loadu_si128((const __m128i*)(s + i * 4 + 16)));
        _mm_storeu_si128((__m128i*)(d + i * 2), _mm_packs_epi32(a, b));
    }
    Rgb8888To565Ref(d + i * 2, s + i * 4, n - i);
}

void Rgb565To555Sse2(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    const __m128i low = _mm_set1_epi16(0x1F);
    const __m128i high = _mm_set1_epi16((short)0xFFC0);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i v = _mm_loadu_si128((const __m128i*)(s + i * 2));
        __m128i out = _mm_or_si128(_mm_and_si128(v, low), _mm_srli_epi16(_mm_and_si128(v, high), 1));
        _mm_storeu_si128((__m128i*)(d + i * 2), out);
    }
    Rgb565To555Ref(d + i * 2, s + i * 2, n - i);
}

void Rgb555To565Sse2(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    const __m128i low = _mm_set1_epi16(0x3F);
    const __m128i high = _mm_set1_epi16(0x7FE0);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i v = _mm_loadu_si128((const __m128i*)(s + i * 2));
        __m128i out = _mm_or_si128(_mm_and_si128(v, low), _mm_slli_epi16(_mm_and_si128(v, high), 1));
        _mm_storeu_si128((__m128i*)(d + i * 2), out);
    }
    Rgb555To565Ref(d + i * 2, s + i * 2, n - i);
}

void Rgb24To8888Sse2(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    const __m128i opaque = _mm_set1_epi32((int)0xFF000000u);
    int i = 0;
    for (; i + 6 <= n; i += 4)
        _mm_storeu_si128((__m128i*)(d + i * 4), _mm_or_si128(Lanes24(s + i * 3), opaque));
    Rgb24To8888Ref(d + i * 4, s + i * 3, n - i);
}

void Rgb24Key8888Sse2(void* dst, const void* src, int n, uint32_t key) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    const __m128i opaque = _mm_set1_epi32((int)0xFF000000u);
    const __m128i keyRgb = _mm_set1_epi32((int)(key & 0xFFFFFFu));
    int i = 0;
    for (; i + 6 <= n; i += 4) {
        __m128i v = Lanes24(s + i * 3);
        __m128i alpha = _mm_andnot_si128(_mm_cmpeq_epi32(v, keyRgb), opaque);
        _mm_storeu_si128((__m128i*)(d + i * 4), _mm_or_si128(v, alpha));
    }
    Rgb24Key8888Ref(d + i * 4, s + i * 3, n - i, key);
}

void KeyAlpha32Sse2(void* dst, const void* src, int n, uint32_t rgbMask, uint32_t alphaMask, uint32_t key) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    const __m128i rgb = _mm_set1_epi32((int)rgbMask);
    const __m128i notRgb = _mm_set1_epi32((int)~rgbMask);
    const __m128i alpha = _mm_set1_epi32((int)alphaMask);
    const __m128i keyRgb = _mm_set1_epi32((int)(key & rgbMask));
    auto four = [&](int at) {
        __m128i v = _mm_or_si128(_mm_loadu_si128((const __m128i*)(s + at * 4)), notRgb);
        __m128i match = _mm_cmpeq_epi32(_mm_and_si128(v, rgb), keyRgb);
        // Every pixel gains the alpha bits; matching ones then lose them again.
        __m128i set = _mm_or_si128(v, alpha);
        _mm_storeu_si128((__m128i*)(d + at * 4), _mm_xor_si128(set, _mm_and_si128(match, alpha)));
    };
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        four(i);
        four(i + 4);
    }
    for (; i + 4 <= n; i += 4)
        four(i);
    KeyAlpha32Ref(d + i * 4, s + i * 4, n - i, rgbMask, alphaMask, key);
}

const Row16To32 kRgb565To8888 = Rgb565To8888Sse2;
const Row32To16 kRgb8888To565 = Rgb8888To565Sse2;
const Row16To16 kRgb565To555 = Rgb565To555Sse2;
const Row16To16 kRgb555To565 = Rgb555To565Sse2;
const Row24To32 kRgb24To8888 = Rgb24To8888Sse2;
const RowKeyAlpha32 kKeyAlpha32 = KeyAlpha32Sse2;
const Row24Key32 kRgb24Key8888 = Rgb24Key8888Sse2;

#else

const Row16To32 kRgb565To8888 = Rgb565To8888Ref;
const Row32To16 kRgb8888To565 = Rgb8888To565Ref;
const Row16To16 kRgb565To555 = Rgb565To555Ref;
const Row16To16 kRgb555To565 = Rgb555To565Ref;
const Row24To32 kRgb24To8888 = Rgb24To8888Ref;
const RowKeyAlpha32 kKeyAlpha32 = KeyAlpha32Ref;
const Row24Key32 kRgb24Key8888 = Rgb24Key8888Ref;

#endif

}  // namespace convert_rows
