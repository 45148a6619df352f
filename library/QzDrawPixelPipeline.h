// QzDrawPixelPipeline.h: the per-pixel stage of the software drawers that map a source
// MEMIMG onto a destination: the rotated drawer (QzDrawRotate.cpp) and the textured
// triangle drawer share it, so both write equal pixels for equal inputs; keep both in
// mind when changing anything here.
//
// A drawer picks one pixel rule per draw (source kind, blend mode and parameter,
// blend image, bright colour, transparent flag) through DispatchPixelRule and then calls
// the chosen rule's Apply for every destination pixel whose source position lies inside
// the source. Channels stay in their own widths (5/6/5 bits or 8 bits), never widened.
// Blend image and source alpha weigh over 256 (65536 for both), so a weight of 255
// stops one step short of the source.
//
// Blend modes: 0 none, 1 alpha, 2 add, 3 subtract, 4 multiply; 5 and above draw
// nothing. Pure functions: no state, no lock.
#pragma once

#include <cstdint>

#include "QzDrawBlitPixel.h"
#include "QzDrawDevice.h"

namespace drawpx {

// Source kinds, by type, palette flag and alpha flag.
enum class SrcKind { Pal16, Pal32, Dir16, Dir16Alpha, Dir32, Dir32Alpha };

constexpr int UnitBytes(SrcKind k) {
    return k == SrcKind::Pal16 || k == SrcKind::Pal32 ? 1 : k == SrcKind::Dir16 ? 2 : 4;
}
constexpr bool Is16(SrcKind k) { return k == SrcKind::Pal16 || k == SrcKind::Dir16 || k == SrcKind::Dir16Alpha; }
constexpr bool HasAlpha(SrcKind k) { return k == SrcKind::Dir16Alpha || k == SrcKind::Dir32Alpha; }
constexpr bool IsPalette(SrcKind k) { return k == SrcKind::Pal16 || k == SrcKind::Pal32; }

// Per-draw values: the ScaleTable rows of the bright colour and the blend parameter are
// picked once here, not per pixel.
struct PixelContext {
    const uint8_t* palette = nullptr;  // entries in the image's own format (2 or 4 bytes)
    uint32_t colorKey = 0;
    const uint8_t* blendTable = nullptr;  // BlendGraphTable: blend-image byte -> factor
    const int32_t* brightR = nullptr;
    const int32_t* brightG = nullptr;
    const int32_t* brightB = nullptr;
    const int32_t* paramRow = nullptr;
    int param = 0;
};

inline bool BrightOn(uint32_t brightColor) { return (brightColor & 0xFFFFFFu) != 0xFFFFFFu; }

inline PixelContext MakePixelContext(const uint8_t* palette, uint32_t colorKey, const uint8_t* blendTable,
                                     uint32_t brightColor, int param) {
    PixelContext c;
    c.palette = palette;
    c.colorKey = colorKey;
    c.blendTable = blendTable;
    c.brightR = ScaleTable[brightColor >> 16 & 0xFF];
    c.brightG = ScaleTable[brightColor >> 8 & 0xFF];
    c.brightB = ScaleTable[brightColor & 0xFF];
    c.param = param & 0xFF;
    c.paramRow = ScaleTable[c.param];
    return c;
}

// One fetched source pixel: its colour word (16-bit R5G6B5 or 32-bit X8R8G8B8) and alpha.
struct Fetched {
    uint32_t s;
    int a;
};

// Fetch plus the transparent test; false when the pixel is left out. With source alpha
// the colour key is not consulted: the transparent flag only skips alpha 0.
template <SrcKind K, bool Trans>
inline bool Fetch(const uint8_t* unit, const PixelContext& c, Fetched* out) {
    if constexpr (IsPalette(K)) {
        const uint32_t idx = *unit;
        if (Trans && idx == c.colorKey)
            return false;
        out->s = K == SrcKind::Pal16 ? blitpx::Load16(c.palette + idx * 2) : blitpx::Load32(c.palette + idx * 4);
        out->a = 255;
    } else if constexpr (K == SrcKind::Dir16) {
        out->s = blitpx::Load16(unit);
        out->a = 255;
        if (Trans && out->s == c.colorKey)
            return false;
    } else if constexpr (K == SrcKind::Dir32) {
        out->s = blitpx::Load32(unit);
        out->a = 255;
        if (Trans && out->s == c.colorKey)
            return false;
    } else {
        const uint32_t w = blitpx::Load32(unit);
        out->s = K == SrcKind::Dir16Alpha ? (w & 0xFFFFu) : w;
        out->a = K == SrcKind::Dir16Alpha ? (int)(w >> 16 & 0xFF) : (int)(w >> 24);
        if (Trans && out->a == 0)
            return false;
    }
    return true;
}

template <SrcKind K>
inline blitpx::Rgb Channels(uint32_t s) {
    return Is16(K) ? blitpx::Split16(s) : blitpx::Split32(s);
}

// Blend mode none (and mode 1 at parameter 255). blendByte is read only with Blend.
template <SrcKind K, bool Blend, bool Bright, bool Trans>
struct RuleNone {
    static constexpr SrcKind kKind = K;
    static constexpr bool kBlend = Blend;
    static void Apply(uint8_t* d, const uint8_t* unit, const uint8_t* blendByte, const PixelContext& c) {
        Fetched px;
        if (!Fetch<K, Trans>(unit, c, &px))
            return;
        // With the transparent flag on, alpha 255 draws as if the source had no alpha.
        const bool useAlpha = HasAlpha(K) && !(Trans && px.a == 255);
        int64_t k = 0;
        int n = 8;
        if (Blend) {
            k = c.blendTable[*blendByte];
            if (useAlpha) {
                k *= px.a;
                n = 16;
            }
        } else if (useAlpha) {
            k = px.a;
        } else if (!Bright) {
            // The copy: the whole unit (for 32-bit, byte 3 included).
            if constexpr (Is16(K))
                blitpx::Store16(d, px.s);
            else
                blitpx::Store32(d, px.s);
            return;
        }
        blitpx::Rgb s = Channels<K>(px.s);
        if (Bright)
            s = blitpx::Brighten(s, c.brightR, c.brightG, c.brightB);
        if constexpr (Is16(K)) {
            const uint32_t dv = blitpx::Load16(d);
            blitpx::Store16(d, blitpx::Pack16(Blend || useAlpha ? blitpx::Mix(s, blitpx::Split16(dv), k, n) : s));
        } else {
            const uint32_t dv = blitpx::Load32(d);
            blitpx::Store32(d, blitpx::Pack32(Blend || useAlpha ? blitpx::Mix(s, blitpx::Split32(dv), k, n) : s, dv));
        }
    }
};

// Blend mode 1 (alpha) at parameters 1-254: the weights in force (parameter, blend
// factor, source alpha) multiply and divide by 2^8 each. 16-bit without blend factor or
// alpha is the exception: d + trunc(P x (s - d) / 255) through the SignedScaleTable row.
// Multiplies the weight k by the modifiers' factors: the blend graphic's and the source
// alpha's, each adding 8 bits to the shift n.
template <bool Blend>
inline void Weigh(const uint8_t* blendByte, const PixelContext& c, bool useAlpha, int alpha, int64_t* k, int* n) {
    if (Blend) {
        *k *= c.blendTable[*blendByte];
        *n += 8;
    }
    if (useAlpha) {
        *k *= alpha;
        *n += 8;
    }
}

// The fetched pixel's channels, with the bright colour when it is on.
template <SrcKind K, bool Bright>
inline blitpx::Rgb SourceColour(const Fetched& px, const PixelContext& c) {
    const blitpx::Rgb s = Channels<K>(px.s);
    return Bright ? blitpx::Brighten(s, c.brightR, c.brightG, c.brightB) : s;
}

template <SrcKind K, bool Blend, bool Bright, bool Trans>
struct RuleAlpha {
    static constexpr SrcKind kKind = K;
    static constexpr bool kBlend = Blend;
    static void Apply(uint8_t* d, const uint8_t* unit, const uint8_t* blendByte, const PixelContext& c) {
        Fetched px;
        if (!Fetch<K, Trans>(unit, c, &px))
            return;
        const bool useAlpha = HasAlpha(K) && !(Trans && px.a == 255);
        int64_t k = c.param;
        int n = 8;
        Weigh<Blend>(blendByte, c, useAlpha, px.a, &k, &n);
        const blitpx::Rgb s = SourceColour<K, Bright>(px, c);
        if constexpr (Is16(K)) {
            const uint32_t dv = blitpx::Load16(d);
            if (n == 8)
                blitpx::Store16(d, blitpx::SignedMix16(s, dv, SignedScaleTable[c.param] + 255));
            else
                blitpx::Store16(d, blitpx::Pack16(blitpx::Mix(s, blitpx::Split16(dv), k, n)));
        } else {
            const uint32_t dv = blitpx::Load32(d);
            blitpx::Store32(d, blitpx::Mix32(s, dv, k, n));
        }
    }
};

// Blend modes 2 (add) and 3 (subtract): the source scaled by the parameter and the
// modifiers, then the packed saturating addition or subtraction of whole pixels (for
// 32-bit, byte 3 takes red's carry, or becomes 0).
// 16-bit scales through ScaleTable rows; with source alpha and no blend image it takes
// the alpha before the bright row. 32-bit with a blend image or source alpha multiplies
// by the parameter itself.
template <SrcKind K, bool Blend, bool Bright, bool Trans, bool Subtract>
struct RuleAddSub {
    static constexpr SrcKind kKind = K;
    static constexpr bool kBlend = Blend;
    static int Scale(int ch, const int32_t* brightRow, bool useAlpha, int a, int f, const PixelContext& c) {
        if constexpr (Is16(K)) {
            int v;
            if (!Blend && useAlpha)
                v = Bright ? brightRow[ch * a >> 8] : ch * a >> 8;
            else {
                v = Bright ? brightRow[ch] : ch;
                if (Blend)
                    v = useAlpha ? (int)((uint32_t)v * (uint32_t)a * (uint32_t)f >> 16) : v * f >> 8;
            }
            return c.paramRow[v];
        } else {
            const uint32_t v = (uint32_t)(Bright ? brightRow[ch] : ch);
            const uint32_t p = (uint32_t)c.param;
            if (Blend)
                return useAlpha ? (int)(v * (uint32_t)a * (uint32_t)f * p >> 24) : (int)(v * (uint32_t)f * p >> 16);
            return useAlpha ? (int)(v * (uint32_t)a * p >> 16) : c.paramRow[v];
        }
    }
    static void Apply(uint8_t* d, const uint8_t* unit, const uint8_t* blendByte, const PixelContext& c) {
        Fetched px;
        if (!Fetch<K, Trans>(unit, c, &px))
            return;
        const bool useAlpha = HasAlpha(K) && !(Trans && px.a == 255);
        const int f = Blend ? c.blendTable[*blendByte] : 0;
        const blitpx::Rgb s = Channels<K>(px.s);
        const blitpx::Rgb v = {Scale(s.r, c.brightR, useAlpha, px.a, f, c), Scale(s.g, c.brightG, useAlpha, px.a, f, c),
                               Scale(s.b, c.brightB, useAlpha, px.a, f, c)};
        if constexpr (Is16(K)) {
            const uint32_t sv = blitpx::Pack16(v), dv = blitpx::Load16(d);
            blitpx::Store16(d, Subtract ? blitpx::PackedSubtract16(sv, dv) : blitpx::PackedAdd16(sv, dv));
        } else {
            const uint32_t sv = blitpx::Pack32(v, 0), dv = blitpx::Load32(d);
            blitpx::Store32(d, Subtract ? blitpx::PackedSubtract32(sv, dv) : blitpx::PackedAdd32(sv, dv));
        }
    }
};

// Blend mode 4 (multiply): the channel times the destination channel and the factors
// present, shifted by the channel's width plus 8 per factor, so it darkens toward black.
// The parameter is not read, and with source alpha no pixel is skipped: under the
// transparent flag alpha 255 takes the rule without alpha, alpha 0 draws black.
template <SrcKind K, bool Blend, bool Bright, bool Trans>
struct RuleMultiply {
    static constexpr SrcKind kKind = K;
    static constexpr bool kBlend = Blend;
    static void Apply(uint8_t* d, const uint8_t* unit, const uint8_t* blendByte, const PixelContext& c) {
        Fetched px;
        if (!Fetch<K, Trans && !HasAlpha(K)>(unit, c, &px))
            return;
        const bool useAlpha = HasAlpha(K) && !(Trans && px.a == 255);
        int64_t k = 1;
        int n = 0;
        Weigh<Blend>(blendByte, c, useAlpha, px.a, &k, &n);
        const blitpx::Rgb s = SourceColour<K, Bright>(px, c);
        if constexpr (Is16(K))
            blitpx::Store16(d, blitpx::Multiply16(s, blitpx::Load16(d), k, n));
        else
            blitpx::Store32(d, blitpx::Multiply32(s, blitpx::Load32(d), k, n + 8));
    }
};

// Picks the rule for a draw and calls f.template operator()<Rule>() once; returns false
// (and calls nothing) when the draw writes nothing: blend mode 5 or above or negative,
// the parameter shortcuts that draw nothing, and the blend modes not built yet.
template <SrcKind K, bool Blend, bool Bright, bool Trans, class F>
inline bool DispatchMode(int mode, int param, F&& f) {
    switch ((uint32_t)mode) {
    case 0:
        f.template operator()<RuleNone<K, Blend, Bright, Trans>>();
        return true;
    case 1:
        if (param == 0)
            return false;
        if (param == 255)
            f.template operator()<RuleNone<K, Blend, Bright, Trans>>();
        else
            f.template operator()<RuleAlpha<K, Blend, Bright, Trans>>();
        return true;
    case 2:
        if (param == 0)
            return false;
        f.template operator()<RuleAddSub<K, Blend, Bright, Trans, false>>();
        return true;
    case 3:
        // Palette sources run at parameter 0 too: a zero source, still subtracted.
        if (param == 0 && !IsPalette(K))
            return false;
        f.template operator()<RuleAddSub<K, Blend, Bright, Trans, true>>();
        return true;
    case 4:
        f.template operator()<RuleMultiply<K, Blend, Bright, Trans>>();
        return true;
    default:
        return false;  // 5 and above (or negative): nothing
    }
}

template <SrcKind K, class F>
inline bool DispatchFlags(int mode, int param, bool blend, bool bright, bool trans, F&& f) {
    if (blend) {
        if (bright)
            return trans ? DispatchMode<K, true, true, true>(mode, param, f)
                         : DispatchMode<K, true, true, false>(mode, param, f);
        return trans ? DispatchMode<K, true, false, true>(mode, param, f)
                     : DispatchMode<K, true, false, false>(mode, param, f);
    }
    if (bright)
        return trans ? DispatchMode<K, false, true, true>(mode, param, f)
                     : DispatchMode<K, false, true, false>(mode, param, f);
    return trans ? DispatchMode<K, false, false, true>(mode, param, f)
                 : DispatchMode<K, false, false, false>(mode, param, f);
}

// The whole choice, tested in the order blend image, bright colour, source alpha (in the
// kind), transparent flag. f receives the rule type; the rule's kind gives the unit size.
template <class F>
inline bool DispatchPixelRule(SrcKind kind, int mode, int param, bool blend, bool bright, bool trans, F&& f) {
    switch (kind) {
    case SrcKind::Pal16: return DispatchFlags<SrcKind::Pal16>(mode, param, blend, bright, trans, f);
    case SrcKind::Pal32: return DispatchFlags<SrcKind::Pal32>(mode, param, blend, bright, trans, f);
    case SrcKind::Dir16: return DispatchFlags<SrcKind::Dir16>(mode, param, blend, bright, trans, f);
    case SrcKind::Dir16Alpha: return DispatchFlags<SrcKind::Dir16Alpha>(mode, param, blend, bright, trans, f);
    case SrcKind::Dir32: return DispatchFlags<SrcKind::Dir32>(mode, param, blend, bright, trans, f);
    case SrcKind::Dir32Alpha: return DispatchFlags<SrcKind::Dir32Alpha>(mode, param, blend, bright, trans, f);
    }
    return false;
}

// The kind of a source by type and flags; false for a type other than 0 or 1.
inline bool SourceKindOf(int type, int usePalette, int useAlpha, SrcKind* out) {
    if (type != 0 && type != 1)
        return false;
    if (usePalette == 1)
        *out = type == 0 ? SrcKind::Pal16 : SrcKind::Pal32;
    else if (type == 0)
        *out = useAlpha == 1 ? SrcKind::Dir16Alpha : SrcKind::Dir16;
    else
        *out = useAlpha == 1 ? SrcKind::Dir32Alpha : SrcKind::Dir32;
    return true;
}

}  // namespace drawpx
