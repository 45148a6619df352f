// QzDrawBlitPixel.h: the per-pixel operations of the software blitters, shared by the
// plain blitter (QzDrawBlit.cpp) and the scaled one (QzDrawBlitScaled.cpp); keep both in
// mind when changing anything here. Pure functions of their arguments: no state, no lock.
//
// 32-bit pixels are X8R8G8B8 words (byte 0 blue .. byte 3 the fourth byte X); 16-bit
// pixels are R5G6B5 words (blue bits 0-4, green 5-10, red 11-15). The packed add and
// subtract work on whole words, so their low bits and the fourth byte differ from a
// per-channel saturating add; drawn images depend on those bits, so keep them exact.
#pragma once

#include <cstdint>
#include <cstring>

namespace blitpx {

// Unaligned pixel reads and writes.
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint32_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void Store16(uint8_t* p, uint32_t v) {
    const uint16_t w = (uint16_t)v;
    std::memcpy(p, &w, 2);
}

// ---- channels -------------------------------------------------------------------

struct Rgb {
    int r, g, b;
};

inline Rgb Split32(uint32_t p) { return {(int)(p >> 16 & 0xFF), (int)(p >> 8 & 0xFF), (int)(p & 0xFF)}; }
inline Rgb Split16(uint32_t p) { return {(int)(p >> 11 & 0x1F), (int)(p >> 5 & 0x3F), (int)(p & 0x1F)}; }
inline uint32_t Pack32(Rgb c, uint32_t x) { return (x & 0xFF000000u) | (uint32_t)c.r << 16 | (uint32_t)c.g << 8 | (uint32_t)c.b; }
inline uint32_t Pack16(Rgb c) { return (uint32_t)c.r << 11 | (uint32_t)c.g << 5 | (uint32_t)c.b; }

// Brightened source channels: each channel scaled by its bright byte through ScaleTable
// rows (red, green, blue), so floor(bright_c x s_c / 255).
inline Rgb Brighten(Rgb s, const int32_t* rowR, const int32_t* rowG, const int32_t* rowB) {
    return {rowR[s.r], rowG[s.g], rowB[s.b]};
}

// Mix with weight k over 2^n: d + floor((s - d) x k / 2^n), floored toward minus
// infinity; the form below keeps the numerator non-negative.
inline int MixChannel(int s, int d, int64_t k, int n) {
    return (int)((((int64_t)d << n) + (int64_t)(s - d) * k) >> n);
}
inline Rgb Mix(Rgb s, Rgb d, int64_t k, int n) {
    return {MixChannel(s.r, d.r, k, n), MixChannel(s.g, d.g, k, n), MixChannel(s.b, d.b, k, n)};
}

// ---- 32-bit operations -----------------------------------------------------------

// Mix keeping the destination's fourth byte.
inline uint32_t Mix32(Rgb s, uint32_t d, int64_t k, int n) { return Pack32(Mix(s, Split32(d), k, n), d); }

// Multiply: floor(s x k x d / 2^n) per channel, n counting the 8 bits of d; X kept.
inline uint32_t Multiply32(Rgb s, uint32_t d, int64_t k, int n) {
    Rgb dc = Split32(d);
    return Pack32({(int)((int64_t)s.r * k * dc.r >> n), (int)((int64_t)s.g * k * dc.g >> n),
                   (int)((int64_t)s.b * k * dc.b >> n)},
                  d);
}

// Packed add of the contribution word v (v_B byte 0, v_G byte 1, v_R byte 2).
inline uint32_t PackedAdd32(uint32_t v, uint32_t d) {
    uint32_t sum = (v & 0x00FEFEFFu) + (d & 0x00FEFEFFu);
    uint32_t carry = sum & 0x01010100u;
    return sum | (carry - (carry >> 8)) | ((d | v) & 0x00010100u);
}
// The no-MMX add at parameter 255: the packed add without its low-bit term.
inline uint32_t PackedAddNoLowBits32(uint32_t v, uint32_t d) {
    uint32_t sum = (v & 0x00FEFEFFu) + (d & 0x00FEFEFFu);
    uint32_t carry = sum & 0x01010100u;
    return sum | (carry - (carry >> 8));
}
inline uint32_t PackedSubtract32(uint32_t v, uint32_t d) {
    uint32_t t = (d | 0x01010100u) - (v & 0xFEFEFEFFu);
    uint32_t keep = t & 0x01010100u;
    return t & (keep - (keep >> 8));
}
// The MMX forms at parameter 255: each of the four bytes saturates on its own.
inline uint32_t SaturatingAdd32(uint32_t v, uint32_t d) {
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        uint32_t s = (v >> i & 0xFF) + (d >> i & 0xFF);
        out |= (s > 255 ? 255u : s) << i;
    }
    return out;
}
inline uint32_t SaturatingSubtract32(uint32_t v, uint32_t d) {
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        int s = (int)(d >> i & 0xFF) - (int)(v >> i & 0xFF);
        out |= (uint32_t)(s < 0 ? 0 : s) << i;
    }
    return out;
}
// Alpha at 128: both pixels halved and summed; X becomes 0.
inline uint32_t Halve32(uint32_t s, uint32_t d) { return ((d >> 1) & 0x7F7F7Fu) + ((s >> 1) & 0x7F7F7Fu); }

// ---- 16-bit operations -----------------------------------------------------------

// Multiply divisors are 32 and 64 (shifts), not 31 and 63.
inline uint32_t Multiply16(Rgb s, uint32_t d, int64_t k, int n) {
    Rgb dc = Split16(d);
    return Pack16({(int)((int64_t)s.r * dc.r * k >> (n + 5)), (int)((int64_t)s.g * dc.g * k >> (n + 6)),
                   (int)((int64_t)s.b * dc.b * k >> (n + 5))});
}
// Signed mix: d + trunc(P x (s - d) / 255) per field; signedRow is the SignedScaleTable
// row of P positioned at its zero column.
inline uint32_t SignedMix16(Rgb s, uint32_t d, const int32_t* signedRow) {
    Rgb dc = Split16(d);
    return Pack16({dc.r + signedRow[s.r - dc.r], dc.g + signedRow[s.g - dc.g], dc.b + signedRow[s.b - dc.b]});
}
// 64-level mix: lerpSlice is LerpTable64 at first index P / 4 (64 x 64 bytes).
inline uint32_t Lerp64Mix16(Rgb s, uint32_t d, const uint8_t* lerpSlice) {
    Rgb dc = Split16(d);
    return Pack16({lerpSlice[s.r * 64 + dc.r], lerpSlice[s.g * 64 + dc.g], lerpSlice[s.b * 64 + dc.b]});
}
inline uint32_t Halve16(uint32_t s, uint32_t d) { return ((s >> 1) & 0x7BEFu) + ((d >> 1) & 0x7BEFu); }

inline uint32_t PackedAdd16(uint32_t v, uint32_t d) {
    uint32_t sum = (v & 0xF7DFu) + (d & 0xF7DFu);
    uint32_t carries = sum & 0x10820u;
    return ((sum | (carries - (carries >> 5))) & 0xFFFFu) | ((d | v) & 0x0820u);
}
inline uint32_t PackedAddNoLowBits16(uint32_t v, uint32_t d) {
    uint32_t sum = (v & 0xF7DFu) + (d & 0xF7DFu);
    uint32_t carries = sum & 0x10820u;
    return (sum | (carries - (carries >> 5))) & 0xFFFFu;
}
inline uint32_t PackedSubtract16(uint32_t v, uint32_t d) {
    uint32_t t = (d | 0x10820u) - (v & 0xF7DFu);
    uint32_t guards = t & 0x10820u;
    return t & (guards - (guards >> 5)) & 0xFFFFu;
}
// The two-pixel forms of the dedicated add and subtract at parameter 255: pv and pd hold
// two pixels, the first in the low half. The second pixel loses low bits that the
// one-pixel forms keep; the first gets the one-pixel result.
inline uint32_t PackedAddNoLowBitsPair16(uint32_t pv, uint32_t pd) {
    uint64_t wide = (uint64_t)(pv & 0xF7DEF7DFu) + (pd & 0xF7DEF7DFu);
    uint32_t psum = (uint32_t)wide;
    uint32_t c = (uint32_t)(wide >> 32);
    uint32_t carries = psum & 0x08210820u;
    return psum | (carries - ((carries >> 5) | (c << 27)));
}
inline uint32_t PackedSubtractPair16(uint32_t pv, uint32_t pd) {
    uint32_t a = pd | 0x08210820u;
    uint32_t b = pv & 0xF7DEF7DFu;
    uint32_t pt = a - b;
    uint32_t guards = pt & 0x08210820u;
    return pt & ((guards - (guards >> 5)) | (a < b ? 0u : 0xF8000000u));
}

}  // namespace blitpx
