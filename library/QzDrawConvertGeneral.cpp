// QzDrawConvertGeneral.cpp: the general per-channel conversion of ConvertPixelRect, for
// every combination that no straight path handles. For each pixel, left to right and
// top to bottom: read the source (8-bit: its palette entry), take alpha from the alpha
// image, the source or full, convert channel widths when red, green or blue differ in
// width (widening spreads the bits: a 5-bit 31 becomes 255), dither the dropped bits,
// apply alpha-from-red, alpha-only and key-to-alpha, and write.
//
// Alpha changes width only when it was read from an alpha field: a full alpha made for
// a source without alpha already has the destination's width. An alpha image without an
// alpha mask supplies its blue channel (the grey level of an "_a" file).
#include <cstdint>

#include "QzDrawConvertInternal.h"

namespace convert_internal {

namespace {

// The 4 x 4 ordered-dither matrix, indexed by (row mod 4) x 4 + (column mod 4).
const uint8_t kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

struct Channel {
    uint32_t srcMask = 0;
    int srcShift = 0;
    int srcWidth = 0;
    int dstWidth = 0;
    int dstShift = 0;
    uint32_t dstMax = 0;  // destination mask >> shift
    uint32_t dstMask = 0;
    bool convert = false;  // this channel changes width
    int drop = 0;          // bits dropped when narrowing (0 when widening)
    uint32_t widen[256];   // widened values, when widening from 8 bits or fewer
    bool useTable = false;
};

uint32_t ShiftRight(uint32_t v, int n) {
    return n >= 32 ? 0 : v >> n;
}
uint32_t ShiftLeft(uint32_t v, int n) {
    return n >= 32 ? 0 : v << n;
}

// Width conversion of one channel value. Widening adds ch x (2^k - 1) / srcMax in
// unsigned 32-bit arithmetic: ch x (2^dw - 1) / (2^sw - 1) rounded down.
uint32_t ConvertWidth(uint32_t ch, int sw, int dw, uint32_t srcMax) {
    if (sw > dw)
        return ShiftRight(ch, sw - dw);
    if (sw == dw)
        return ch;
    if (srcMax == 0)
        return 0;
    int k = dw - sw;
    uint32_t spread = k >= 32 ? 0xFFFFFFFFu : (1u << k) - 1u;
    return ShiftLeft(ch, k) + ch * spread / srcMax;
}

void SetupChannel(Channel* c, uint32_t srcMask, int srcShift, int srcWidth, const ColorFormat& df, uint32_t dstMask,
                  int dstShift, int dstWidth, bool convert) {
    c->srcMask = srcMask;
    c->srcShift = srcShift;
    c->srcWidth = srcWidth;
    c->dstWidth = dstWidth;
    c->dstShift = dstShift;
    c->dstMask = dstMask;
    c->dstMax = ShiftRight(dstMask, dstShift);
    c->convert = convert && srcWidth != dstWidth;
    c->drop = c->convert && srcWidth > dstWidth ? srcWidth - dstWidth : 0;
    c->useTable = false;
    (void)df;
    if (c->convert && srcWidth < dstWidth && srcWidth <= 8) {
        uint32_t srcMax = ShiftRight(srcMask, srcShift);
        int entries = 1 << srcWidth;
        for (int i = 0; i < entries; ++i)
            c->widen[i] = ConvertWidth((uint32_t)i, srcWidth, dstWidth, srcMax);
        c->useTable = true;
    }
}

struct Setup {
    Channel red, green, blue, alpha;
    bool widthConv;
    bool alphaFromField;  // alpha read from the source's or the alpha image's alpha field
    uint32_t fullAlpha;   // alpha when the source has none
    uint32_t keyCut;      // the skipping key cut to the source's size
    uint32_t keyPacked;   // the key-to-alpha key in the destination format
    uint32_t colourMaskR, colourMaskG, colourMaskB;
};

// One channel through width conversion and, when narrowing, dither. acc is its
// error-carry accumulator.
inline uint32_t Narrow(const Channel& c, uint32_t ch, int dither, int x, int y, uint32_t* acc) {
    uint32_t out = ShiftRight(ch, c.drop);
    if (dither == 0 || c.drop == 0 || c.drop >= 32)
        return out;
    uint32_t dropped = ch & ((1u << c.drop) - 1u);
    if (dither == 1) {
        uint32_t t = kBayer[(y & 3) * 4 + (x & 3)];
        if (dropped > (t << c.drop) >> 4)
            out += 1;
    } else {
        uint32_t sum = *acc + dropped;
        if (sum > (1u << c.drop) - 1u)
            out += 1;
        *acc = sum & ((1u << c.drop) - 1u);
    }
    return out;
}

inline uint32_t Widen(const Channel& c, uint32_t ch) {
    if (c.useTable)
        return c.widen[ch & 0xFF];
    return ConvertWidth(ch, c.srcWidth, c.dstWidth, ShiftRight(c.srcMask, c.srcShift));
}

inline uint32_t Resize(const Channel& c, uint32_t ch, int dither, int x, int y, uint32_t* acc) {
    if (!c.convert)
        return ch;
    if (c.srcWidth > c.dstWidth)
        return Narrow(c, ch, dither, x, y, acc);
    return Widen(c, ch);
}

template <int SB, int DB>
void Run(const GeneralJob& job, Setup& s) {
    const ColorFormat& df = *job.df;
    const ColorFormat& sf = *job.sf;
    const ColorFormat& af = *job.af;
    int ab = af.pixelBytes;
    uint32_t acc[4] = {0, 0, 0, 0};
    for (int y = 0; y < job.height; ++y) {
        const uint8_t* srow = job.src + (ptrdiff_t)y * job.srcPitch;
        const uint8_t* arow = job.alpha ? job.alpha + (ptrdiff_t)y * job.alphaPitch : nullptr;
        uint8_t* drow = job.dst + (ptrdiff_t)y * job.dstPitch;
        for (int x = 0; x < job.width; ++x) {
            uint32_t raw = ReadPixel(srow + x * SB, SB);
            // An 8-bit key names a raw index, like every other key of the skip option.
            if (job.keySkip && raw == s.keyCut)
                continue;
            uint32_t S = SB == 1 ? sf.palette[raw] : raw;
            uint32_t r = ShiftRight(S & s.red.srcMask, s.red.srcShift);
            uint32_t g = ShiftRight(S & s.green.srcMask, s.green.srcShift);
            uint32_t b = ShiftRight(S & s.blue.srcMask, s.blue.srcShift);
            uint32_t a;
            if (arow) {
                uint32_t A = ReadPixel(arow + x * ab, ab);
                if (ab == 1)
                    A = af.palette[A];
                a = ShiftRight(A & s.alpha.srcMask, s.alpha.srcShift);
            } else if (sf.alphaWidth == 0) {
                a = s.fullAlpha;
            } else if (df.alphaWidth == 0) {
                a = 0;
            } else {
                a = ShiftRight(S & s.alpha.srcMask, s.alpha.srcShift);
            }

            uint32_t value;
            if (s.widthConv) {
                r = Resize(s.red, r, job.dither, x, y, &acc[0]);
                g = Resize(s.green, g, job.dither, x, y, &acc[1]);
                b = Resize(s.blue, b, job.dither, x, y, &acc[2]);
                if (s.alphaFromField)
                    a = Resize(s.alpha, a, job.dither, x, y, &acc[3]);
                if (job.alphaFromRed)
                    a = r;
                if (job.alphaOnly)
                    r = g = b = 0;
                // Dither may carry a channel past its top: it stays at the top.
                if (r > s.red.dstMax)
                    r = s.red.dstMax;
                if (g > s.green.dstMax)
                    g = s.green.dstMax;
                if (b > s.blue.dstMax)
                    b = s.blue.dstMax;
                if (a > s.alpha.dstMax)
                    a = s.alpha.dstMax;
            } else {
                if (s.alphaFromField)
                    a = Resize(s.alpha, a, 0, x, y, &acc[3]);
                if (job.alphaFromRed)
                    a = r;
                if (job.alphaOnly)
                    r = g = b = 0;
            }
            value = ShiftLeft(r, s.red.dstShift) | ShiftLeft(g, s.green.dstShift) | ShiftLeft(b, s.blue.dstShift) |
                    ShiftLeft(a, s.alpha.dstShift);
            if (job.keyToAlpha) {
                bool match = (value & s.colourMaskR) == (s.keyPacked & s.colourMaskR) &&
                             (value & s.colourMaskG) == (s.keyPacked & s.colourMaskG) &&
                             (value & s.colourMaskB) == (s.keyPacked & s.colourMaskB);
                value = match ? value & ~df.alphaMask : value | df.alphaMask;
            }
            if (DB == 2)
                value = (value & 0xFFFFu) | df.fillMask;
            else if (DB == 4)
                value |= df.fillMask;
            int dx = job.mirror ? job.width - 1 - x : x;
            WritePixel(drow + dx * DB, DB, value);
        }
    }
}

// The common case without options: every channel's value maps through a 256-entry
// table straight to its place in the destination pixel. Gives the same bytes as Run.
struct Placed {
    uint32_t red[256], green[256], blue[256], alpha[256];
    uint32_t constant;  // full alpha of a source without alpha, and the fill bits
};

template <int SB, int DB>
void RunPlaced(const GeneralJob& job, const Setup& s, const Placed& p) {
    const ColorFormat& sf = *job.sf;
    for (int y = 0; y < job.height; ++y) {
        const uint8_t* srow = job.src + (ptrdiff_t)y * job.srcPitch;
        uint8_t* drow = job.dst + (ptrdiff_t)y * job.dstPitch;
        for (int x = 0; x < job.width; ++x) {
            uint32_t raw = ReadPixel(srow + x * SB, SB);
            uint32_t S = SB == 1 ? sf.palette[raw] : raw;
            uint32_t value = p.red[(S & s.red.srcMask) >> s.red.srcShift] |
                             p.green[(S & s.green.srcMask) >> s.green.srcShift] |
                             p.blue[(S & s.blue.srcMask) >> s.blue.srcShift] | p.constant;
            if (s.alphaFromField)
                value |= p.alpha[(S & s.alpha.srcMask) >> s.alpha.srcShift];
            int dx = job.mirror ? job.width - 1 - x : x;
            WritePixel(drow + dx * DB, DB, value);
        }
    }
}

// Fills one channel's table: value -> converted, clamped and placed.
void PlaceChannel(uint32_t table[256], const Channel& c) {
    uint32_t acc = 0;
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t out = Resize(c, v, 0, 0, 0, &acc);
        if (out > c.dstMax)
            out = c.dstMax;
        table[v] = ShiftLeft(out, c.dstShift);
    }
}

template <int SB>
void RunPlacedForSource(const GeneralJob& job, const Setup& s, const Placed& p) {
    switch (job.df->pixelBytes) {
    case 1: RunPlaced<SB, 1>(job, s, p); break;
    case 2: RunPlaced<SB, 2>(job, s, p); break;
    case 3: RunPlaced<SB, 3>(job, s, p); break;
    default: RunPlaced<SB, 4>(job, s, p); break;
    }
}

template <int SB>
void RunForSource(const GeneralJob& job, Setup& s) {
    switch (job.df->pixelBytes) {
    case 1: Run<SB, 1>(job, s); break;
    case 2: Run<SB, 2>(job, s); break;
    case 3: Run<SB, 3>(job, s); break;
    default: Run<SB, 4>(job, s); break;
    }
}

}  // namespace

void ConvertGeneral(const GeneralJob& job) {
    const ColorFormat& df = *job.df;
    const ColorFormat& sf = *job.sf;
    const ColorFormat& af = *job.af;
    static thread_local Setup s;  // large (four 1 KB tables); one per thread, filled per call

    s.widthConv = sf.redWidth != df.redWidth || sf.greenWidth != df.greenWidth || sf.blueWidth != df.blueWidth;
    SetupChannel(&s.red, sf.redMask, sf.redShift, sf.redWidth, df, df.redMask, df.redShift, df.redWidth,
                 s.widthConv);
    SetupChannel(&s.green, sf.greenMask, sf.greenShift, sf.greenWidth, df, df.greenMask, df.greenShift,
                 df.greenWidth, s.widthConv);
    SetupChannel(&s.blue, sf.blueMask, sf.blueShift, sf.blueWidth, df, df.blueMask, df.blueShift, df.blueWidth,
                 s.widthConv);

    // Where alpha comes from decides its source width.
    uint32_t alphaMask = 0;
    int alphaShift = 0, alphaWidth = 0;
    s.alphaFromField = false;
    if (job.alpha) {
        if (af.alphaMask != 0) {
            alphaMask = af.alphaMask;
            alphaShift = af.alphaShift;
            alphaWidth = af.alphaWidth;
        } else {
            alphaMask = af.blueMask;
            alphaShift = af.blueShift;
            alphaWidth = af.blueWidth;
        }
        s.alphaFromField = true;
    } else if (sf.alphaWidth != 0 && df.alphaWidth != 0) {
        alphaMask = sf.alphaMask;
        alphaShift = sf.alphaShift;
        alphaWidth = sf.alphaWidth;
        s.alphaFromField = true;
    }
    SetupChannel(&s.alpha, alphaMask, alphaShift, alphaWidth, df, df.alphaMask, df.alphaShift, df.alphaWidth,
                 s.alphaFromField);
    s.fullAlpha = ShiftRight(df.alphaMask, df.alphaShift);

    switch (sf.pixelBytes) {
    case 1: s.keyCut = job.key & 0xFFu; break;
    case 2: s.keyCut = job.key & 0xFFFFu; break;
    case 3: s.keyCut = job.key & 0xFFFFFFu; break;
    default: s.keyCut = job.key; break;
    }
    s.keyPacked = PackPixelRGBA(&df, (int)(job.key >> 16 & 0xFF), (int)(job.key >> 8 & 0xFF), (int)(job.key & 0xFF),
                                255);
    s.colourMaskR = df.redMask;
    s.colourMaskG = df.greenMask;
    s.colourMaskB = df.blueMask;

    // Without options, and with every channel 8 bits or narrower in the source, each
    // channel maps through a table.
    auto fits = [](const Channel& c) { return ShiftRight(c.srcMask, c.srcShift) <= 0xFF; };
    bool narrowSource = fits(s.red) && fits(s.green) && fits(s.blue) && (!s.alphaFromField || fits(s.alpha));
    if (narrowSource && !job.keySkip && !job.keyToAlpha && !job.alphaOnly && !job.alphaFromRed && job.dither == 0 &&
        job.alpha == nullptr) {
        static thread_local Placed p;
        PlaceChannel(p.red, s.red);
        PlaceChannel(p.green, s.green);
        PlaceChannel(p.blue, s.blue);
        PlaceChannel(p.alpha, s.alpha);
        // Alpha that is not read: full (no source alpha) or none (no destination alpha).
        uint32_t fixedAlpha = sf.alphaWidth == 0 ? ShiftLeft(s.fullAlpha, s.alpha.dstShift) : 0;
        if (s.alphaFromField)
            fixedAlpha = 0;
        p.constant = fixedAlpha | (df.pixelBytes == 2 || df.pixelBytes == 4 ? df.fillMask : 0);
        switch (sf.pixelBytes) {
        case 1: RunPlacedForSource<1>(job, s, p); break;
        case 2: RunPlacedForSource<2>(job, s, p); break;
        case 3: RunPlacedForSource<3>(job, s, p); break;
        default: RunPlacedForSource<4>(job, s, p); break;
        }
        return;
    }
    switch (sf.pixelBytes) {
    case 1: RunForSource<1>(job, s); break;
    case 2: RunForSource<2>(job, s); break;
    case 3: RunForSource<3>(job, s); break;
    default: RunForSource<4>(job, s); break;
    }
}

}  // namespace convert_internal
