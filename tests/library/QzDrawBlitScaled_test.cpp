// PutMEMIMGScaled: nearest-neighbour stepping, mirroring, clipping and the blend modes of
// both depths, each checked against a plain model written from the drawing rules (the
// per-channel statements of the packed operations, not their word tricks).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "QzDraw2D.h"
#include "QzDrawBlit.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzDrawScreen.h"
#include "QzGraphicsDrawState.h"

namespace QzDrawBlitScaled_test {

namespace {

constexpr uint32_t kSentinel = 0xA5C3E1F7u;

struct Img {
    MEMIMG m = {};
    Img(int w, int h, int type, int palette = 0, int alpha = 0) {
        EXPECT_EQ(SetupMEMIMG(&m, w, h, -1, 0, type, palette, alpha, 0), 0);
    }
    ~Img() { ReleaseMEMIMG(&m); }
    int bytes() const { return m.format->pixelBytes; }
    uint32_t get(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, m.pixels + y * m.pitch + x * bytes(), (size_t)bytes());
        return v;
    }
    void set(int x, int y, uint32_t v) { std::memcpy(m.pixels + y * m.pitch + x * bytes(), &v, (size_t)bytes()); }
    void fill(uint32_t seed) {
        for (int y = 0; y < m.height; ++y)
            for (int x = 0; x < m.width; ++x)
                set(x, y, (seed + (uint32_t)(x * 0x9E3779B1u) + (uint32_t)(y * 0x85EBCA77u)) * 0x2545F491u >> 3);
    }
};

class BlitScaledTest : public testing::Test {
protected:
    void SetUp() override {
        BuildBlendLookupTables();
        g_drawState.drawArea = RECT{0, 0, 1 << 16, 1 << 16};
        g_drawState.blendMode = 0;
        g_drawState.blendParam = 255;
        g_drawState.brightColor = 0xFFFFFF;
        g_screen.mmxAvailable = 0;
        for (int g = 0; g < 256; ++g)
            BlendGraphTable[g] = (uint8_t)(g * 7 + 3);
    }
};

// The destination pixel (x, y) of rect shows this source pixel, or -1 outside rect.
bool SourceOf(const RECT& r, int sw, int sh, int x, int y, int* sx, int* sy) {
    int left = std::min(r.left, r.right), right = std::max(r.left, r.right);
    int top = std::min(r.top, r.bottom), bottom = std::max(r.top, r.bottom);
    if (x < left || x >= right || y < top || y >= bottom)
        return false;
    uint32_t stepX = (uint32_t)((right - left) << 16) / (uint32_t)sw;
    uint32_t stepY = (uint32_t)((bottom - top) << 16) / (uint32_t)sh;
    *sx = (int)(((int64_t)(x - left) << 16) / stepX);
    *sy = (int)(((int64_t)(y - top) << 16) / stepY);
    if (r.right < r.left)
        *sx = sw - 1 - *sx;
    if (r.bottom < r.top)
        *sy = sh - 1 - *sy;
    return true;
}

bool Inside(const RECT& a, int x, int y) { return x >= a.left && x < a.right && y >= a.top && y < a.bottom; }

struct GeometryCase {
    int sw, sh;
    RECT rect;
    RECT area;
};

TEST_F(BlitScaledTest, NearestNeighbourStepsMirrorsAndClips) {
    const RECT all = {0, 0, 64, 64};
    const GeometryCase cases[] = {
        {4, 3, {2, 1, 10, 7}, all},      // doubling
        {8, 6, {5, 5, 9, 8}, all},       // halving: even columns and rows
        {3, 4, {1, 2, 8, 13}, all},      // uneven enlargement
        {7, 5, {0, 0, 3, 2}, all},       // uneven shrink
        {4, 3, {10, 1, 2, 7}, all},      // mirrored left to right
        {4, 3, {2, 7, 10, 1}, all},      // mirrored top to bottom
        {5, 5, {9, 9, 4, 4}, all},       // same size, both mirrored
        {8, 6, {5, 5, 9, 8}, {6, 6, 64, 64}},        // halving, one column and row cut away
        {3, 4, {1, 2, 8, 13}, {3, 5, 6, 11}},        // area inside the rectangle
        {4, 3, {10, 1, 2, 7}, {4, 0, 64, 64}},       // mirrored and cut on the left
        {4, 3, {-5, -4, 7, 5}, all},                 // partly off the destination
        {6, 6, {60, 60, 72, 72}, all},               // partly past the destination
        {4, 3, {20, 1, 30, 7}, {0, 0, 10, 64}},      // wholly outside the area
    };
    for (int type : {0, 1}) {
        for (const GeometryCase& c : cases) {
            SCOPED_TRACE(testing::Message() << "type " << type << " src " << c.sw << "x" << c.sh << " rect "
                                            << c.rect.left << "," << c.rect.top << "," << c.rect.right << ","
                                            << c.rect.bottom << " area " << c.area.left << "," << c.area.top << ","
                                            << c.area.right << "," << c.area.bottom);
            Img src(c.sw, c.sh, type), dst(64, 64, type);
            src.fill(7);
            uint32_t sentinel = type == 0 ? kSentinel & 0xFFFF : kSentinel;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                    dst.set(x, y, sentinel);
            g_drawState.drawArea = c.area;
            PutMEMIMGScaled(&dst.m, &src.m, &c.rect, 0, nullptr);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) {
                    int sx, sy;
                    uint32_t want = sentinel;
                    if (Inside(c.area, x, y) && SourceOf(c.rect, c.sw, c.sh, x, y, &sx, &sy))
                        want = src.get(sx, sy);
                    ASSERT_EQ(dst.get(x, y), want) << "at " << x << "," << y;
                }
        }
    }
}

TEST_F(BlitScaledTest, RectangleOfTheSourceSizeIsPutMEMIMGsDrawing) {
    for (int type : {0, 1}) {
        Img src(5, 4, type), a(16, 16, type), b(16, 16, type);
        src.fill(3);
        src.m.colorKey = src.get(1, 1);
        a.fill(9);
        b.fill(9);
        g_drawState.drawArea = RECT{0, 0, 7, 16};
        RECT r = {3, 2, 8, 6};
        PutMEMIMGScaled(&a.m, &src.m, &r, 1, nullptr);
        PutMEMIMG(&b.m, &src.m, 3, 2, 1, nullptr);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(a.get(x, y), b.get(x, y)) << "type " << type << " at " << x << "," << y;
    }
}

struct KeyCase {
    int type, palette, mode, p;
    uint32_t pixel, key;
    bool drawn;
};

// Keys wider than the pixel: a palette index and a 16-bit pixel are compared with the
// whole key, except by the plain keyed 16-bit copy, which compares the low half.
TEST_F(BlitScaledTest, ColourKeysWiderThanThePixel) {
    const KeyCase cases[] = {
        {1, 1, 0, 255, 5, 5, false},       {1, 1, 0, 255, 5, 0x105, true},
        {0, 1, 2, 100, 5, 0x105, true},    {0, 0, 0, 255, 0x1234, 0x11234, false},
        {0, 0, 1, 100, 0x1234, 0x11234, true}, {1, 0, 0, 255, 0x00123456, 0xFF123456, true},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " palette " << c.palette << " mode " << c.mode
                                        << " key " << c.key);
        Img src(2, 1, c.type, c.palette), dst(4, 1, c.type);
        src.set(0, 0, c.pixel);
        src.set(1, 0, c.pixel);
        src.m.colorKey = c.key;
        src.m.paletteCount = 8;
        std::memset(src.m.paletteStore, 0x7B, sizeof src.m.paletteStore);
        for (int x = 0; x < 4; ++x)
            dst.set(x, 0, 0);
        g_drawState.blendMode = c.mode;
        g_drawState.blendParam = c.p;
        RECT r = {0, 0, 4, 1};
        PutMEMIMGScaled(&dst.m, &src.m, &r, 1, nullptr);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst.get(x, 0) != 0, c.drawn) << "at " << x;
    }
}

// Calls the 16.16 stepping cannot carry are refused, drawing nothing: a rectangle 65536
// or more across or down (its step would wrap), a shrink whose step comes out 0 (a
// division by it), and a blend image smaller than the source (read past its rows).
TEST_F(BlitScaledTest, CallsTheSteppingCannotCarryDrawNothing) {
    struct Case {
        const char* name;
        int sw, sh;
        RECT rect;
        int blendW, blendH;  // 0: no blend image
    };
    const Case cases[] = {
        {"65536 across", 4, 4, {-65530, 0, 6, 4}, 0, 0},
        {"65536 down", 4, 4, {0, -65530, 4, 6}, 0, 0},
        {"70000 across, mirrored", 4, 4, {8, 0, -69992, 4}, 0, 0},
        {"a step of 0 across", 65537, 1, {0, 0, 1, 1}, 0, 0},
        {"a step of 0 down", 1, 65537, {0, 0, 1, 1}, 0, 0},
        {"a blend image narrower than the source", 8, 8, {0, 0, 16, 16}, 4, 8},
        {"a blend image shorter than the source", 8, 8, {0, 0, 16, 16}, 8, 4},
    };
    for (int type : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << ", type " << type);
            Img src(c.sw, c.sh, type), dst(16, 16, type);
            src.fill(3);
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    dst.set(x, y, 0);
            Img blend(std::max(c.blendW, 1), std::max(c.blendH, 1), kMemImgSingle8);
            PutMEMIMGScaled(&dst.m, &src.m, &c.rect, 0, c.blendW > 0 ? &blend.m : nullptr);
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    ASSERT_EQ(dst.get(x, y), 0u) << "drawn at " << x << "," << y;
        }
    }
}

// ---- the blend model ------------------------------------------------------------

struct Options {
    int mode, p;
    bool blendGraph, bright, srcAlpha, key, palette;
    int mmx;
};

constexpr uint32_t kBright = 0x80C0F0;  // red 0x80, green 0xC0, blue 0xF0

int Sat(int v, int hi) { return v > hi ? hi : v; }

// Channels red, green, blue of a 32-bit or 16-bit pixel.
void Split(uint32_t v, bool is32, int c[3]) {
    if (is32) {
        c[0] = (int)(v >> 16 & 0xFF), c[1] = (int)(v >> 8 & 0xFF), c[2] = (int)(v & 0xFF);
    } else {
        c[0] = (int)(v >> 11 & 31), c[1] = (int)(v >> 5 & 63), c[2] = (int)(v & 31);
    }
}
uint32_t Join(const int c[3], bool is32) {
    return is32 ? (uint32_t)c[0] << 16 | (uint32_t)c[1] << 8 | (uint32_t)c[2]
                : (uint32_t)c[0] << 11 | (uint32_t)c[1] << 5 | (uint32_t)c[2];
}
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The packed add and subtract, per channel as the drawing rules state them.
uint32_t AddModel(const int v[3], const int d[3], bool is32, uint32_t* x) {
    int top = is32 ? 255 : 31, half = is32 ? 128 : 16, gHalf = is32 ? 128 : 32;
    int o[3];
    int bs = v[2] + d[2];
    o[2] = Sat(bs, top);
    int g = (v[1] >> 1) + (d[1] >> 1);
    o[1] = g >= gHalf ? (is32 ? 255 : 62) : 2 * g;
    if (bs > top || (v[1] & 1) || (d[1] & 1))
        o[1] |= 1;
    int r = (v[0] >> 1) + (d[0] >> 1);
    o[0] = r >= half ? top : 2 * r + ((g >= gHalf || (v[0] & 1) || (d[0] & 1)) ? 1 : 0);
    *x = r >= half ? 1 : 0;
    return Join(o, is32);
}
uint32_t SubModel(const int v[3], const int d[3], bool is32) {
    int o[3];
    o[2] = std::max(0, d[2] - v[2]);
    bool gOk = (d[1] >> 1) >= (v[1] >> 1);
    o[1] = gOk ? 2 * ((d[1] >> 1) - (v[1] >> 1)) + (is32 && d[2] >= v[2] ? 1 : 0) : 0;
    o[0] = (d[0] >> 1) >= (v[0] >> 1) ? 2 * ((d[0] >> 1) - (v[0] >> 1)) + (gOk ? 1 : 0) : 0;
    return Join(o, is32);
}

// The destination pixel after drawing colour (with alpha a and factor f) over d.
uint32_t Model(const Options& o, bool is32, uint32_t colour, int a, int f, uint32_t d, bool keyed) {
    int mode = o.mode == 1 && o.p == 255 ? 0 : o.mode;
    bool withA = o.srcAlpha;
    if (o.srcAlpha && o.key) {
        if (a == 0)
            return d;
        if (a == 255)
            withA = false;
    } else if (keyed) {
        return d;
    }
    int s0[3], s[3], dc[3], out[3];
    Split(colour, is32, s0);
    Split(d, is32, dc);
    int br[3] = {kBright >> 16 & 0xFF, kBright >> 8 & 0xFF, kBright & 0xFF};
    for (int c = 0; c < 3; ++c)
        s[c] = o.bright ? br[c] * s0[c] / 255 : s0[c];
    int n = (o.blendGraph ? 8 : 0) + (withA ? 8 : 0);
    int64_t k = (o.blendGraph ? f : 1) * (int64_t)(withA ? a : 1);
    uint32_t xKeep = is32 ? d & 0xFF000000u : 0;
    if (mode == 0 && n == 0)
        return o.bright ? (Join(s, is32) | xKeep) : (is32 ? colour : colour & 0xFFFF);
    if (o.mode == 3 && o.p == 255 && o.mmx == 1 && is32 && !o.blendGraph && !o.srcAlpha && !o.bright) {
        uint32_t r = 0;
        for (int i = 0; i < 32; i += 8)
            r |= (uint32_t)std::max(0, (int)(d >> i & 0xFF) - (int)(colour >> i & 0xFF)) << i;
        return r;
    }
    int mulShift[3] = {is32 ? 8 : 5, is32 ? 8 : 6, is32 ? 8 : 5};
    for (int c = 0; c < 3; ++c) {
        if (mode == 0) {
            out[c] = dc[c] + (int)FloorDiv((s[c] - dc[c]) * k, (int64_t)1 << n);
        } else if (mode == 1) {
            if (!is32 && n == 0) {
                int diff = s[c] - dc[c];  // truncated toward zero
                out[c] = dc[c] + o.p * diff / 255;
            } else {
                out[c] = dc[c] + (int)FloorDiv((s[c] - dc[c]) * k * o.p, (int64_t)1 << (n + 8));
            }
        } else if (mode == 2 || mode == 3) {
            if (n == 0)
                out[c] = o.p * s[c] / 255;
            else if (is32)
                out[c] = (int)(s[c] * k * o.p >> (n + 8));
            else if (withA && o.bright && !o.blendGraph)
                out[c] = o.p * (br[c] * (s0[c] * a >> 8) / 255) / 255;
            else
                out[c] = o.p * (int)(s[c] * k >> n) / 255;
        } else {
            out[c] = (int)(s[c] * k * dc[c] >> (mulShift[c] + n));
        }
    }
    if (mode == 2) {
        uint32_t x;
        uint32_t r = AddModel(out, dc, is32, &x);
        return is32 ? r | x << 24 : r;
    }
    if (mode == 3)
        return SubModel(out, dc, is32);
    return Join(out, is32) | xKeep;
}

void CheckBlend(const Options& o, int type) {
    bool is32 = type == 1;
    SCOPED_TRACE(testing::Message() << "type " << type << " mode " << o.mode << " P " << o.p << " graph "
                                    << o.blendGraph << " bright " << o.bright << " alpha " << o.srcAlpha << " key "
                                    << o.key << " palette " << o.palette << " mmx " << o.mmx);
    const int sw = 6, sh = 4;
    Img src(sw, sh, type, o.palette ? 1 : 0, o.srcAlpha ? 1 : 0), dst(16, 12, type), graph(sw, sh, 2);
    src.fill(11);
    dst.fill(5);
    graph.fill(2);
    if (o.palette) {
        src.m.paletteCount = 256;
        for (int i = 0; i < 256; ++i) {
            uint32_t e = (uint32_t)(i * 0x01F3A7C5u + 0x5A5A5A5Au);
            std::memcpy(src.m.paletteStore + i * (is32 ? 4 : 2), &e, is32 ? 4 : 2);
        }
    }
    if (o.srcAlpha) {  // alphas 0, 255 and between
        for (int x = 0; x < sw; ++x) {
            uint32_t v = src.get(x, 0);
            int shift = is32 ? 24 : 16;
            v = (v & ~(0xFFu << shift)) | (uint32_t)(x == 0 ? 0 : x == 1 ? 255 : x * 40) << shift;
            src.set(x, 0, v);
        }
    }
    src.m.colorKey = src.get(2, 1);
    if (!is32 && !o.palette && o.srcAlpha)
        src.m.colorKey &= 0xFFFF;
    g_drawState.blendMode = o.mode;
    g_drawState.blendParam = o.p;
    g_drawState.brightColor = o.bright ? kBright : 0xFFFFFF;
    g_screen.mmxAvailable = o.mmx;
    std::vector<uint32_t> before(16 * 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            before[y * 16 + x] = dst.get(x, y);
    RECT r = {14, 1, 2, 9};  // doubled and mirrored left to right
    PutMEMIMGScaled(&dst.m, &src.m, &r, o.key ? 1 : 0, o.blendGraph ? &graph.m : nullptr);
    bool refused = (unsigned)o.mode > 4 || ((o.mode == 1 || o.mode == 2) && o.p == 0) ||
                   (o.mode == 3 && o.p == 0 && !o.palette);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            uint32_t d = before[y * 16 + x];
            int sx, sy;
            uint32_t want = d;
            if (!refused && SourceOf(r, sw, sh, x, y, &sx, &sy)) {
                uint32_t raw = src.get(sx, sy);
                uint32_t colour = raw;
                int a = 0;
                if (o.palette) {
                    colour = 0;
                    std::memcpy(&colour, src.m.paletteStore + raw * (is32 ? 4 : 2), is32 ? 4 : 2);
                } else if (o.srcAlpha) {
                    a = is32 ? (int)(raw >> 24) : (int)(raw >> 16 & 0xFF);
                    colour = is32 ? raw : raw & 0xFFFF;
                }
                bool keyed = o.key && raw == src.m.colorKey;
                want = Model(o, is32, colour, a, BlendGraphTable[graph.get(sx, sy)], d, keyed);
            }
            ASSERT_EQ(dst.get(x, y), want) << "at " << x << "," << y;
        }
}

std::vector<Options> BlendCases(bool is32) {
    std::vector<Options> cases;
    const int modes[][2] = {{0, 0}, {1, 255}, {1, 0}, {1, 128}, {1, 77}, {2, 0},  {2, 255}, {2, 100},
                            {3, 0}, {3, 255}, {3, 60}, {4, 0},  {4, 200}, {5, 128}, {-1, 128}};
    for (const auto& m : modes)
        for (int opts = 0; opts < 16; ++opts)
            for (bool palette : {false, true}) {
                Options o = {m[0], m[1], (opts & 1) != 0, (opts & 2) != 0, (opts & 4) != 0, (opts & 8) != 0,
                             palette, 0};
                if (palette && o.srcAlpha)
                    continue;
                cases.push_back(o);
                if (is32 && o.mode == 3 && o.p == 255) {
                    o.mmx = 1;
                    cases.push_back(o);
                }
            }
    return cases;
}

TEST_F(BlitScaledTest, BlendModesOf32BitImagesFollowTheModel) {
    for (const Options& o : BlendCases(true))
        CheckBlend(o, 1);
}

TEST_F(BlitScaledTest, BlendModesOf16BitImagesFollowTheModel) {
    for (const Options& o : BlendCases(false))
        CheckBlend(o, 0);
}

}  // namespace

}  // namespace QzDrawBlitScaled_test
