// FillMEMIMGRect and PlotMEMIMGLines: every blend mode in both depths against a
// per-channel model, the bright colour, corner normalising, the draw area, line end
// points and line clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzDrawPrimitive.h"
#include "QzGraphicsDrawState.h"

namespace QzDrawFill_test {

namespace {

// One pixel from the per-channel statements of the rules (not the packed forms).
uint32_t Model(bool is32, int mode, int p, uint32_t f, uint32_t d) {
    if (mode == 1 && p == 255)
        mode = 0;
    if (mode > 4 || (mode >= 1 && mode <= 3 && p == 0))
        return d;
    if (mode == 0)
        return f;
    const int sh[3] = {0, is32 ? 8 : 5, is32 ? 16 : 11};
    const int mx[3] = {is32 ? 255 : 31, is32 ? 255 : 63, is32 ? 255 : 31};
    int F[3], D[3], S[3], N[3];
    for (int i = 0; i < 3; ++i) {
        F[i] = (int)(f >> sh[i]) & mx[i];
        D[i] = (int)(d >> sh[i]) & mx[i];
        S[i] = p * F[i] / 255;
    }
    uint32_t top = is32 ? (d & 0xFF000000u) : 0;
    if (mode == 1)
        for (int i = 0; i < 3; ++i)
            N[i] = is32 ? D[i] + (((F[i] - D[i]) * p + 256 * D[i]) >> 8) - D[i] : D[i] + p * (F[i] - D[i]) / 255;
    else if (mode == 4)
        for (int i = 0; i < 3; ++i)
            N[i] = F[i] * D[i] >> (is32 || i != 1 ? (is32 ? 8 : 5) : 6);
    else if (mode == 2) {
        // Blue adds whole; green and red add their upper bits, carry in from below.
        bool carry = S[0] + D[0] > mx[0];
        N[0] = carry ? mx[0] : S[0] + D[0];
        for (int i = 1; i < 3; ++i) {
            int hi = (S[i] >> 1) + (D[i] >> 1);
            bool c = hi > (mx[i] >> 1);
            bool low = carry || (S[i] & 1) || (D[i] & 1);
            N[i] = c ? (is32 || i == 2 ? mx[i] : (62 | (low ? 1 : 0))) : (hi << 1 | (low ? 1 : 0));
            carry = c;
        }
        top = is32 && carry ? 0x01000000u : 0;
    } else {
        bool under = D[0] < S[0];
        N[0] = under ? 0 : D[0] - S[0];
        for (int i = 1; i < 3; ++i) {
            bool u = (D[i] >> 1) < (S[i] >> 1);
            bool low = is32 || i == 2 ? !under : false;
            N[i] = u ? 0 : (((D[i] >> 1) - (S[i] >> 1)) << 1 | (low ? 1 : 0));
            under = u;
        }
        top = 0;
    }
    return top | (uint32_t)N[2] << sh[2] | (uint32_t)N[1] << sh[1] | (uint32_t)N[0];
}

class FillTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildBlendLookupTables();
        g_drawState.drawArea = {0, 0, 16, 16};
        g_drawState.blendMode = 0;
        g_drawState.blendParam = 255;
        g_drawState.brightColor = 0xFFFFFF;
    }
    void TearDown() override {
        ReleaseMEMIMG(&img);
    }
    void Make(int type, int w = 16, int h = 16) {
        std::memset(&img, 0, sizeof img);
        ASSERT_EQ(SetupMEMIMG(&img, w, h, -1, 0, type, 0, 0, 0), 0);
        Clear(0);
    }
    uint32_t Get(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, img.pixels + y * img.pitch + x * img.format->pixelBytes, img.format->pixelBytes);
        return v;
    }
    void Set(int x, int y, uint32_t v) {
        std::memcpy(img.pixels + y * img.pitch + x * img.format->pixelBytes, &v, img.format->pixelBytes);
    }
    void Clear(uint32_t v) {
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) Set(x, y, v);
    }
    std::vector<std::pair<int, int>> Changed(uint32_t background) const {
        std::vector<std::pair<int, int>> out;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x)
                if (Get(x, y) != background) out.push_back({x, y});
        return out;
    }
    MEMIMG img{};
};

TEST_F(FillTest, EveryModeAndDepthMatchesTheChannelModel) {
    std::mt19937 rng(7);
    for (int type = 0; type <= 1; ++type)
        for (int mode = 0; mode <= 5; ++mode)
            for (int p : {0, 1, 128, 254, 255}) {
                ReleaseMEMIMG(&img);
                Make(type);
                std::vector<uint32_t> before(256);
                for (int i = 0; i < 256; ++i) {
                    before[i] = type ? (uint32_t)rng() : (uint32_t)rng() & 0xFFFF;
                    Set(i % 16, i / 16, before[i]);
                }
                uint32_t f = type ? (uint32_t)rng() : (uint32_t)rng() & 0xFFFF;
                g_drawState.blendMode = mode;
                g_drawState.blendParam = p;
                FillMEMIMGRect(&img, nullptr, f);
                for (int i = 0; i < 256; ++i)
                    ASSERT_EQ(Get(i % 16, i / 16), Model(type, mode, p, f, before[i]))
                        << "type " << type << " mode " << mode << " p " << p << std::hex << " f " << f
                        << " d " << before[i];
            }
}

TEST_F(FillTest, WorkedExamples) {
    struct Case {
        int type, mode, p;
        uint32_t bright, f, d, want;
    } cases[] = {
        {0, 2, 255, 0xFFFFFF, 16, 16, 31 | 1 << 5},                       // blue carries into green
        {0, 2, 255, 0xFFFFFF, 32 << 5, 32 << 5, 62 << 5 | 1 << 11},       // green carries into red
        {0, 2, 255, 0xFFFFFF, 0xFFFF, 0, 0xFFFF},
        {0, 3, 255, 0xFFFFFF, 0, 0xFFFF, 31 << 11 | 62 << 5 | 31},
        {0, 3, 255, 0xFFFFFF, 0, 0, 1 << 11},
        {0, 3, 255, 0xFFFFFF, 1 << 11, 2 << 11, 3 << 11},
        {0, 3, 255, 0xFFFFFF, 5 << 11 | 5 << 5 | 5, 10 << 11 | 20 << 5 | 10, 7 << 11 | 16 << 5 | 5},
        {1, 2, 255, 0xFFFFFF, 0x808080, 0x808080, 0x01FFFFFF},
        {0, 0, 255, 0xFFFFFE, 0xFFFF, 0, 30 << 11 | 62 << 5 | 30},        // bright multiplies, >> 8
        {1, 1, 128, 0xFFFFFF, 0xFF, 0, 127},
        {1, 1, 128, 0xFFFFFF, 0, 0xFF, 127},
        {0, 4, 0, 0xFFFFFF, 0xFFFF, 0xFFFF, 30 << 11 | 62 << 5 | 30},
        {1, 4, 0, 0xFFFFFF, 0xFFFFFF, 0xABFFFFFF, 0xABFEFEFE},
        {1, 0, 255, 0x808080, 0x12FFFFFF, 0, 0x127F7F7F},                 // byte 3 kept
    };
    for (const Case& c : cases) {
        ReleaseMEMIMG(&img);
        Make(c.type);
        Clear(c.d);
        g_drawState.blendMode = c.mode;
        g_drawState.blendParam = c.p;
        g_drawState.brightColor = c.bright;
        FillMEMIMGRect(&img, nullptr, c.f);
        EXPECT_EQ(Get(3, 3), c.want) << std::hex << "type " << c.type << " mode " << c.mode << " f " << c.f
                                     << " d " << c.d;
    }
}

TEST_F(FillTest, RectangleCornersDrawAreaAndRefusals) {
    Make(0, 32, 32);
    g_drawState.drawArea = {0, 0, 32, 32};
    RECT r = {10, 10, 5, 20};
    FillMEMIMGRect(&img, &r, 1);
    auto got = Changed(0);
    ASSERT_EQ(got.size(), 50u);
    for (auto [x, y] : got) EXPECT_TRUE(x >= 5 && x < 10 && y >= 10 && y < 20) << x << "," << y;
    Clear(0);
    g_drawState.drawArea = {3, 4, 7, 9};
    FillMEMIMGRect(&img, nullptr, 1);
    got = Changed(0);
    ASSERT_EQ(got.size(), 20u);
    for (auto [x, y] : got) EXPECT_TRUE(x >= 3 && x < 7 && y >= 4 && y < 9);
    // A draw area larger than the image still writes only inside it.
    g_drawState.drawArea = {-10, -10, 100, 100};
    Clear(0);
    FillMEMIMGRect(&img, nullptr, 1);
    EXPECT_EQ(Changed(0).size(), 32u * 32u);
    img.usePalette = 1;
    Clear(0);
    FillMEMIMGRect(&img, nullptr, 1);
    EXPECT_TRUE(Changed(0).empty());
}

TEST_F(FillTest, LineEndPoints) {
    using P = std::vector<std::pair<int, int>>;
    struct Case {
        int x1, y1, x2, y2;
        P want;  // in row order
    } cases[] = {
        {0, 0, 3, 0, {{0, 0}, {1, 0}, {2, 0}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
        {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {0, 0, 2, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        {3, 3, 0, 0, {{2, 2}, {1, 1}, {3, 3}}},
        {5, 5, 5, 5, {}},
    };
    Make(1);
    for (const Case& c : cases) {
        Clear(0);
        MEMIMGLine line = {c.x1, c.y1, c.x2, c.y2, 7, 0};
        PlotMEMIMGLines(&img, &line, 1);
        auto got = Changed(0);
        P want = c.want;
        std::sort(want.begin(), want.end(), [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
        EXPECT_EQ(got, want) << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
    }
}

TEST_F(FillTest, LineClipsToTheDrawAreaAndCountsEachPixelOnce) {
    Make(1, 100, 100);
    g_drawState.drawArea = {0, 0, 100, 100};
    PlotMEMIMGLine(&img, -10, 0, 10, 20, 7);
    auto got = Changed(0);
    ASSERT_EQ(got.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], std::make_pair(i, 10 + i));
    // Additive blend: a pixel touched twice would show 2.
    Clear(0);
    g_drawState.blendMode = 2;
    g_drawState.drawArea = {-50, -50, 150, 150};  // larger than the image
    MEMIMGLine lines[2] = {{-30, 50, 300, 50, 1, 0}, {50, 120, 50, -7, 1, 0}};
    PlotMEMIMGLines(&img, lines, 2);
    for (int x = 0; x < 100; ++x) EXPECT_EQ(Get(x, 50), x == 50 ? 2u : 1u) << x;
    EXPECT_EQ(Get(50, 0), 1u);
    EXPECT_EQ(Get(50, 99), 1u);
}

}  // namespace

}  // namespace QzDrawFill_test
