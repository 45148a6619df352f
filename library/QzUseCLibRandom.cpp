// QzUseCLibRandom.cpp: the library's Mersenne Twister (MT19937) with the seeding of
// the first, 1998 reference code. Seeding fills the 624 state words and regenerates
// once, leaving 624 tempered words in the output table; nothing in the system draws
// from it yet.
//
// Regeneration has two rows that must give identical words: the plain reference and
// a 4-words-a-step SSE2 row (the "MMX" path, taken when the processor reports MMX).
// State is one static record; callers hold the library lock.
#include "QzUseCLib.h"

#include "platform/win32.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

MersenneTwisterState g_mersenneTwister;

namespace {

constexpr int kN = kMersenneTwisterWords;
constexpr int kM = 397;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7FFFFFFFu;
constexpr uint32_t kMatrix = 0x9908B0DFu;

inline uint32_t Twist(uint32_t current, uint32_t next, uint32_t far) {
    uint32_t y = (current & kUpperMask) | (next & kLowerMask);
    return far ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
}

inline uint32_t Temper(uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

#if defined(__SSE2__)
// Four words k..k+3 at once. Only valid where none of the four reads a word that
// the same step writes: word[k+1..k+4] and word[k+M..] (or the wrapped word[k+M-N..])
// must lie outside k..k+3, which holds for every step the caller makes.
inline void TwistFour(uint32_t* mt, int k, int far) {
    const __m128i upper = _mm_set1_epi32(static_cast<int>(kUpperMask));
    const __m128i lower = _mm_set1_epi32(static_cast<int>(kLowerMask));
    const __m128i one = _mm_set1_epi32(1);
    const __m128i matrix = _mm_set1_epi32(static_cast<int>(kMatrix));
    __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + k));
    __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + k + 1));
    __m128i farWords = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + far));
    __m128i y = _mm_or_si128(_mm_and_si128(current, upper), _mm_and_si128(next, lower));
    __m128i odd = _mm_cmpeq_epi32(_mm_and_si128(y, one), one);
    __m128i result = _mm_xor_si128(farWords, _mm_srli_epi32(y, 1));
    result = _mm_xor_si128(result, _mm_and_si128(odd, matrix));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(mt + k), result);
}
#endif

}  // namespace

void SeedMersenneTwister(uint32_t seed) {
    MersenneTwisterState& s = g_mersenneTwister;
    uint32_t x = seed;
    for (int i = 0; i < kN; i++) {
        uint32_t x1 = 69069u * x + 1u;
        s.state[i] = (x & 0xFFFF0000u) | (x1 >> 16);
        x = 69069u * x1 + 1u;
    }
    s.mmxFlag = CheckCpuMMX();
    s.initialised = 1;
    RegenerateMersenneTwister();
}

int CheckCpuMMX() {
    DWORD registers[4] = {0, 0, 0, 0};
    if (!CpuIdentify(1, registers)) return 0;
    return (registers[3] >> 23) & 1u ? 1 : 0;
}

void RegenerateMersenneTwister() {
    if (g_mersenneTwister.mmxFlag == 1) {
        RegenerateMersenneTwisterMMX();
    } else {
        RegenerateMersenneTwisterPlain();
    }
}

void RegenerateMersenneTwisterPlain() {
    MersenneTwisterState& s = g_mersenneTwister;
    uint32_t* mt = s.state;
    // Indices wrap modulo N, and each new word is used as soon as it is made.
    for (int k = 0; k < kN; k++) {
        mt[k] = Twist(mt[k], mt[(k + 1) % kN], mt[(k + kM) % kN]);
    }
    for (int k = 0; k < kN; k++) s.output[k] = Temper(mt[k]);
    s.index = 0;
}

void RegenerateMersenneTwisterMMX() {
#if defined(__SSE2__)
    MersenneTwisterState& s = g_mersenneTwister;
    uint32_t* mt = s.state;
    int k = 0;
    // k < N-M: every word read is still the old one.
    for (; k + 4 <= kN - kM; k += 4) TwistFour(mt, k, k + kM);
    for (; k < kN - kM; k++) mt[k] = Twist(mt[k], mt[k + 1], mt[k + kM]);
    // N-M <= k < N-1: the far word is a new one, made at least N-M steps earlier.
    for (; k + 4 <= kN - 1; k += 4) TwistFour(mt, k, k + kM - kN);
    for (; k < kN - 1; k++) mt[k] = Twist(mt[k], mt[k + 1], mt[k + kM - kN]);
    // The last word joins the new word 0.
    mt[kN - 1] = Twist(mt[kN - 1], mt[0], mt[kM - 1]);

    const __m128i mask1 = _mm_set1_epi32(static_cast<int>(0x9D2C5680u));
    const __m128i mask2 = _mm_set1_epi32(static_cast<int>(0xEFC60000u));
    for (int i = 0; i < kN; i += 4) {
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + i));
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 11));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 7), mask1));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 15), mask2));
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 18));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(s.output + i), y);
    }
    s.index = 0;
#else
    RegenerateMersenneTwisterPlain();
#endif
}
