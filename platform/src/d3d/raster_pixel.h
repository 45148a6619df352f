// d3d/raster_pixel.h: the per-pixel rules of the rasterizer (raster.h states them in
// words): texel widening and stores, the rounded product, the stage operations, the
// blend factors, the alpha test and the two samplers. The reference path is made of
// these; the fast paths use them for their heads, tails and rare cases, so both read
// the same definitions. Colours travel as 0xAARRGGBB. Pure inline functions.
#pragma once

#include <cstdint>
#include <cstring>

#include "d3d/raster.h"

namespace d3d {

// ---- widening: floor(x * 255 / (2^w - 1)) ------------------------------------------------------------
struct WidenTables {
    uint8_t w4[16];
    uint8_t w5[32];
    uint8_t w6[64];
};
constexpr WidenTables MakeWidenTables() {
    WidenTables t{};
    for (int x = 0; x < 16; ++x) t.w4[x] = static_cast<uint8_t>(x * 255 / 15);
    for (int x = 0; x < 32; ++x) t.w5[x] = static_cast<uint8_t>(x * 255 / 31);
    for (int x = 0; x < 64; ++x) t.w6[x] = static_cast<uint8_t>(x * 255 / 63);
    return t;
}
inline constexpr WidenTables kWiden = MakeWidenTables();

inline uint32_t ReadRaw(const uint8_t* p, PixelFormat format) {
    if (format == PixelFormat::X8R8G8B8 || format == PixelFormat::A8R8G8B8) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void WriteRaw(uint8_t* p, PixelFormat format, uint32_t v) {
    if (format == PixelFormat::X8R8G8B8 || format == PixelFormat::A8R8G8B8) {
        std::memcpy(p, &v, 4);
    } else {
        uint16_t w = static_cast<uint16_t>(v);
        std::memcpy(p, &w, 2);
    }
}

inline uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

inline uint32_t Widen(PixelFormat format, uint32_t v) {
    switch (format) {
    case PixelFormat::R5G6B5:
        return Pack(255, kWiden.w5[(v >> 11) & 31], kWiden.w6[(v >> 5) & 63], kWiden.w5[v & 31]);
    case PixelFormat::X1R5G5B5:
        return Pack(255, kWiden.w5[(v >> 10) & 31], kWiden.w5[(v >> 5) & 31], kWiden.w5[v & 31]);
    case PixelFormat::A1R5G5B5:
        return Pack((v & 0x8000) ? 255 : 0, kWiden.w5[(v >> 10) & 31], kWiden.w5[(v >> 5) & 31], kWiden.w5[v & 31]);
    case PixelFormat::A4R4G4B4:
        return Pack(kWiden.w4[(v >> 12) & 15], kWiden.w4[(v >> 8) & 15], kWiden.w4[(v >> 4) & 15], kWiden.w4[v & 15]);
    case PixelFormat::X8R8G8B8:
        return v | 0xFF000000u;
    case PixelFormat::A8R8G8B8:
        return v;
    }
    return 0;
}

// Stores truncate; X bits are 0.
inline uint32_t Narrow(PixelFormat format, uint32_t c) {
    uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    switch (format) {
    case PixelFormat::R5G6B5: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    case PixelFormat::X1R5G5B5: return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case PixelFormat::A1R5G5B5: return (a >> 7) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case PixelFormat::A4R4G4B4: return (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4);
    case PixelFormat::X8R8G8B8: return c & 0x00FFFFFFu;
    case PixelFormat::A8R8G8B8: return c;
    }
    return 0;
}

// ---- arithmetic ----------------------------------------------------------------------------------------
// round(a * b / 255) for bytes, exactly (255 is the identity).
inline uint32_t Mul255(uint32_t a, uint32_t b) {
    uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

inline uint32_t Channel(uint32_t c, int shift) { return (c >> shift) & 255; }

inline uint32_t OpChannel(uint32_t operation, uint32_t a, uint32_t b) {
    switch (operation) {
    case op::SelectArg1: return a;
    case op::SelectArg2: return b;
    case op::Modulate: return Mul255(a, b);
    case op::Modulate2x: { uint32_t m = Mul255(a, b) * 2; return m > 255 ? 255 : m; }
    case op::Modulate4x: { uint32_t m = Mul255(a, b) * 4; return m > 255 ? 255 : m; }
    case op::Add: { uint32_t s = a + b; return s > 255 ? 255 : s; }
    case op::Subtract: return a > b ? a - b : 0;
    }
    return a;
}

// The operation on every byte of two colours.
inline uint32_t ApplyOp(uint32_t operation, uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= OpChannel(operation, Channel(a, shift), Channel(b, shift)) << shift;
    return out;
}

// The four factor bytes of a blend factor (the alpha byte as the alpha channel uses it).
inline uint32_t FactorBytes(uint32_t f, uint32_t src, uint32_t dst) {
    uint32_t sa = src >> 24;
    switch (f) {
    case factor::Zero: return 0;
    case factor::One: return 0xFFFFFFFFu;
    case factor::SrcColor: return src;
    case factor::SrcAlpha: return sa * 0x01010101u;
    case factor::InvSrcAlpha: return (255 - sa) * 0x01010101u;
    case factor::InvDestColor: return ~dst;
    }
    return 0;
}

inline uint32_t BlendPixel(uint32_t srcFactor, uint32_t destFactor, uint32_t src, uint32_t dst) {
    uint32_t fs = FactorBytes(srcFactor, src, dst), fd = FactorBytes(destFactor, src, dst);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t v = Mul255(Channel(src, shift), Channel(fs, shift)) + Mul255(Channel(dst, shift), Channel(fd, shift));
        out |= (v > 255 ? 255 : v) << shift;
    }
    return out;
}

inline bool AlphaPasses(uint32_t func, uint32_t alpha, uint32_t ref) {
    switch (func) {
    case cmp::Never: return false;
    case cmp::Less: return alpha < ref;
    case cmp::Equal: return alpha == ref;
    case cmp::LessEqual: return alpha <= ref;
    case cmp::Greater: return alpha > ref;
    case cmp::NotEqual: return alpha != ref;
    case cmp::GreaterEqual: return alpha >= ref;
    }
    return true;  // ALWAYS, and every value outside 1-8
}

// ---- sampling (s, t: texel coordinates in 16.16 fixed point) ------------------------------------
inline int32_t ClampIndex(int64_t i, int32_t size) {
    return i < 0 ? 0 : (i >= size ? size - 1 : static_cast<int32_t>(i));
}

inline uint32_t TexelRaw(const TextureView& tex, int32_t x, int32_t y) {
    return ReadRaw(tex.pixels + static_cast<intptr_t>(y) * tex.pitch + static_cast<intptr_t>(x) * BytesPerPixel(tex.format),
                   tex.format);
}

inline uint32_t SamplePoint(const TextureView& tex, int64_t s, int64_t t) {
    if (tex.pixels == nullptr) return 0xFFFFFFFFu;
    return Widen(tex.format, TexelRaw(tex, ClampIndex(s >> 16, tex.width), ClampIndex(t >> 16, tex.height)));
}

inline uint32_t SampleLinear(const TextureView& tex, int64_t s, int64_t t) {
    if (tex.pixels == nullptr) return 0xFFFFFFFFu;
    s -= 32768;
    t -= 32768;
    int64_t x0 = s >> 16, y0 = t >> 16;
    uint32_t fx = static_cast<uint32_t>(s >> 8) & 255, fy = static_cast<uint32_t>(t >> 8) & 255;
    int32_t xa = ClampIndex(x0, tex.width), xb = ClampIndex(x0 + 1, tex.width);
    int32_t ya = ClampIndex(y0, tex.height), yb = ClampIndex(y0 + 1, tex.height);
    uint32_t c00 = Widen(tex.format, TexelRaw(tex, xa, ya)), c10 = Widen(tex.format, TexelRaw(tex, xb, ya));
    uint32_t c01 = Widen(tex.format, TexelRaw(tex, xa, yb)), c11 = Widen(tex.format, TexelRaw(tex, xb, yb));
    uint32_t w00 = (256 - fx) * (256 - fy), w10 = fx * (256 - fy), w01 = (256 - fx) * fy, w11 = fx * fy;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t v = Channel(c00, shift) * w00 + Channel(c10, shift) * w10 + Channel(c01, shift) * w01 +
                     Channel(c11, shift) * w11;
        out |= ((v + 32768) >> 16) << shift;
    }
    return out;
}

// The colour key compares RGB bits; widening keeps channels apart, so the widened RGB
// of texel and key compare the same way.
inline uint32_t KeyRgb(const TextureView& tex) { return Widen(tex.format, tex.key) & 0x00FFFFFFu; }

}  // namespace d3d
