// PutMEMIMGRotated: every source kind, modifier and blend mode on a quarter-turned draw
// (exact steps) against a per-pixel model written from the drawing rules, the
// blend parameter shortcuts, scale 2, the truncation drift of a large scale, and
// clipping to the draw area (and never past the destination); general angles and scales
// against a model of the whole draw, the mirrored path, and palette indices beyond the
// entries in use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "MemImgPixels.h"
#include "QzDraw2D.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzDrawPrimitive.h"
#include "QzGraphicsDrawState.h"
#include "QzUseCLib.h"

namespace QzDrawRotate_test {

namespace {

enum Kind { kPal16, kPal32, kDir16, kDir16A, kDir32, kDir32A };
const char* const kKindNames[] = {"pal16", "pal32", "dir16", "dir16+alpha", "dir32", "dir32+alpha"};

struct Mods {
    bool blend, bright, trans;
};

// One destination pixel of blend mode none, from the rules: s the source colour, a its
// alpha (-1: none), f the blend factor (-1: none).
uint32_t ModelNone(bool is32, uint32_t s, int a, int f, uint32_t bright, bool brightOn, uint32_t d) {
    const int shift[3] = {is32 ? 0 : 0, is32 ? 8 : 5, is32 ? 16 : 11};
    const int mask[3] = {is32 ? 255 : 31, is32 ? 255 : 63, is32 ? 255 : 31};
    const int b[3] = {(int)(bright & 0xFF), (int)(bright >> 8 & 0xFF), (int)(bright >> 16 & 0xFF)};
    if (a < 0 && f < 0 && !brightOn)
        return is32 ? s : (s & 0xFFFF);
    uint32_t out = is32 ? (d & 0xFF000000u) : 0;
    for (int i = 0; i < 3; ++i) {
        int64_t sc = s >> shift[i] & mask[i], dc = d >> shift[i] & mask[i];
        if (brightOn)
            sc = b[i] * sc / 255;
        int64_t v;
        if (a >= 0 && f >= 0)
            v = (sc * f * a + dc * (65536 - f * a)) >> 16;
        else if (a >= 0 || f >= 0) {
            const int w = a >= 0 ? a : f;
            v = (sc * w + dc * (256 - w)) >> 8;
        } else
            v = sc;
        out |= (uint32_t)v << shift[i];
    }
    return out;
}

// Blend mode 1 at P 1-254: the weights in force (P, f, a) over 2^8 each, floored;
// 16-bit without f or a is d + trunc(P x (s - d) / 255).
uint32_t ModelAlpha(bool is32, uint32_t s, int a, int f, int P, uint32_t bright, bool brightOn, uint32_t d) {
    const int shift[3] = {0, is32 ? 8 : 5, is32 ? 16 : 11};
    const int mask[3] = {is32 ? 255 : 31, is32 ? 255 : 63, is32 ? 255 : 31};
    const int b[3] = {(int)(bright & 0xFF), (int)(bright >> 8 & 0xFF), (int)(bright >> 16 & 0xFF)};
    uint32_t out = is32 ? (d & 0xFF000000u) : 0;
    for (int i = 0; i < 3; ++i) {
        int64_t sc = s >> shift[i] & mask[i], dc = d >> shift[i] & mask[i];
        if (brightOn)
            sc = b[i] * sc / 255;
        int64_t v;
        if (!is32 && a < 0 && f < 0) {
            v = dc + P * (sc - dc) / 255;  // C++ division truncates toward zero
        } else {
            int64_t w = P;
            int n = 8;
            if (f >= 0)
                w *= f, n += 8;
            if (a >= 0)
                w *= a, n += 8;
            const int64_t num = (sc - dc) * w;
            const int64_t den = (int64_t)1 << n;
            v = dc + (num >= 0 ? num / den : -((-num + den - 1) / den));  // floor
        }
        out |= (uint32_t)v << shift[i];
    }
    return out;
}

// Blend mode 2: the scaled source channel by the mode's tables (T[i][j] = i x j / 255),
// then a per-channel saturating add in which red's and green's lowest bits are ORed and
// take the carry of the channel below; in 32-bit byte 3 becomes red's overflow.
// Blend mode 3 shares the scaling; its subtraction, per channel: blue d - s or 0; green
// and red subtract their upper bits (0 on a borrow) and their lowest bit is the
// no-borrow of the channel below (16-bit green's lowest bit is always 0); 32-bit byte 3
// becomes 0.
uint32_t ModelAdd(bool is32, uint32_t s, int a, int f, int P, uint32_t bright, bool brightOn, uint32_t d,
                  bool subtract = false) {
    const int shift[3] = {0, is32 ? 8 : 5, is32 ? 16 : 11};
    const int mask[3] = {is32 ? 255 : 31, is32 ? 255 : 63, is32 ? 255 : 31};
    const int b[3] = {(int)(bright & 0xFF), (int)(bright >> 8 & 0xFF), (int)(bright >> 16 & 0xFF)};
    auto T = [](int64_t i, int64_t j) { return i * j / 255; };
    uint32_t out = 0;
    bool carry = false;
    for (int i = 0; i < 3; ++i) {
        const int64_t c = s >> shift[i] & mask[i], dc = d >> shift[i] & mask[i];
        const int64_t bc = brightOn ? T(b[i], c) : c;
        int64_t v;
        if (!is32) {
            if (f < 0 && a >= 0)
                v = T(P, brightOn ? T(b[i], c * a >> 8) : c * a >> 8);
            else if (f < 0)
                v = T(P, bc);
            else
                v = T(P, a >= 0 ? bc * a * f >> 16 : bc * f >> 8);
        } else if (f < 0) {
            v = a >= 0 ? bc * a * P >> 16 : T(P, bc);
        } else {
            v = a >= 0 ? bc * a * f * P >> 24 : bc * f * P >> 16;
        }
        int64_t r;
        bool over;
        if (subtract) {
            const bool keep = i == 0 ? dc >= v : (dc >> 1) >= (v >> 1);
            if (!keep)
                r = 0;
            else if (i == 0)
                r = dc - v;
            else
                r = (((dc >> 1) - (v >> 1)) << 1) | (i == 1 && !is32 ? 0 : (carry ? 1 : 0));
            carry = keep;  // here: the channel did not borrow
            out |= (uint32_t)r << shift[i];
            continue;
        }
        if (i == 0) {
            r = std::min<int64_t>(v + dc, mask[0]);
            over = v + dc > mask[0];
        } else {
            const int64_t up = (v >> 1) + (dc >> 1), upMax = mask[i] >> 1;
            over = up > upMax;
            if (over && !(i == 1 && !is32))
                r = mask[i];
            else
                r = (std::min(up, upMax) << 1) | ((v | dc) & 1) | (carry ? 1 : 0);
        }
        carry = over;
        out |= (uint32_t)r << shift[i];
    }
    if (is32 && carry && !subtract)
        out |= 0x01000000u;
    return out;
}

// Blend mode 4: c x d x the factors present, shifted by the channel's width plus 8 per
// factor; 32-bit byte 3 kept.
uint32_t ModelMultiply(bool is32, uint32_t s, int a, int f, uint32_t bright, bool brightOn, uint32_t d) {
    const int shift[3] = {0, is32 ? 8 : 5, is32 ? 16 : 11};
    const int mask[3] = {is32 ? 255 : 31, is32 ? 255 : 63, is32 ? 255 : 31};
    const int width[3] = {is32 ? 8 : 5, is32 ? 8 : 6, is32 ? 8 : 5};
    const int b[3] = {(int)(bright & 0xFF), (int)(bright >> 8 & 0xFF), (int)(bright >> 16 & 0xFF)};
    uint32_t out = is32 ? (d & 0xFF000000u) : 0;
    for (int i = 0; i < 3; ++i) {
        int64_t c = s >> shift[i] & mask[i], dc = d >> shift[i] & mask[i];
        if (brightOn)
            c = b[i] * c / 255;
        int64_t v = c * dc;
        int n = width[i];
        if (f >= 0)
            v *= f, n += 8;
        if (a >= 0)
            v *= a, n += 8;
        out |= (uint32_t)(v >> n) << shift[i];
    }
    return out;
}

class RotateTest : public testing::Test {
public:
    void SetUp() override {
        BuildBlendLookupTables();
        for (int g = 0; g < 256; ++g)
            BlendGraphTable[g] = (uint8_t)(255 - g);  // not the identity, so the table is used
        g_drawState.drawArea = {0, 0, 32, 32};
        g_drawState.blendMode = 0;
        g_drawState.blendParam = 255;
        g_drawState.brightColor = 0xFFFFFF;
    }
    void TearDown() override {
        for (MEMIMG* m : images_)
            ReleaseMEMIMG(m), delete m;
    }
    MEMIMG* Image(int w, int h, int type, int palette, int alpha, uint32_t key = 0) {
        MEMIMG* m = new MEMIMG{};
        EXPECT_EQ(SetupMEMIMG(m, w, h, -1, key, type, palette, alpha, 0), 0);
        std::memset(m->pixels, 0, (size_t)m->pitch * h);
        images_.push_back(m);
        return m;
    }
    static uint32_t Get(const MEMIMG* m, int x, int y) { return qztest::MemImgPixel(m, x, y); }
    static void Set(MEMIMG* m, int x, int y, uint32_t v) { qztest::SetMemImgPixel(m, x, y, v); }
    static void Fill(MEMIMG* m, std::mt19937& rng) { qztest::FillMemImgRandomly(m, rng); }

private:
    std::vector<MEMIMG*> images_;
};

// Every source kind x blend image x bright colour x transparent flag, blend mode none
// and modes 1 (at 255 it is mode none) to 4, on a quarter turn: destination (x, y) shows source column
// y - cy + (w >> 1) and row (h >> 1) - (x - cx). The draw area cuts the image and lies
// inside the destination.
TEST_F(RotateTest, QuarterTurnMatchesModelForEveryKindAndModifier) {
    const int w = 6, h = 4, cx = 7, cy = 6;
    for (int kind = 0; kind < 6; ++kind)
        for (int m = 0; m < 8; ++m)
            for (const auto& [mode, P] : {std::pair{0, 255}, std::pair{1, 255}, std::pair{1, 128}, std::pair{1, 1},
                                                  std::pair{2, 255}, std::pair{2, 100}, std::pair{3, 255},
                                                  std::pair{3, 100}, std::pair{3, 0},   std::pair{4, 0}}) {
                const Mods mods = {(m & 1) != 0, (m & 2) != 0, (m & 4) != 0};
                const bool is32 = kind == kPal32 || kind == kDir32 || kind == kDir32A;
                const bool pal = kind == kPal16 || kind == kPal32;
                const bool alpha = kind == kDir16A || kind == kDir32A;
                std::mt19937 rng(kind * 16 + m);
                MEMIMG* src = Image(w, h, is32 ? 1 : 0, pal, alpha);
                Fill(src, rng);
                if (pal) {
                    src->paletteCount = 256;
                    for (int i = 0; i < 256 * (is32 ? 4 : 2); ++i)
                        src->paletteStore[i] = (uint8_t)rng();
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            Set(src, x, y, rng() % 8);
                }
                // Alpha 0, 255 and the key value appear in every source.
                const uint32_t key = pal ? 3 : Get(src, 1, 1);
                src->colorKey = key;
                if (alpha) {
                    const int ashift = is32 ? 24 : 16;
                    Set(src, 2, 0, (Get(src, 2, 0) & ~(0xFFu << ashift)) | 0u << ashift);
                    Set(src, 3, 0, (Get(src, 3, 0) & ~(0xFFu << ashift)) | 255u << ashift);
                    Set(src, 4, 0, (Get(src, 4, 0) & ~(0xFFu << ashift)) | 128u << ashift);
                }
                MEMIMG* blend = Image(w, h, kMemImgSingle8, 0, 0);
                Fill(blend, rng);
                MEMIMG* dst = Image(16, 14, is32 ? 1 : 0, 0, 0);
                Fill(dst, rng);
                std::vector<uint32_t> before(16 * 14);
                for (int y = 0; y < 14; ++y)
                    for (int x = 0; x < 16; ++x)
                        before[y * 16 + x] = Get(dst, x, y);
                const uint32_t bright = mods.bright ? 0x7FFEC0 : 0x00FFFFFFu | 0x12000000u;  // top byte ignored
                g_drawState.drawArea = {2, 3, 9, 13};
                g_drawState.blendMode = mode;
                g_drawState.blendParam = P;
                g_drawState.brightColor = bright;
                PutMEMIMGRotated(dst, src, cx, cy, (float)(M_PI / 2), 1.0f, mods.trans, 0,
                                 mods.blend ? blend : nullptr);
                for (int y = 0; y < 14; ++y)
                    for (int x = 0; x < 16; ++x) {
                        const uint32_t d = before[y * 16 + x];
                        uint32_t want = d;
                        const int sx = y - cy + (w >> 1), sy = (h >> 1) - (x - cx);
                        const bool inArea = x >= 2 && x < 9 && y >= 3 && y < 13;
                        if (inArea && !(mode == 3 && P == 0 && !pal) && sx >= 0 && sx < w && sy >= 0 && sy < h) {
                            const uint32_t unit = Get(src, sx, sy);
                            uint32_t s = unit;
                            int a = -1;
                            bool skip = false;
                            if (pal) {
                                s = 0;
                                std::memcpy(&s, src->paletteStore + unit * (is32 ? 4 : 2), is32 ? 4 : 2);
                                skip = mods.trans && unit == key;
                            } else if (alpha) {
                                a = is32 ? (int)(unit >> 24) : (int)(unit >> 16 & 0xFF);
                                s = is32 ? unit : (unit & 0xFFFF);
                                skip = mods.trans && a == 0 && mode != 4;  // multiply skips none
                                if (mods.trans && a == 255)
                                    a = -1;
                            } else {
                                skip = mods.trans && unit == key;
                            }
                            const int f = mods.blend ? 255 - blend->pixels[sy * blend->pitch + sx] : -1;
                            if (!skip)
                                want = mode == 4   ? ModelMultiply(is32, s, a, f, bright, mods.bright, d)
                                       : mode == 3 ? ModelAdd(is32, s, a, f, P, bright, mods.bright, d, true)
                                       : mode == 2 ? ModelAdd(is32, s, a, f, P, bright, mods.bright, d)
                                       : mode == 0 || P == 255 ? ModelNone(is32, s, a, f, bright, mods.bright, d)
                                                               : ModelAlpha(is32, s, a, f, P, bright, mods.bright, d);
                        }
                        ASSERT_EQ(Get(dst, x, y), want)
                            << kKindNames[kind] << " blend=" << mods.blend << " bright=" << mods.bright
                            << " trans=" << mods.trans << " mode=" << mode << " P=" << P << " at (" << x << "," << y << ")";
                    }
            }
}

// The parameter shortcuts and modes that draw nothing, for a direct and a palette source.
TEST_F(RotateTest, ShortcutsThatDrawNothing) {
    struct Case {
        int mode, param;
    };
    for (Case c : {Case{1, 0}, Case{2, 0}, Case{3, 0}, Case{5, 255}, Case{-1, 255}}) {
        MEMIMG* src = Image(4, 4, 1, 0, 0);
        std::memset(src->pixels, 0x5A, (size_t)src->pitch * 4);
        MEMIMG* dst = Image(8, 8, 1, 0, 0);
        g_drawState.blendMode = c.mode;
        g_drawState.blendParam = c.param;
        PutMEMIMGRotated(dst, src, 4, 4, 0.3f, 1.0f, 0, 0, nullptr);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(Get(dst, x, y), 0u) << "mode " << c.mode << " param " << c.param;
    }
}

// Sources beyond the row tables (more than 4096 rows) or the unsigned bound test (more
// than 8192 columns), and blend images smaller than the source, are refused: nothing is
// drawn. The sides at the limits still draw.
TEST_F(RotateTest, SourcesBeyondTheTablesAndSmallBlendImagesDrawNothing) {
    struct Case {
        const char* name;
        int w, h;
        int blendW, blendH;  // 0: no blend image
        bool drawn;
    };
    const Case cases[] = {
        {"4096 rows", 1, 4096, 0, 0, true},
        {"4097 rows", 1, 4097, 0, 0, false},
        {"8192 columns", 8192, 1, 0, 0, true},
        {"8193 columns", 8193, 1, 0, 0, false},
        {"a blend image as large", 8, 8, 8, 8, true},
        {"a blend image narrower", 8, 8, 7, 8, false},
        {"a blend image shorter", 8, 8, 8, 7, false},
        {"a blend image of 4097 rows", 8, 8, 8, 4097, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MEMIMG* src = Image(c.w, c.h, 1, 0, 0);
        std::memset(src->pixels, 0x5A, (size_t)src->pitch * c.h);
        MEMIMG* blend = c.blendW > 0 ? Image(c.blendW, c.blendH, kMemImgSingle8, 0, 0) : nullptr;
        MEMIMG* dst = Image(32, 32, 1, 0, 0);
        PutMEMIMGRotated(dst, src, 16, 16, 0.0f, 1.0f, 0, 0, blend);
        EXPECT_EQ(Get(dst, 16, 16) != 0, c.drawn);
        int lit = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) lit += Get(dst, x, y) != 0;
        EXPECT_EQ(lit != 0, c.drawn);
    }
}

// Scale 2: each source pixel fills a 2 x 2 block; the source pixel (w >> 1, h >> 1)
// fills the block at (cx, cy).
TEST_F(RotateTest, ScaleTwoDoublesEachPixel) {
    MEMIMG* src = Image(4, 2, 0, 0, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            Set(src, x, y, (uint32_t)(0x100 + y * 4 + x));
    MEMIMG* dst = Image(20, 20, 0, 0, 0);
    PutMEMIMGRotated(dst, src, 10, 10, 0.0f, 2.0f, 0, 0, nullptr);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const int sx = (x - 10) / 2 + 2 - (x < 10 && (x - 10) % 2 ? 1 : 0);
            const int sy = (y - 10) / 2 + 1 - (y < 10 && (y - 10) % 2 ? 1 : 0);
            const uint32_t want = sx >= 0 && sx < 4 && sy >= 0 && sy < 2 ? 0x100u + sy * 4 + sx : 0u;
            ASSERT_EQ(Get(dst, x, y), want) << "at (" << x << "," << y << ")";
        }
}

// Angle 0, scale 10, a 3 x 2 source at (60, 60): the truncated steps accumulate, so the
// drawn pixels are columns 51-78 and rows 50-70, not the exact 50-79 and 50-69.
TEST_F(RotateTest, LargeScaleFollowsTheAccumulatedSteps) {
    MEMIMG* src = Image(3, 2, 1, 0, 0);
    std::memset(src->pixels, 0xFF, (size_t)src->pitch * 2);
    MEMIMG* dst = Image(120, 120, 1, 0, 0);
    g_drawState.drawArea = {0, 0, 120, 120};
    PutMEMIMGRotated(dst, src, 60, 60, 0.0f, 10.0f, 0, 0, nullptr);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool drawn = x >= 51 && x <= 78 && y >= 50 && y <= 70;
            ASSERT_EQ(Get(dst, x, y), drawn ? 0xFFFFFFFFu : 0u) << "at (" << x << "," << y << ")";
        }
}

// A draw area reaching past the destination on every side: the image is clipped to the
// destination as well (ASan would see any write outside its pixels).
TEST_F(RotateTest, DrawAreaBeyondTheDestinationStaysInside) {
    MEMIMG* src = Image(24, 24, 1, 0, 0);
    std::memset(src->pixels, 0x77, (size_t)src->pitch * 24);
    MEMIMG* dst = Image(6, 5, 1, 0, 0);
    g_drawState.drawArea = {-50, -50, 100, 100};
    PutMEMIMGRotated(dst, src, 3, 2, 0.7f, 1.5f, 0, 0, nullptr);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(Get(dst, x, y), 0x77777777u) << "at (" << x << "," << y << ")";
}

// The rotated draw of a 32-bit direct source in blend mode none, written from the drawing
// rules: corners and steps in single precision, each source position's numerator divided
// whole and the quotient rounded to single precision.
void ModelRotated(MEMIMG* dst, const MEMIMG* src, int cx, int cy, float angle, float scale) {
    auto trunc = [](float f) { return (int32_t)std::trunc(f); };
    auto whole = [](int32_t p) { return p / 262144; };
    float sn, cs;
    GetSinCos(-angle, &sn, &cs);
    const int32_t sInv = trunc(sn * 262144.0f), cInv = trunc(cs * 262144.0f);
    GetSinCos(angle, &sn, &cs);
    const int32_t S = trunc(sn * 262144.0f), C = trunc(cs * 262144.0f);
    const int32_t CX = cx * 262144, CY = cy * 262144;
    const float hw = (float)src->width * scale * 0.5f, hh = (float)src->height * scale * 0.5f;
    const float p1 = (float)C * hw, p2 = (float)S * hw, p3 = (float)C * hh, p4 = (float)S * hh;
    const int32_t X[4] = {CX + trunc(p4 - p1), CX + trunc(-p1 - p4), CX + trunc(p1 - p4), CX + trunc(p1 + p4)};
    const int32_t Y[4] = {CY + trunc(-p2 - p3), CY + trunc(p3 - p2), CY + trunc(p2 + p3), CY + trunc(p2 - p3)};
    const int32_t minX = *std::min_element(X, X + 4), maxX = *std::max_element(X, X + 4);
    const int32_t minY = *std::min_element(Y, Y + 4), maxY = *std::max_element(Y, Y + 4);
    if (minY == maxY)
        return;
    const RECT& area = g_drawState.drawArea;
    const int left = std::max(whole(minX) - 2, (int)area.left), top = std::max(whole(minY) - 2, (int)area.top);
    const int right = std::min(whole(maxX) + 4, (int)area.right), bottom = std::min(whole(maxY) + 4, (int)area.bottom);
    if (right <= left || bottom <= top)
        return;
    auto quotient = [scale, trunc](int32_t num) { return trunc((float)((long double)num / scale)); };
    auto U = [&](int x, int y) {
        return (uint32_t)quotient((int32_t)((uint32_t)cInv * (uint32_t)(x - cx) - (uint32_t)sInv * (uint32_t)(y - cy))) +
               ((uint32_t)(src->width >> 1) << 18);
    };
    auto V = [&](int x, int y) {
        return (uint32_t)quotient((int32_t)((uint32_t)sInv * (uint32_t)(x - cx) + (uint32_t)cInv * (uint32_t)(y - cy))) +
               ((uint32_t)(src->height >> 1) << 18);
    };
    const uint32_t du = (uint32_t)trunc((float)C / scale), dv = (uint32_t)trunc((float)sInv / scale);
    const int n = bottom - top;
    const uint32_t duLine = (uint32_t)((int32_t)(U(left, bottom) - U(left, top)) / n);
    const uint32_t dvLine = (uint32_t)((int32_t)(V(left, bottom) - V(left, top)) / n);
    uint32_t lu = U(left, top), lv = V(left, top);
    for (int y = top; y < bottom; ++y, lu += duLine, lv += dvLine) {
        uint32_t u = lu, v = lv;
        for (int x = left; x < right; ++x, u += du, v += dv)
            if (u < (uint32_t)src->width << 18 && v < (uint32_t)src->height << 18)
                qztest::SetMemImgPixel(dst, x, y, qztest::MemImgPixel(src, (int)(u >> 18), (int)(v >> 18)));
    }
}

// Source positions against the model: a 10 x 6 source at angle 0.5 and scale 1.5, angles
// off the axes, a negative scale, odd sizes, scales 0 and 0.5, and random large draws
// whose position numerators pass 2^24 (where a single-precision numerator loses its low
// bits).
TEST_F(RotateTest, SourcePositionsMatchTheModel) {
    struct Case {
        int w, h, cx, cy;
        float angle, scale;
    };
    std::vector<Case> cases = {
        {10, 6, 50, 40, 0.5f, 1.5f}, {7, 5, 60, 60, 0.3f, 1.0f},  {9, 9, 60, 60, -1.1f, 2.5f},
        {1, 1, 60, 60, 0.8f, 3.0f},  {8, 6, 60, 60, 2.0f, -1.5f}, {11, 3, 60, 60, 0.0f, 0.5f},
        {6, 4, 60, 60, 1.3f, 0.0f},  {5, 8, 60, 60, 4.0f, 0.5f},
    };
    constexpr int kSide = 400;
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i)
        cases.push_back({8 + (int)(rng() % 121), 8 + (int)(rng() % 121), kSide / 2, kSide / 2,
                         std::uniform_real_distribution<float>(-7.0f, 7.0f)(rng),
                         std::uniform_real_distribution<float>(0.5f, 4.5f)(rng)});
    MEMIMG* src = Image(128, 128, 1, 0, 0);
    MEMIMG* got = Image(kSide, kSide, 1, 0, 0);
    MEMIMG* want = Image(kSide, kSide, 1, 0, 0);
    g_drawState.drawArea = {0, 0, kSide, kSide};
    int differing = 0;
    for (const Case& c : cases) {
        src->width = c.w, src->height = c.h;  // the same rows, a smaller image
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) Set(src, x, y, (uint32_t)(y << 8 | x) + 1);
        std::memset(got->pixels, 0, (size_t)got->pitch * kSide);
        std::memset(want->pixels, 0, (size_t)want->pitch * kSide);
        PutMEMIMGRotated(got, src, c.cx, c.cy, c.angle, c.scale, 0, 0, nullptr);
        ModelRotated(want, src, c.cx, c.cy, c.angle, c.scale);
        const bool same = std::memcmp(got->pixels, want->pixels, (size_t)got->pitch * kSide) == 0;
        differing += !same;
        EXPECT_TRUE(same) << c.w << "x" << c.h << " at (" << c.cx << "," << c.cy << ") angle " << c.angle << " scale "
                          << c.scale;
    }
    EXPECT_EQ(differing, 0);
    // The 10 x 6 source at (50, 40), angle 0.5, scale 1.5: its box spans 23 x 21 pixels from (39, 30).
    src->width = 10, src->height = 6;
    std::memset(got->pixels, 0, (size_t)got->pitch * kSide);
    PutMEMIMGRotated(got, src, 50, 40, 0.5f, 1.5f, 0, 0, nullptr);
    int drawn = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            if (Get(got, x, y) != 0) {
                ++drawn;
                ASSERT_TRUE(x >= 39 && x < 62 && y >= 30 && y < 51) << x << "," << y;
            }
    EXPECT_GT(drawn, 60 * 2);
}

// Mirrored: the turned corners, swapped left for right, go to the four-point drawer.
TEST_F(RotateTest, MirrorDrawsTheSwappedCornersAsAQuad) {
    MEMIMG* src = Image(9, 5, 1, 0, 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x) Set(src, x, y, (uint32_t)(y << 8 | x) + 1);
    MEMIMG* got = Image(64, 64, 1, 0, 0);
    MEMIMG* want = Image(64, 64, 1, 0, 0);
    g_drawState.drawArea = {0, 0, 64, 64};
    PutMEMIMGRotated(got, src, 30, 28, 0.0f, 2.0f, 0, 1, nullptr);
    // Angle 0: corners at the centre -+ (9, 5); top-left of the quad is the right corner.
    const MEMIMGPoint corner[4] = {{39, 23}, {21, 23}, {39, 33}, {21, 33}};
    PutMEMIMGQuad(want, src, corner, 0, nullptr);
    EXPECT_EQ(std::memcmp(got->pixels, want->pixels, (size_t)got->pitch * 64), 0);
    EXPECT_EQ(Get(got, 38, 24), Get(src, 0, 0));
    EXPECT_EQ(Get(got, 22, 24), Get(src, 8, 0));
}

// A palette index beyond the entries in use: only the plain copies read the palette copy
// buffer (which still holds an earlier draw's entries there); every other loop reads the
// source's own palette, so the index draws like an in-use index of the same colour.
TEST_F(RotateTest, PaletteIndexBeyondTheEntriesInUseReadsThePaletteInEveryBlendLoop) {
    for (int is32 = 0; is32 < 2; ++is32)
        for (const auto& [mode, P, bright] : {std::tuple{0, 255, 0x808080u}, std::tuple{1, 128, 0xFFFFFFu},
                                              std::tuple{2, 255, 0xFFFFFFu}, std::tuple{3, 100, 0xFFFFFFu},
                                              std::tuple{4, 0, 0xFFFFFFu}}) {
            const int bytes = is32 ? 4 : 2;
            const uint32_t old = is32 ? 0x101010u : 0x0842u, fresh = is32 ? 0x202020u : 0x1084u;
            // An earlier draw leaves its entry 5 in the copy buffer.
            MEMIMG* before = Image(1, 1, is32, 1, 0);
            before->paletteCount = 256;
            std::memcpy(before->paletteStore + 5 * bytes, &old, bytes);
            Set(before, 0, 0, 5);
            MEMIMG* scratch = Image(4, 4, is32, 0, 0);
            g_drawState.blendMode = 0;
            g_drawState.blendParam = 255;
            g_drawState.brightColor = 0xFFFFFF;
            PutMEMIMGRotated(scratch, before, 1, 1, 0.0f, 1.0f, 0, 0, nullptr);
            // Two entries in use; index 1 and index 5 hold the same colour.
            MEMIMG* src = Image(2, 1, is32, 1, 0);
            src->paletteCount = 2;
            std::memcpy(src->paletteStore + 1 * bytes, &fresh, bytes);
            std::memcpy(src->paletteStore + 5 * bytes, &fresh, bytes);
            Set(src, 0, 0, 1);
            Set(src, 1, 0, 5);
            MEMIMG* dst = Image(4, 3, is32, 0, 0);
            const uint32_t grey = is32 ? 0x808080u : 0x8410u;
            for (int x = 0; x < 4; ++x) Set(dst, x, 1, grey);
            g_drawState.blendMode = mode;
            g_drawState.blendParam = P;
            g_drawState.brightColor = bright;
            PutMEMIMGRotated(dst, src, 2, 1, 0.0f, 1.0f, 0, 0, nullptr);
            EXPECT_NE(Get(dst, 1, 1), grey) << "mode " << mode << " is32 " << is32;
            EXPECT_EQ(Get(dst, 2, 1), Get(dst, 1, 1)) << "mode " << mode << " is32 " << is32;
        }
}

}  // namespace

}  // namespace QzDrawRotate_test
