// PutMEMIMG: every blend mode, parameter and option in both depths against a plain
// per-channel model written from the blend rules (the word tricks of the blitter are
// not repeated here), the colour key, clipping to drawArea, and the run-table path
// against the pixel-testing path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "MemImgPixels.h"
#include "QzDraw2D.h"
#include "QzDrawBlit.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzDrawPrimitive.h"
#include "QzDrawScreen.h"
#include "QzGraphicsDrawState.h"

namespace QzDrawBlit_test {

namespace {

struct Settings {
    int mode = 0, P = 255;
    uint32_t bright = 0xFFFFFF;
    bool key = false, blend = false, mmx = false;
};

int Fl(int64_t a, int n) { return (int)(a >> n); }  // floor division by 2^n

// ---- the model ---------------------------------------------------------------------

struct Ch {
    int c[3];  // blue, green, red
};

// One pixel of the plain (unpaired) operations. s: source colour word; A: alpha or -1
// for a source without one; F: blend factor or -1; form: 0 table operation, 1 the opaque
// form (source alpha at 255 under the key), 2 dedicated fast path.
uint32_t Model(bool is32, const Settings& st, uint32_t s, int A, int F, uint32_t d, int form) {
    const int bits[3] = {5, 6, 5};
    const int shift32[3] = {0, 8, 16}, shift16[3] = {0, 5, 11};
    auto ch = [&](uint32_t w, int i) { return is32 ? (int)(w >> shift32[i] & 0xFF) : (int)(w >> shift16[i] & ((1 << bits[i]) - 1)); };
    auto pack = [&](const int v[3], uint32_t x) {
        uint32_t out = is32 ? (x & 0xFF000000u) : 0;
        for (int i = 0; i < 3; ++i)
            out |= (uint32_t)v[i] << (is32 ? shift32[i] : shift16[i]);
        return out;
    };
    const bool brightOn = (st.bright & 0xFFFFFF) != 0xFFFFFF;
    const int brightC[3] = {(int)(st.bright & 0xFF), (int)(st.bright >> 8 & 0xFF), (int)(st.bright >> 16 & 0xFF)};
    int sc[3], sb[3], dc[3], out[3];
    for (int i = 0; i < 3; ++i) {
        sc[i] = ch(s, i);
        sb[i] = brightOn ? brightC[i] * sc[i] / 255 : sc[i];
        dc[i] = ch(d, i);
    }
    const bool withA = A >= 0 && form != 1;
    const bool bg = F >= 0;
    int64_t k = (bg ? F : 1) * (withA ? A : 1);
    int nf = (bg ? 1 : 0) + (withA ? 1 : 0);
    int mode = st.mode == 1 && st.P == 255 ? 0 : st.mode;
    const int top[3] = {is32 ? 255 : 31, is32 ? 255 : 63, is32 ? 255 : 31};

    if (form == 2) {
        if (mode == 1) {  // halving
            for (int i = 0; i < 3; ++i)
                out[i] = sc[i] / 2 + dc[i] / 2;
            return pack(out, 0);
        }
        if (is32 && st.mmx) {  // four saturating bytes
            uint32_t r = 0;
            for (int i = 0; i < 32; i += 8) {
                int a = (int)(s >> i & 0xFF), b = (int)(d >> i & 0xFF);
                int v = mode == 2 ? std::min(255, a + b) : std::max(0, b - a);
                r |= (uint32_t)v << i;
            }
            return r;
        }
    }
    if (mode == 0) {
        if (nf == 0) {
            if (!brightOn)
                return is32 ? s : (s & 0xFFFF);
            return pack(sb, d);
        }
        for (int i = 0; i < 3; ++i)
            out[i] = Fl(sb[i] * k + dc[i] * ((1LL << (8 * nf)) - k), 8 * nf);
        return pack(out, d);
    }
    if (mode == 1) {
        if (!is32 && nf == 0) {
            for (int i = 0; i < 3; ++i) {
                if (form == 0 && !brightOn) {
                    int li = st.P / 4;
                    out[i] = (li * sc[i] + (63 - li) * dc[i]) / 63;
                } else {
                    out[i] = dc[i] + st.P * (sb[i] - dc[i]) / 255;  // C++ division truncates
                }
            }
            return pack(out, 0);
        }
        k *= st.P;
        ++nf;
        for (int i = 0; i < 3; ++i)
            out[i] = Fl(sb[i] * k + dc[i] * ((1LL << (8 * nf)) - k), 8 * nf);
        return pack(out, d);
    }
    if (mode == 4) {
        for (int i = 0; i < 3; ++i)
            out[i] = is32 ? Fl(sb[i] * k * dc[i], 8 * (nf + 1)) : Fl(sb[i] * k * dc[i], 8 * nf + bits[i]);
        return pack(out, d);
    }
    // add and subtract: contributions, then the per-channel rules of the packed forms.
    int v[3];
    for (int i = 0; i < 3; ++i) {
        if (form == 2)
            v[i] = sc[i];
        else if (is32)
            v[i] = nf == 0 ? st.P * sb[i] / 255 : Fl(sb[i] * k * st.P, 8 * (nf + 1));
        else {
            int w = nf == 0 ? sb[i] : (withA && !bg && brightOn) ? brightC[i] * Fl(sc[i] * A, 8) / 255 : Fl(sb[i] * k, 8 * nf);
            v[i] = st.P * w / 255;
        }
    }
    const bool lowBits = form != 2;
    uint32_t x = 0;
    if (mode == 2) {
        int h1 = (v[1] >> 1) + (dc[1] >> 1), h2 = (v[2] >> 1) + (dc[2] >> 1);
        int halfG = is32 ? 128 : 32, halfR = is32 ? 128 : 16;
        out[0] = std::min(top[0], v[0] + dc[0]);
        bool carryB = v[0] + dc[0] > top[0];
        out[1] = h1 >= halfG ? (is32 ? 255 : 62) : 2 * h1;
        if (!(is32 && h1 >= halfG))
            out[1] += (carryB || (lowBits && ((v[1] | dc[1]) & 1))) ? 1 : 0;
        out[2] = h2 >= halfR ? top[2] : 2 * h2 + ((h1 >= halfG || (lowBits && ((v[2] | dc[2]) & 1))) ? 1 : 0);
        x = h2 >= halfR ? 0x01000000u : 0;
    } else {
        out[0] = std::max(0, dc[0] - v[0]);
        bool g = (dc[1] >> 1) >= (v[1] >> 1);
        out[1] = g ? 2 * ((dc[1] >> 1) - (v[1] >> 1)) + (is32 && dc[0] >= v[0] ? 1 : 0) : 0;
        out[2] = (dc[2] >> 1) >= (v[2] >> 1) ? 2 * ((dc[2] >> 1) - (v[2] >> 1)) + (g ? 1 : 0) : 0;
    }
    return pack(out, x);
}

// The second pixel of a 16-bit pair drawn by the dedicated add or subtract: its blue
// loses its lowest bit to the first pixel's red carry or borrow.
uint32_t ModelPairSecond(int mode, uint32_t s0, uint32_t d0, uint32_t s1, uint32_t d1) {
    int vb = s1 & 31, db = d1 & 31, r0v = s0 >> 11, r0d = d0 >> 11;
    Settings st;
    st.mode = mode;
    uint32_t one = Model(false, st, s1, -1, -1, d1, 2);
    int hB = (vb >> 1) + (db >> 1);
    int blue, green = one >> 5 & 63;
    if (mode == 2) {
        blue = hB >= 16 ? 31 : 2 * hB + ((r0v >> 1) + (r0d >> 1) >= 16 ? 1 : 0);
        int vg = s1 >> 5 & 63, dg = d1 >> 5 & 63, hG = (vg >> 1) + (dg >> 1);
        green = (hG >= 32 ? 62 : 2 * hG) + (hB >= 16 ? 1 : 0);
    } else {
        blue = (db >> 1) < (vb >> 1) ? 0 : 2 * ((db >> 1) - (vb >> 1)) + ((r0d >> 1) >= (r0v >> 1) ? 1 : 0);
    }
    return (one & 0xF800) | (uint32_t)green << 5 | (uint32_t)blue;
}

// ---- images ------------------------------------------------------------------------

}  // namespace

class BlitTest : public testing::Test {
public:
    void SetUp() override {
        BuildBlendLookupTables();
        for (int g = 0; g < 256; ++g)
            BlendGraphTable[g] = (uint8_t)g;
        g_drawState.drawArea = {0, 0, 640, 480};
        g_drawState.blendMode = 0;
        g_drawState.blendParam = 255;
        g_drawState.brightColor = 0xFFFFFF;
        g_screen.mmxAvailable = 0;
    }
    void TearDown() override {
        for (MEMIMG* m : images_)
            ReleaseMEMIMG(m), delete m;
    }
    MEMIMG* Image(int w, int h, int type, int palette, int alpha, uint32_t key = 0, int extras = 0) {
        MEMIMG* m = new MEMIMG{};
        EXPECT_EQ(SetupMEMIMG(m, w, h, -1, key, type, palette, alpha, extras), 0);
        images_.push_back(m);
        return m;
    }
    static uint32_t Get(const MEMIMG* m, int x, int y) { return qztest::MemImgPixel(m, x, y); }
    static void Set(MEMIMG* m, int x, int y, uint32_t v) { qztest::SetMemImgPixel(m, x, y, v); }
    static void Fill(MEMIMG* m, std::mt19937& rng) { qztest::FillMemImgRandomly(m, rng); }
    static void Apply(const Settings& st) {
        g_drawState.blendMode = st.mode;
        g_drawState.blendParam = st.P;
        g_drawState.brightColor = st.bright;
        g_screen.mmxAvailable = st.mmx ? 1 : 0;
    }
    std::vector<MEMIMG*> images_;
};

// A source whose pixels include the key, alphas 0, 255 and between, and bright extremes.
void FillSource(MEMIMG* s, std::mt19937& rng, bool is32, bool alpha) {
    for (int y = 0; y < s->height; ++y)
        for (int x = 0; x < s->width; ++x) {
            uint32_t v = rng();
            if (!s->usePalette && !alpha && (x + y) % 5 == 0)
                v = s->colorKey;
            if (s->usePalette)
                v = (x + y) % 5 == 0 ? s->colorKey : v % 6;
            if (alpha) {
                int a = (x + 2 * y) % 4 == 0 ? 0 : (x + 2 * y) % 4 == 1 ? 255 : (int)(v >> 24 & 0xFF);
                v = is32 ? (v & 0xFFFFFF) | (uint32_t)a << 24 : (v & 0xFFFF) | (uint32_t)a << 16;
            }
            std::memcpy(s->pixels + y * s->pitch + x * s->format->pixelBytes, &v, s->format->pixelBytes);
        }
}

// Every mode, parameter and option in one depth and source kind, drawn across a clipped
// draw area, against the model pixel by pixel.
void RunTable(BlitTest* t, bool is32, int sourceKind /* 0 direct, 1 alpha, 2 palette */) {
    std::mt19937 rng(is32 * 10 + sourceKind);
    const int type = is32 ? 1 : 0;
    const uint32_t key = sourceKind == 2 ? 3 : is32 ? 0x00123456u : 0x1234u;
    MEMIMG* src = t->Image(9, 4, type, sourceKind == 2, sourceKind == 1, key, 0);
    FillSource(src, rng, is32, sourceKind == 1);
    if (sourceKind == 2)
        for (int i = 0; i < 6; ++i) {
            uint32_t e = i == 0 ? 0xFFFFFFFFu : rng();
            std::memcpy((uint8_t*)src->palette + i * (is32 ? 4 : 2), &e, is32 ? 4 : 2);
        }
    MEMIMG* blend = t->Image(9, 4, 2, 0, 0, 0, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x)
            blend->pixels[y * blend->pitch + x] = (uint8_t)(x == 0 ? 0 : x == 1 ? 255 : rng());
    MEMIMG* dst = t->Image(16, 8, type, 0, 0, 0, 0);

    const int modes[] = {0, 1, 2, 3, 4, 5, -1};
    const int params[] = {0, 1, 3, 100, 128, 254, 255};
    const uint32_t brights[] = {0xFFFFFF, 0x10FF80FE};
    for (int mode : modes)
        for (int P : params)
            for (uint32_t bright : brights)
                for (int flags = 0; flags < 8; ++flags) {
                    Settings st;
                    st.mode = mode;
                    st.P = P;
                    st.bright = bright;
                    st.key = flags & 1;
                    st.blend = flags & 2;
                    st.mmx = flags & 4;
                    SCOPED_TRACE(testing::Message() << "mode " << mode << " P " << P << " bright " << std::hex << bright
                                                    << std::dec << " key " << st.key << " blend " << st.blend
                                                    << " mmx " << st.mmx);
                    BlitTest::Fill(dst, rng);
                    std::vector<uint32_t> before;
                    for (int y = 0; y < 8; ++y)
                        for (int x = 0; x < 16; ++x)
                            before.push_back(BlitTest::Get(dst, x, y));
                    // Placed at (-2, 3) under the area (0, 4)-(6, 8): columns 2-7 and rows
                    // 1-3 of the source land at (0, 4)-(6, 7); row 7 lies below the source.
                    g_drawState.drawArea = {0, 4, 6, 8};
                    BlitTest::Apply(st);
                    PutMEMIMG(dst, src, -2, 3, st.key ? 2 : 0, st.blend ? blend : nullptr);

                    const bool palette = sourceKind == 2, alpha = sourceKind == 1;
                    const bool nothing = mode < 0 || mode > 4 || ((mode == 1 || mode == 2) && P == 0) ||
                                         (mode == 3 && P == 0 && !palette);
                    const bool brightOn = bright != 0xFFFFFF;
                    const int m = mode == 1 && P == 255 ? 0 : mode;
                    const bool fast = !st.blend && !brightOn && !alpha &&
                                      ((m == 1 && P == 128) || ((m == 2 || m == 3) && P == 255));
                    for (int y = 0; y < 8; ++y) {
                        std::vector<uint32_t> want(16);
                        std::vector<bool> drawn(16, false);
                        for (int x = 0; x < 16; ++x) {
                            uint32_t d = before[y * 16 + x];
                            want[x] = d;
                            if (nothing || x >= 6 || y < 4 || y > 6)
                                continue;
                            int sx = x + 2, sy = y - 3;
                            uint32_t raw = BlitTest::Get(src, sx, sy);
                            uint32_t s = raw;
                            int A = -1;
                            if (palette)
                                std::memcpy(&s, (uint8_t*)src->palette + raw * (is32 ? 4 : 2), is32 ? 4 : 2);
                            if (alpha) {
                                A = is32 ? (int)(raw >> 24) : (int)(raw >> 16 & 0xFF);
                                if (!is32)
                                    s = raw & 0xFFFF;
                            }
                            int F = st.blend ? blend->pixels[sy * blend->pitch + sx] : -1;
                            int form = fast ? 2 : 0;
                            if (alpha && st.key) {
                                if (A == 0)
                                    continue;
                                if (A == 255)
                                    form = 1;
                            } else if (!alpha && st.key && raw == key) {
                                continue;
                            }
                            drawn[x] = true;
                            want[x] = Model(is32, st, s, A, F, d, form);
                        }
                        // The 16-bit dedicated add and subtract pair the row's pixels.
                        if (!is32 && fast && (m == 2 || m == 3))
                            for (int x = 0; x + 1 < 6; x += 2)
                                if (drawn[x] && drawn[x + 1]) {
                                    auto colour = [&](int sx) {
                                        uint32_t raw = BlitTest::Get(src, sx, y - 3), s = raw;
                                        if (palette)
                                            std::memcpy(&s, (uint8_t*)src->palette + raw * 2, 2);
                                        return s & 0xFFFF;
                                    };
                                    want[x + 1] = ModelPairSecond(m, colour(x + 2), before[y * 16 + x], colour(x + 3),
                                                                  before[y * 16 + x + 1]);
                                }
                        for (int x = 0; x < 16; ++x)
                            ASSERT_EQ(BlitTest::Get(dst, x, y), want[x]) << "at " << x << "," << y;
                    }
                }
}

TEST_F(BlitTest, EveryMode32Direct) { RunTable(this, true, 0); }
TEST_F(BlitTest, EveryMode32SourceAlpha) { RunTable(this, true, 1); }
TEST_F(BlitTest, EveryMode32Palette) { RunTable(this, true, 2); }
TEST_F(BlitTest, EveryMode16Direct) { RunTable(this, false, 0); }
TEST_F(BlitTest, EveryMode16SourceAlpha) { RunTable(this, false, 1); }
TEST_F(BlitTest, EveryMode16Palette) { RunTable(this, false, 2); }

// The run-table path: a whole source drawn with the transparent flag 1 follows its run
// tables; opaque runs take the opaque forms (no fast paths, 16-bit alpha by the signed
// mix), translucent runs the alpha forms. Wider than 64 so spans take several codes.
void RunPathTable(BlitTest* t, bool is32, int sourceKind) {
    std::mt19937 rng(100 + is32 * 10 + sourceKind);
    const int type = is32 ? 1 : 0, w = 70, h = 3;
    const uint32_t key = sourceKind == 2 ? 3 : is32 ? 0x00123456u : 0x1234u;
    MEMIMG* src = t->Image(w, h, type, sourceKind == 2, sourceKind == 1, key, 1);
    FillSource(src, rng, is32, sourceKind == 1);
    // A long skip span and a long drawn span in the first row.
    for (int x = 0; x < w; ++x) {
        uint32_t v = x < 66 ? key : 0x8421;
        if (sourceKind == 1)
            v = is32 ? (x < 66 ? 0x00FFFFFFu : 0xFF808080u) : (x < 66 ? 0x0000FFFFu : 0x00FF8410u);
        std::memcpy(src->pixels + x * src->format->pixelBytes, &v, src->format->pixelBytes);
    }
    if (sourceKind == 2)
        for (int i = 0; i < 6; ++i) {
            uint32_t e = rng();
            std::memcpy((uint8_t*)src->palette + i * (is32 ? 4 : 2), &e, is32 ? 4 : 2);
        }
    BuildMEMIMGRuns(src);
    src->runsValid = 1;
    MEMIMG* blend = t->Image(w, h, 2, 0, 0, 0, 0);
    for (int i = 0; i < w * h; ++i)
        blend->pixels[i / w * blend->pitch + i % w] = (uint8_t)rng();
    MEMIMG* dst = t->Image(w + 4, h + 2, type, 0, 0, 0, 0);
    g_drawState.drawArea = {0, 0, w + 4, h + 2};

    const int params[] = {1, 100, 128, 255};
    for (int mode = 0; mode <= 4; ++mode)
        for (int P : params)
            for (int flags = 0; flags < 8; ++flags) {
                Settings st;
                st.mode = mode;
                st.P = P;
                st.bright = flags & 1 ? 0x80FF40u : 0xFFFFFFu;
                st.blend = flags & 2;
                st.mmx = flags & 4;
                SCOPED_TRACE(testing::Message() << "mode " << mode << " P " << P << " bright " << (flags & 1)
                                                << " blend " << st.blend << " mmx " << st.mmx);
                BlitTest::Fill(dst, rng);
                std::vector<uint32_t> before;
                for (int y = 0; y < h + 2; ++y)
                    for (int x = 0; x < w + 4; ++x)
                        before.push_back(BlitTest::Get(dst, x, y));
                BlitTest::Apply(st);
                PutMEMIMG(dst, src, 2, 1, 1, st.blend ? blend : nullptr);
                for (int y = 0; y < h + 2; ++y)
                    for (int x = 0; x < w + 4; ++x) {
                        uint32_t want = before[y * (w + 4) + x];
                        int sx = x - 2, sy = y - 1;
                        if (sx >= 0 && sx < w && sy >= 0 && sy < h) {
                            uint32_t raw = BlitTest::Get(src, sx, sy), s = raw;
                            int A = -1;
                            if (sourceKind == 2)
                                std::memcpy(&s, (uint8_t*)src->palette + raw * (is32 ? 4 : 2), is32 ? 4 : 2);
                            if (sourceKind == 1) {
                                A = is32 ? (int)(raw >> 24) : (int)(raw >> 16 & 0xFF);
                                s = is32 ? raw : raw & 0xFFFF;
                            }
                            bool skip = sourceKind == 1 ? A == 0 : raw == key;
                            int F = st.blend ? blend->pixels[sy * blend->pitch + sx] : -1;
                            if (!skip)
                                want = Model(is32, st, s, A == 255 ? -1 : A, F, want, A == 255 || A < 0 ? 1 : 0);
                        }
                        ASSERT_EQ(BlitTest::Get(dst, x, y), want) << "at " << x << "," << y;
                    }
            }
}

TEST_F(BlitTest, RunPath32Direct) { RunPathTable(this, true, 0); }
TEST_F(BlitTest, RunPath32SourceAlpha) { RunPathTable(this, true, 1); }
TEST_F(BlitTest, RunPath32Palette) { RunPathTable(this, true, 2); }
TEST_F(BlitTest, RunPath16Direct) { RunPathTable(this, false, 0); }
TEST_F(BlitTest, RunPath16SourceAlpha) { RunPathTable(this, false, 1); }
TEST_F(BlitTest, RunPath16Palette) { RunPathTable(this, false, 2); }

// The run tables decide, not the pixels: a pixel changed after the tables were built
// stays undrawn on the run path, while the transparent flag 2 and a clipped draw test
// the pixels.
TEST_F(BlitTest, RunTablesOutrankThePixels) {
    MEMIMG* src = Image(4, 1, 1, 0, 0, 0x00000000u, 1);
    uint32_t px[4] = {0x111111, 0, 0x222222, 0x333333};
    std::memcpy(src->pixels, px, sizeof px);
    BuildMEMIMGRuns(src);
    src->runsValid = 1;
    uint32_t changed = 0x444444;
    std::memcpy(src->pixels + 4, &changed, 4);
    MEMIMG* dst = Image(4, 1, 1, 0, 0);
    const struct {
        int transparent;
        RECT area;
        uint32_t second;
    } cases[] = {{1, {0, 0, 4, 1}, 0xAAAAAA}, {2, {0, 0, 4, 1}, 0x444444}, {1, {0, 0, 3, 1}, 0x444444}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "transparent " << c.transparent << " right " << c.area.right);
        for (int x = 0; x < 4; ++x)
            Set(dst, x, 0, 0xAAAAAA);
        g_drawState.drawArea = c.area;
        PutMEMIMG(dst, src, 0, 0, c.transparent, nullptr);
        EXPECT_EQ(Get(dst, 0, 0), 0x111111u);
        EXPECT_EQ(Get(dst, 1, 0), c.second);
    }
}

// Refused calls and a draw area larger than the destination: nothing outside the
// destination is touched (ASan watches the edges).
TEST_F(BlitTest, RefusalsAndDestinationEdges) {
    MEMIMG* src32 = Image(8, 8, 1, 0, 0);
    std::memset(src32->pixels, 0x77, (size_t)src32->pitch * 8);
    struct {
        int type, palette, alpha;
    } refused[] = {{0, 0, 0}, {1, 1, 0}, {1, 0, 1}};
    for (const auto& r : refused) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " palette " << r.palette << " alpha " << r.alpha);
        MEMIMG* dst = Image(8, 8, r.type, r.palette, r.alpha);
        std::vector<uint8_t> before(dst->pixels, dst->pixels + dst->pitch * 8);
        PutMEMIMG(dst, src32, 0, 0, 0, nullptr);
        EXPECT_EQ(std::memcmp(before.data(), dst->pixels, before.size()), 0);
    }
    MEMIMG* dst = Image(5, 3, 1, 0, 0);
    std::memset(dst->pixels, 0, (size_t)dst->pitch * 3);
    g_drawState.drawArea = {-10, -10, 640, 480};
    for (int corner = 0; corner < 4; ++corner) {
        int x = corner & 1 ? 3 : -6, y = corner & 2 ? 1 : -6;
        PutMEMIMG(dst, src32, x, y, 0, nullptr);
    }
    // Columns -6..1 and 3..7 are covered, every row: column 2 stays clear.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(Get(dst, x, y), x != 2 ? 0x77777777u : 0u) << x << "," << y;
}

// The 16-bit add and subtract at 255 take a row's pixels in pairs. A row of odd width (1
// included) ends on one pixel drawn alone, as a one-pixel draw draws it; the pairs before
// it are drawn as the even row before it draws them; nothing past the row is read or
// written (the source is exactly as wide as the row, and ASan watches its end).
TEST_F(BlitTest, OddWidthsInTheSixteenBitPairLoops) {
    std::mt19937 rng(21);
    for (int mode : {2, 3})
        for (int key = 0; key < 2; ++key)
            for (int w : {1, 3, 5, 7}) {
                SCOPED_TRACE(testing::Message() << "mode " << mode << " key " << key << " width " << w);
                MEMIMG* src = Image(w, 2, 0, 0, 0, 0x1234);
                for (int y = 0; y < 2; ++y)
                    for (int x = 0; x < w; ++x) Set(src, x, y, key && x == 1 && y == 1 ? 0x1234u : rng() & 0xFFFF);
                MEMIMG* dstRow = Image(w + 1, 2, 0, 0, 0);
                MEMIMG* even = Image(w + 1, 2, 0, 0, 0);
                MEMIMG* single = Image(1, 2, 0, 0, 0);
                MEMIMG* lastPixel = Image(1, 2, 0, 0, 0, 0x1234);
                for (int y = 0; y < 2; ++y) {
                    for (int x = 0; x <= w; ++x) {
                        const uint32_t d = rng() & 0xFFFF;
                        Set(dstRow, x, y, d);
                        Set(even, x, y, d);
                        if (x == w - 1) Set(single, 0, y, d);
                    }
                    Set(lastPixel, 0, y, Get(src, w - 1, y));
                }
                Settings st;
                st.mode = mode;
                Apply(st);
                PutMEMIMG(dstRow, src, 0, 0, key, nullptr);
                PutMEMIMG(single, lastPixel, 0, 0, key, nullptr);
                g_drawState.drawArea = {0, 0, w - 1, 2};
                PutMEMIMG(even, src, 0, 0, key, nullptr);
                g_drawState.drawArea = {0, 0, 640, 480};
                for (int y = 0; y < 2; ++y) {
                    for (int x = 0; x < w - 1; ++x)
                        EXPECT_EQ(Get(dstRow, x, y), Get(even, x, y)) << "pair pixel " << x << "," << y;
                    EXPECT_EQ(Get(dstRow, w - 1, y), Get(single, 0, y)) << "last pixel of row " << y;
                    EXPECT_EQ(Get(dstRow, w, y), Get(even, w, y)) << "past the row " << y;
                }
            }
}

// A palette index beyond the entries in use still reads the source's own palette in every
// drawer's blending loops: an earlier draw's entries left in any copy buffer never show.
// Indices 1 and 5 hold the same colour; only two entries are in use.
TEST_F(BlitTest, PaletteIndicesBeyondTheEntriesInUseInEveryDrawer) {
    using Drawer = void (*)(MEMIMG* dst, const MEMIMG* src);
    const struct {
        const char* name;
        Drawer draw;
        int x1, y1, x5, y5;  // where indices 1 and 5 land
    } drawers[] = {
        {"plain", [](MEMIMG* d, const MEMIMG* s) { PutMEMIMG(d, s, 0, 0, 0, nullptr); }, 0, 0, 1, 0},
        {"scaled",
         [](MEMIMG* d, const MEMIMG* s) {
             const RECT r = {0, 0, s->width * 4, s->height * 4};
             PutMEMIMGScaled(d, s, &r, 0, nullptr);
         },
         1, 1, 6, 1},
        {"quad",
         [](MEMIMG* d, const MEMIMG* s) {
             const MEMIMGPoint corner[4] = {{0, 0}, {s->width * 4, 0}, {0, s->height * 4}, {s->width * 4, s->height * 4}};
             PutMEMIMGQuad(d, s, corner, 0, nullptr);
         },
         1, 0, 5, 0},  // off the diagonal the two triangles share
        {"rotated", [](MEMIMG* d, const MEMIMG* s) { PutMEMIMGRotated(d, s, 4, 2, 0.0f, 4.0f, 0, 0, nullptr); }, 1, 2, 6,
         2},
    };
    const Settings modes[] = {{0, 255, 0x808080}, {1, 128}, {2, 255}, {3, 100}, {4, 0}};
    for (int is32 = 0; is32 < 2; ++is32)
        for (const auto& drawer : drawers)
            for (const Settings& st : modes) {
                SCOPED_TRACE(testing::Message() << drawer.name << ", " << (is32 ? 32 : 16) << " bits, mode " << st.mode
                                                << " P " << st.P);
                const int bytes = is32 ? 4 : 2;
                const uint32_t old = is32 ? 0x101010u : 0x0842u, fresh = is32 ? 0x202020u : 0x1084u;
                // An earlier draw of the same drawer, with entry 5 in use.
                MEMIMG* before = Image(2, 1, is32, 1, 0);
                before->paletteCount = 256;
                std::memcpy(before->paletteStore + 5 * bytes, &old, bytes);
                Set(before, 0, 0, 5);
                Set(before, 1, 0, 5);
                MEMIMG* scratch = Image(8, 4, is32, 0, 0);
                Apply(Settings{});
                drawer.draw(scratch, before);
                MEMIMG* src = Image(2, 1, is32, 1, 0);
                src->paletteCount = 2;
                std::memset(src->paletteStore, 0, sizeof src->paletteStore);
                std::memcpy(src->paletteStore + 1 * bytes, &fresh, bytes);
                std::memcpy(src->paletteStore + 5 * bytes, &fresh, bytes);
                Set(src, 0, 0, 1);
                Set(src, 1, 0, 5);
                MEMIMG* dst = Image(8, 4, is32, 0, 0);
                const uint32_t grey = is32 ? 0x808080u : 0x8410u;
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 8; ++x) Set(dst, x, y, grey);
                Apply(st);
                drawer.draw(dst, src);
                EXPECT_NE(Get(dst, drawer.x1, drawer.y1), grey) << "index 1 drawn";
                EXPECT_EQ(Get(dst, drawer.x5, drawer.y5), Get(dst, drawer.x1, drawer.y1)) << "index 5 as index 1";
            }
}

// Worked examples of the blend rules, written out as numbers, so that the model above
// cannot share a misreading with the blitter.
TEST_F(BlitTest, WorkedExamples) {
    struct Case {
        const char* what;
        bool is32;
        int mode, P;
        uint32_t bright;
        int alpha, transparent, mmx, runs;
        uint32_t src[2], dst[2], want[2];
    };
    const uint32_t W = 0xFFFFFF;
    const Case cases[] = {
        {"32 none, source alpha 255 unkeyed mixes by 255/256", true, 0, 255, W, 1, 0, 0, 0,
         {0xFFFFFFFF, 0}, {0, 0x11}, {0x00FEFEFE, 0x11}},
        {"32 none, source alpha 255 keyed copies", true, 0, 255, W, 1, 2, 0, 0, {0xFFFFFFFF, 0}, {0, 0x11}, {0xFFFFFFFF, 0x11}},
        {"32 alpha 128 halves and clears X", true, 1, 128, W, 0, 0, 0, 0,
         {0xFFFFFFFF, 0}, {0xABFFFFFF, 0}, {0x00FEFEFE, 0}},
        {"32 alpha 127 mixes and keeps X", true, 1, 127, W, 0, 0, 0, 0,
         {0xFFFFFFFF, 0}, {0xABFFFFFF, 0}, {0xABFFFFFF, 0}},
        {"32 add 255 without MMX drops green's low bit", true, 2, 255, W, 0, 0, 0, 0, {0x100, 0}, {0, 0}, {0, 0}},
        {"32 add 255 with MMX saturates bytes and X", true, 2, 255, W, 0, 0, 1, 0,
         {0x80000100, 0}, {0x90000000, 0}, {0xFF000100, 0}},
        {"32 add blue carry sets green's low bit", true, 2, 255, W, 0, 0, 0, 0, {0x01, 0}, {0xFF, 0}, {0x1FF, 0}},
        {"32 subtract of black", true, 3, 100, W, 0, 0, 0, 0, {0, 0}, {0x12FEFEFE, 0}, {0x00FFFFFE, 0x00010100}},
        {"32 multiply by white", true, 4, 9, W, 0, 0, 0, 0, {0xFFFFFF, 0}, {0x33FFFFFF, 0}, {0x33FEFEFE, 0}},
        {"32 run path alpha 128 mixes", true, 1, 128, W, 0, 1, 0, 1, {0xFFFFFF, 0xFFFFFF}, {0xABFFFFFF, 0}, {0xABFFFFFF, 0x7F7F7F}},
        {"32 run path add 255 keeps green's low bit", true, 2, 255, W, 0, 1, 0, 1, {0x100, 0x100}, {0, 0}, {0x100, 0x100}},
        {"16 none, source alpha 255 unkeyed", false, 0, 255, W, 1, 0, 0, 0, {0xFFFFFF, 0}, {0, 0x11}, {0xF7DE, 0x11}},
        {"16 none, source alpha 255 keyed", false, 0, 255, W, 1, 2, 0, 0, {0xFFFFFF, 0}, {0, 0x11}, {0xFFFF, 0x11}},
        {"16 alpha 128 halves", false, 1, 128, W, 0, 0, 0, 0, {0xFFFF, 0xFFFF}, {0xFFFF, 0xFFFF}, {0xF7DE, 0xF7DE}},
        {"16 alpha 127 keeps white", false, 1, 127, W, 0, 0, 0, 0, {0xFFFF, 0}, {0xFFFF, 0}, {0xFFFF, 0}},
        {"16 alpha 3 leaves the destination", false, 1, 3, W, 0, 0, 0, 0, {0xFFFF, 0}, {0x1234, 0}, {0x1234, 0}},
        {"16 bright FEFEFE", false, 0, 255, 0xFEFEFE, 0, 0, 0, 0, {0xFFFF, 0}, {0, 0}, {0xF7DE, 0}},
        {"16 add 255 blue carry", false, 2, 255, W, 0, 0, 0, 0, {0x0001, 0x0020}, {0x001F, 0}, {0x003F, 0}},
        {"16 add 255 pair carries red into blue", false, 2, 255, W, 0, 0, 0, 0, {0xF800, 0}, {0xF800, 0}, {0xF800, 1}},
        {"16 add 255 lone pixel keeps blue", false, 2, 255, W, 0, 2, 0, 0, {0xF800, 0x1234}, {0xF800, 0}, {0xF800, 0}},
        {"16 subtract of black", false, 3, 100, W, 0, 0, 0, 0, {0, 0}, {0xFFFF, 0}, {0xFFDF, 0x0800}},
        {"16 multiply by white", false, 4, 0, W, 0, 0, 0, 0, {0xFFFF, 0}, {0xFFFF, 0}, {0xF7DE, 0}},
        {"16 run path alpha 128 signed mix", false, 1, 128, W, 0, 1, 0, 1, {0x0000, 0x0000}, {0x001F, 0x001F}, {0x0010, 0x0010}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int type = c.is32 ? 1 : 0;
        MEMIMG* src = Image(2, 1, type, 0, c.alpha, 0x1234, c.runs);
        MEMIMG* dst = Image(2, 1, type, 0, 0);
        for (int x = 0; x < 2; ++x) {
            Set(src, x, 0, c.src[x]);
            Set(dst, x, 0, c.dst[x]);
        }
        if (c.runs) {
            BuildMEMIMGRuns(src);
            src->runsValid = 1;
        }
        Settings st;
        st.mode = c.mode;
        st.P = c.P;
        st.bright = c.bright;
        st.mmx = c.mmx;
        Apply(st);
        PutMEMIMG(dst, src, 0, 0, c.transparent, nullptr);
        EXPECT_EQ(Get(dst, 0, 0), c.want[0]);
        EXPECT_EQ(Get(dst, 1, 0), c.want[1]);
    }
}

}  // namespace QzDrawBlit_test
