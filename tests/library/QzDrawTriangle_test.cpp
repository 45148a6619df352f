// PutMEMIMGTriangle without a source: which pixels a triangle covers (a table, degenerate
// and negative cases included), the solid-colour rules, the draw area, and
// PutMEMIMGQuad's refusal of a box outside the draw area. With a source: the texel every
// pixel shows, for upright quads of every size and for general triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "MemImgPixels.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzDrawPrimitive.h"
#include "QzGraphicsDrawState.h"

namespace QzDrawTriangle_test {

namespace {

class TriangleTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildBlendLookupTables();
        g_drawState.drawArea = {0, 0, 16, 16};
        g_drawState.blendMode = 0;
        g_drawState.blendParam = 255;
        g_drawState.brightColor = 0xFFFFFF;
        Make(1);
    }
    void TearDown() override { ReleaseMEMIMG(&img); }
    void Make(int type) {
        ReleaseMEMIMG(&img);
        std::memset(&img, 0, sizeof img);
        ASSERT_EQ(SetupMEMIMG(&img, 16, 16, -1, 0, type, 0, 0, 0), 0);
        Clear(0);
    }
    uint32_t Get(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, img.pixels + y * img.pitch + x * img.format->pixelBytes, img.format->pixelBytes);
        return v;
    }
    void Clear(uint32_t v) {
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                std::memcpy(img.pixels + y * img.pitch + x * img.format->pixelBytes, &v, img.format->pixelBytes);
    }
    // Rows as "y:first-last" of the pixels drawn (each row must be one run).
    std::string Spans() const {
        std::string out;
        for (int y = 0; y < 16; ++y) {
            int first = -1, last = -1;
            for (int x = 0; x < 16; ++x)
                if (Get(x, y) != 0) {
                    if (first < 0) first = x;
                    last = x;
                }
            if (first >= 0)
                out += std::to_string(y) + ":" + std::to_string(first) + "-" + std::to_string(last) + " ";
        }
        return out;
    }
    MEMIMG img{};
};

TEST_F(TriangleTest, CoverageTable) {
    struct Case {
        MEMIMGVertex v[3];
        const char* want;
    } cases[] = {
        {{{0, 0, 0, 0}, {4, 0, 0, 0}, {0, 4, 0, 0}}, "0:0-4 1:0-3 2:0-2 3:0-1 "},
        {{{1, 0, 0, 0}, {6, 3, 0, 0}, {2, 6, 0, 0}}, "0:1-1 1:1-3 2:1-4 3:1-6 4:2-5 5:2-3 "},
        {{{2, -3, 0, 0}, {8, 4, 0, 0}, {0, 6, 0, 0}}, "0:2-4 1:1-5 2:1-5 3:1-6 4:1-7 5:0-8 6:0-4 "},
        {{{0, 0, 0, 0}, {4, 4, 0, 0}, {8, 8, 0, 0}}, ""},   // collinear
        {{{3, 3, 0, 0}, {3, 3, 0, 0}, {9, 5, 0, 0}}, ""},   // two equal
        {{{0, 5, 0, 0}, {4, 5, 0, 0}, {9, 5, 0, 0}}, ""},   // one row
        {{{5, 0, 0, 0}, {5, 4, 0, 0}, {5, 9, 0, 0}}, ""},   // one column
    };
    for (const Case& c : cases) {
        Clear(0);
        PutMEMIMGTriangle(&img, nullptr, c.v, 0, nullptr, 1);
        EXPECT_EQ(Spans(), c.want) << c.v[0].x << "," << c.v[0].y << " " << c.v[1].x << "," << c.v[1].y << " "
                                   << c.v[2].x << "," << c.v[2].y;
    }
}

TEST_F(TriangleTest, DrawAreaClipsAndALargerAreaStaysInTheImage) {
    MEMIMGVertex v[3] = {{0, 0, 0, 0}, {4, 0, 0, 0}, {0, 4, 0, 0}};
    g_drawState.drawArea = {1, 1, 3, 16};
    PutMEMIMGTriangle(&img, nullptr, v, 0, nullptr, 1);
    EXPECT_EQ(Spans(), "1:1-2 2:1-2 3:1-1 ");
    Clear(0);
    g_drawState.drawArea = {-40, -40, 80, 80};
    MEMIMGVertex big[3] = {{-30, -30, 0, 0}, {60, -30, 0, 0}, {-30, 60, 0, 0}};
    PutMEMIMGTriangle(&img, nullptr, big, 0, nullptr, 1);  // ASan catches a write outside
    EXPECT_EQ(Get(15, 15), 1u);
}

TEST_F(TriangleTest, SolidColourRules) {
    struct Case {
        int type, mode, p;
        uint32_t bright, col, d, want;
    } cases[] = {
        {0, 0, 255, 0xFFFFFF, 0xF800, 0, 0xF800},
        {0, 0, 255, 0x808080, 0xF800, 0, 0x7800},                 // ScaleTable, not >> 8
        {1, 0, 255, 0xFFFFFF, 0x12345678, 0, 0x12345678},
        {1, 4, 0, 0xFFFFFF, 0x12345678, 0xAB000000, 0xAB000000},
        {1, 0, 255, 0x80FFFF, 0xFF00FF, 0, 0x8000FF},
        {0, 1, 128, 0xFFFFFF, 31u << 11, 0, 15u << 11},
        {0, 1, 128, 0xFFFFFF, 0, 31u << 11, 16u << 11},
        {1, 1, 128, 0xFFFFFF, 0xFF, 0, 127},
        {0, 2, 255, 0xFFFFFF, 31, 1, 31 | 1 << 5},
        {1, 2, 255, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x01FFFFFF},
        {1, 2, 255, 0xFFFFFF, 0x000001, 0x0000FF, 0x0001FF},
        {1, 3, 255, 0xFFFFFF, 0x010101, 0xFF808080, 0x81817F},  // byte 3 cleared, low bits from the borrows
        {1, 3, 0, 0xFFFFFF, 0x010101, 0x808080, 0x808080},        // p 0 draws nothing
        {1, 5, 255, 0xFFFFFF, 0x010101, 0x808080, 0x808080},
    };
    MEMIMGVertex v[3] = {{0, 0, 0, 0}, {8, 0, 0, 0}, {0, 8, 0, 0}};
    for (const Case& c : cases) {
        Make(c.type);
        Clear(c.d);
        g_drawState.blendMode = c.mode;
        g_drawState.blendParam = c.p;
        g_drawState.brightColor = c.bright;
        PutMEMIMGTriangle(&img, nullptr, v, 1, nullptr, c.col);
        EXPECT_EQ(Get(1, 1), c.want) << std::hex << "type " << c.type << " mode " << c.mode << " col " << c.col;
        EXPECT_EQ(Get(15, 15), c.d);
    }
}

// An 8 x 6 source numbered by position, 32-bit.
void MakeSource(MEMIMG* src) {
    ASSERT_EQ(SetupMEMIMG(src, 8, 6, -1, 0, 1, 0, 0, 0), 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            uint32_t v = (uint32_t)(y * 8 + x + 1);
            std::memcpy(src->pixels + y * src->pitch + x * 4, &v, 4);
        }
}

TEST_F(TriangleTest, QuadMapsTheSourceOneToOneAndScaled) {
    MEMIMG src{};
    MakeSource(&src);
    MEMIMGPoint p[4] = {{4, 3}, {12, 3}, {4, 9}, {12, 9}};
    PutMEMIMGQuad(&img, &src, p, 0, nullptr);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint32_t want = x >= 4 && x < 12 && y >= 3 && y < 9 ? (uint32_t)((y - 3) * 8 + (x - 4) + 1) : 0;
            ASSERT_EQ(Get(x, y), want) << x << "," << y;
        }
    // Additive with p 255: the shared edge is drawn by both halves, so doubled.
    Clear(0);
    g_drawState.blendMode = 2;
    PutMEMIMGQuad(&img, &src, p, 0, nullptr);
    int doubled = 0;
    for (int y = 3; y < 9; ++y)
        for (int x = 4; x < 12; ++x) {
            uint32_t s = (uint32_t)((y - 3) * 8 + (x - 4) + 1);
            uint32_t got = Get(x, y);
            ASSERT_TRUE(got == s || got == 2 * s) << x << "," << y << " got " << got;
            doubled += got == 2 * s;
        }
    EXPECT_GT(doubled, 0);
    // Twice the size: each source pixel on 2 x 2 pixels, clipped at the left by the draw area.
    Clear(0);
    g_drawState.blendMode = 0;
    g_drawState.drawArea = {5, 0, 16, 16};
    MEMIMGPoint big[4] = {{2, 1}, {18, 1}, {2, 13}, {18, 13}};
    PutMEMIMGQuad(&img, &src, big, 0, nullptr);
    for (int y = 1; y < 13; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(Get(x, y), x < 5 ? 0u : (uint32_t)((y - 1) / 2 * 8 + (x - 2) / 2 + 1)) << x << "," << y;
    ReleaseMEMIMG(&src);
}

TEST_F(TriangleTest, QuadBoxOutsideTheDrawAreaDrawsNothing) {
    MEMIMG src{};
    ASSERT_EQ(SetupMEMIMG(&src, 4, 4, -1, 0, 1, 0, 0, 0), 0);
    g_drawState.drawArea = {0, 0, 10, 10};
    MEMIMGPoint p[4] = {{12, 0}, {20, 0}, {12, 5}, {20, 5}};
    PutMEMIMGQuad(&img, &src, p, 0, nullptr);
    EXPECT_EQ(Spans(), "");
    ReleaseMEMIMG(&src);
}

// Upright quads at 1:1 and 2:1 of every size up to 64 x 64: each pixel shows the texel it
// covers. The texture steps are then exact, so a step rounded one unit low would shift
// every pixel but the anchor by a texel.
TEST_F(TriangleTest, UprightQuadsOfEverySizeShowEachTexel) {
    constexpr int kMax = 64, kSide = 2 * kMax + 4;
    MEMIMG src{}, dst{};
    ASSERT_EQ(SetupMEMIMG(&src, kMax, kMax, -1, 0, 1, 0, 0, 0), 0);
    ASSERT_EQ(SetupMEMIMG(&dst, kSide, kSide, -1, 0, 1, 0, 0, 0), 0);
    g_drawState.drawArea = {0, 0, kSide, kSide};
    int wrong = 0;
    for (int zoom = 1; zoom <= 2; ++zoom)
        for (int h = 1; h <= kMax; ++h)
            for (int w = 1; w <= kMax && wrong < 10; ++w) {
                src.width = w, src.height = h;  // the same rows, a smaller image
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) qztest::SetMemImgPixel(&src, x, y, (uint32_t)(y << 8 | x) + 1);
                std::memset(dst.pixels, 0, (size_t)dst.pitch * kSide);
                const int ox = 1, oy = 2;
                MEMIMGPoint p[4] = {{ox, oy}, {ox + zoom * w, oy}, {ox, oy + zoom * h}, {ox + zoom * w, oy + zoom * h}};
                PutMEMIMGQuad(&dst, &src, p, 0, nullptr);
                for (int y = 0; y < kSide && wrong < 10; ++y)
                    for (int x = 0; x < kSide; ++x) {
                        const int i = x - ox, j = y - oy;
                        const bool in = i >= 0 && j >= 0 && i < zoom * w && j < zoom * h;
                        const uint32_t want = in ? (uint32_t)(j / zoom << 8 | i / zoom) + 1 : 0;
                        const uint32_t got = qztest::MemImgPixel(&dst, x, y);
                        if (got != want) {
                            ADD_FAILURE() << "zoom " << zoom << " size " << w << "x" << h << " at (" << i << "," << j
                                          << "): got " << std::hex << got << " want " << want;
                            ++wrong;
                            break;
                        }
                    }
            }
    ReleaseMEMIMG(&src);
    ReleaseMEMIMG(&dst);
}

// General triangles against a model: coverage counts come from the untextured walk in
// add mode (the middle row of a left side that turns is walked twice), and each covered
// pixel adds the texel at anchor + the exact affine gradients truncated toward zero.
TEST_F(TriangleTest, TexturedTrianglesFollowTheAnchorAndExactGradients) {
    struct Case {
        MEMIMGVertex v[3];
        const char* what;
    } cases[] = {
        {{{-3, 1, 0, 0}, {9, -2, 7, 0}, {5, 14, 4, 7}}, "negative anchor"},
        {{{6, -3, 2, 0}, {0, 5, 0, 6}, {12, 14, 7, 7}}, "top above row 0, middle on the left: its row drawn twice"},
        {{{2, 1, 0, 0}, {9, 1, 7, 0}, {2, 8, 0, 7}}, "flat top at 1:1"},
        {{{-4, 3, 0, 7}, {11, -5, 7, 0}, {13, 12, 7, 7}}, "negative anchor, rows above the top"},
        {{{0, 0, 0, 0}, {14, 0, 7, 0}, {0, 14, 0, 7}}, "2:1"},
    };
    MEMIMG src{};
    ASSERT_EQ(SetupMEMIMG(&src, 8, 8, -1, 0, 1, 0, 0, 0), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) qztest::SetMemImgPixel(&src, x, y, (uint32_t)(y * 8 + x + 1));  // blue only
    g_drawState.blendMode = 2;
    for (const Case& c : cases) {
        Clear(0);
        PutMEMIMGTriangle(&img, nullptr, c.v, 0, nullptr, 1);
        uint32_t count[16][16];
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) count[y][x] = Get(x, y);
        Clear(0);
        PutMEMIMGTriangle(&img, &src, c.v, 0, nullptr, 0);

        int ax[3] = {0, 1, 2};
        for (int i = 0; i < 2; ++i)
            for (int j = i + 1; j < 3; ++j)
                if (c.v[ax[i]].x > c.v[ax[j]].x) std::swap(ax[i], ax[j]);
        const MEMIMGVertex &a0 = c.v[ax[0]], &a1 = c.v[ax[1]], &a2 = c.v[ax[2]];
        const int64_t dxM = a1.x - a0.x, dyM = a1.y - a0.y, dxR = a2.x - a0.x, dyR = a2.y - a0.y;
        const int64_t det = dxR * dyM - dxM * dyR;
        auto grad = [det](int64_t num) { return num * 262144 / det; };  // truncates toward zero
        const int64_t Ux = grad((int64_t)(a2.u - a0.u) * dyM - (int64_t)(a1.u - a0.u) * dyR);
        const int64_t Uy = grad((int64_t)(a1.u - a0.u) * dxR - (int64_t)(a2.u - a0.u) * dxM);
        const int64_t Vx = grad((int64_t)(a2.v - a0.v) * dyM - (int64_t)(a1.v - a0.v) * dyR);
        const int64_t Vy = grad((int64_t)(a1.v - a0.v) * dxR - (int64_t)(a2.v - a0.v) * dxM);
        // int() of a 14.18 position: a negative coordinate lands one above its floor.
        auto whole = [](int p) { return p < 0 ? p + 1 : p; };
        const int x0 = whole(a0.x), y0 = whole(a0.y);
        bool twice = false;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const int64_t u = (int64_t)a0.u * 262144 + (x - x0) * Ux + (y - y0) * Uy;
                const int64_t v = (int64_t)a0.v * 262144 + (x - x0) * Vx + (y - y0) * Vy;
                const bool inside = u >= 0 && v >= 0 && u < 8 * 262144 && v < 8 * 262144;
                const uint32_t texel = inside ? (uint32_t)((v >> 18) * 8 + (u >> 18) + 1) : 0;
                twice |= count[y][x] == 2;
                ASSERT_EQ(Get(x, y), count[y][x] * texel) << c.what << " at (" << x << "," << y << ")";
            }
        if (std::string(c.what).find("twice") != std::string::npos) {
            EXPECT_TRUE(twice) << c.what;
        }
    }
    ReleaseMEMIMG(&src);
}

}  // namespace

}  // namespace QzDrawTriangle_test
