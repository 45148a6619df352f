// Boxes, blend modes (subtraction through its three passes), texture graphics as render
// targets, clearing and filling them piece by piece, and the read-back dispatcher that
// remembers the method that worked.
#include <algorithm>
#include <cmath>

#include "Qz3DFixture.h"

namespace Qz3DScene_test {

namespace {

using d3dfix::kGuard;
using d3dfix::Pattern;

uint32_t Rgb(int r, int g, int b) {
    return (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
}
int Product(int a, int b) {
    return (int)std::floor(a * b / 255.0 + 0.5);
}

class SceneTest : public d3dfix::D3DTest {
protected:
    // Subtraction as the front end brackets it: invert, add, invert.
    template <typename Draw>
    static void Subtract(int param, const RECT& r, Draw draw) {
        uint32_t bright = g_drawState.brightColor;
        uint32_t white = GetScreenColorValue(255, 255, 255);
        SetBright(0xFFFFFF);
        SetBlend(3, 255);
        G_D3D_FillBox(r.left, r.top, r.right, r.bottom, white);
        SetBright(bright);
        SetBlend(5, param);
        draw();
        SetBright(0xFFFFFF);
        SetBlend(3, 255);
        G_D3D_FillBox(r.left, r.top, r.right, r.bottom, white);
        SetBright(bright);
        SetBlend(3, param);
    }
    GraphData* DerivedPart(GraphData* sheet, int x, int y, int w, int h) {
        auto* p = (GraphData*)AllocZeroedMemory((int)sizeof(GraphData), "test", __LINE__);
        *p = *sheet;
        p->pieceCount = 0;
        p->width = w;
        p->height = h;
        RegisterGraphData(p);
        graphs_.push_back(p);
        EXPECT_EQ(G_D3D_BuildDerivedGraphPieces(p, x, y, w, h, sheet), 0);
        return p;
    }
};

TEST_F(SceneTest, FilledBoxCoversTheSamePixelsWhateverTheCornerOrder) {
    Start();
    const int corners[][4] = {{10, 20, 50, 40}, {50, 40, 10, 20}, {50, 20, 10, 40}, {10, 40, 50, 20}};
    for (const auto& c : corners) {
        SCOPED_TRACE(testing::Message() << c[0] << "," << c[1] << " " << c[2] << "," << c[3]);
        ClearBack();
        ASSERT_EQ(G_D3D_FillBox(c[0], c[1], c[2], c[3], GetScreenColorValue(0, 255, 0)), 0);
        std::vector<uint32_t> screen = Back();
        EXPECT_EQ(At(screen, 10, 20), 0x00FF00u);
        EXPECT_EQ(At(screen, 49, 39), 0x00FF00u);
        EXPECT_EQ(std::count(screen.begin(), screen.end(), 0x00FF00u), 40 * 20);
        EXPECT_EQ(ChangedOutside(screen, 10, 20, 50, 40), 0);
    }
    SetDrawArea(RECT{0, 0, 100, 100});
    G_D3D_FlushVertexBatch();
    EXPECT_EQ(G_D3D_FillBox(200, 200, 300, 300, 0), 0);
    EXPECT_EQ(Slot()->batchCount, 0);
    EXPECT_EQ(G_D3D_FillBox(50, 50, 50, 90, 0), 0);
    EXPECT_EQ(Slot()->batchCount, 0);
}

TEST_F(SceneTest, OutlineLightsTheTwoRowsAndTwoColumnsExactly) {
    Start();
    ClearBack();
    ASSERT_EQ(G_D3D_OutlineBox(10, 10, 20, 20, GetScreenColorValue(255, 255, 255)), 0);
    std::vector<uint32_t> screen = Back();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            bool lit = x >= 10 && x <= 19 && y >= 10 && y <= 19 && (x == 10 || x == 19 || y == 10 || y == 19);
            ASSERT_EQ(At(screen, x, y), lit ? 0xFFFFFFu : kGuard) << x << "," << y;
        }
    EXPECT_EQ(ChangedOutside(screen, 10, 10, 20, 20), 0);
}

TEST_F(SceneTest, SubtractedBoxTakesItsColourOffEachChannel) {
    Start();
    ClearBack(Rgb(100, 20, 60));
    RECT r = {5, 5, 25, 15};
    Subtract(255, r, [&] { G_D3D_FillBox(r.left, r.top, r.right, r.bottom, GetScreenColorValue(40, 40, 40)); });
    std::vector<uint32_t> screen = Back();
    EXPECT_EQ(At(screen, 5, 5), Rgb(60, 0, 20));
    EXPECT_EQ(At(screen, 24, 14), Rgb(60, 0, 20));
    EXPECT_EQ(At(screen, 25, 14), Rgb(100, 20, 60));
}

TEST_F(SceneTest, EveryBlendModeOnASprite) {
    Start();
    const int s[3] = {200, 100, 50};
    const int d[3] = {40, 180, 120};
    GraphData* g = FilledGraph(8, 8, [&](int, int) { return Rgb(s[0], s[1], s[2]); });
    struct Case {
        const char* name;
        int mode, param;
        int (*blend)(int src, int dst, int a);
    };
    const Case cases[] = {
        {"none", 0, 128, [](int src, int, int) { return src; }},
        {"alpha", 1, 128, [](int src, int dst, int a) { return std::min(255, Product(src, a) + Product(dst, 255 - a)); }},
        {"add", 2, 128, [](int src, int dst, int a) { return std::min(255, dst + Product(src, a)); }},
        {"add, full", 2, 255, [](int src, int dst, int a) { return std::min(255, dst + Product(src, a)); }},
        {"multiply", 4, 255, [](int src, int dst, int) { return Product(dst, src); }},
        {"subtract", 3, 128, [](int src, int dst, int a) { return std::max(0, dst - Product(src, a)); }},
        {"subtract, full", 3, 255, [](int src, int dst, int a) { return std::max(0, dst - Product(src, a)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearBack(Rgb(d[0], d[1], d[2]));
        if (c.mode == 3) {
            Subtract(c.param, RECT{30, 30, 38, 38}, [&] { ASSERT_EQ(G_D3D_DrawGraph(30, 30, g, 0, 1), 0); });
        } else {
            SetBlend(c.mode, c.param);
            ASSERT_EQ(G_D3D_DrawGraph(30, 30, g, 0, 1), 0);
        }
        std::vector<uint32_t> screen = Back();
        uint32_t want = Rgb(c.blend(s[0], d[0], c.param), c.blend(s[1], d[1], c.param), c.blend(s[2], d[2], c.param));
        EXPECT_EQ(At(screen, 30, 30), want);
        EXPECT_EQ(At(screen, 37, 37), want);
        EXPECT_EQ(At(screen, 38, 37), Rgb(d[0], d[1], d[2]));
        EXPECT_EQ(At(screen, 29, 30), Rgb(d[0], d[1], d[2]));
        SetBlend(0, 255);
    }
}

TEST_F(SceneTest, TextureGraphicAsRenderTarget) {
    Start();
    GraphData* target = TextureGraph(64, 64, 0, 0, 1);
    GraphData* sprite = FilledGraph(8, 8, Pattern);
    ASSERT_EQ(G_D3D_SelectDrawTarget(target->handle), 0);
    g_drawState.drawScreen = target->handle;
    SetDrawArea(RECT{0, 0, 64, 64});
    ASSERT_EQ(G_D3D_FillBox(0, 0, 10, 10, GetScreenColorValue(255, 0, 0)), 0);
    ASSERT_EQ(G_D3D_DrawGraph(20, 30, sprite, 0, 1), 0);
    G_D3D_EndScene();
    std::vector<uint32_t> t = Read32(Store(target)->surface);
    EXPECT_EQ(t[9 * 64 + 9] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(t[10 * 64 + 10] & 0xFFFFFF, 0u);
    EXPECT_EQ(t[33 * 64 + 22] & 0xFFFFFF, Pattern(2, 3));

    // Only a graphic whose store can be a render target.
    GraphData* plain = TextureGraph(16, 16);
    EXPECT_EQ(G_D3D_SelectDrawTarget(plain->handle), -1);
    SelectDrawTarget(kDrawTargetBack);
}

TEST_F(SceneTest, TargetOfSeveralPiecesLeavesDirect3DDrawingOff) {
    Start();
    g_d3d.maxTextureSize = 512;  // a render target wider than that takes two textures
    GraphData* wide = TextureGraph(640, 64, 0, 0, 1);
    g_d3d.maxTextureSize = 2048;
    ASSERT_EQ(wide->pieceCount, 2);
    GraphData* sprite = FilledGraph(8, 8, Pattern);
    ClearBack();
    EXPECT_EQ(G_D3D_SelectDrawTarget(wide->handle), -1);
    EXPECT_EQ(g_d3d.cpuTarget, 1);
    EXPECT_EQ(G_D3D_DrawGraph(0, 0, sprite, 0, 1), 0);
    EXPECT_EQ(Slot()->batchCount, 0);
    EXPECT_EQ(Slot()->currentTarget, Slot()->defaultTarget);
    SelectDrawTarget(kDrawTargetBack);
    EXPECT_EQ(g_d3d.cpuTarget, 0);
    ASSERT_EQ(G_D3D_DrawGraph(0, 0, sprite, 0, 1), 0);
    EXPECT_EQ(At(Back(), 1, 1), Pattern(1, 1));
}

TEST_F(SceneTest, ClearingAndFillingADerivedGraphicKeepItsSiblings) {
    Start();
    GraphData* sheet = TextureGraph(64, 64, 0, 0, 1);
    d3dfix::Image image(64, 64, false, Pattern);
    ASSERT_EQ(G_D3D_UploadImageToGraph(nullptr, nullptr, nullptr, 0, 0, sheet, 0, &image.image, nullptr), 0);
    GraphData* part = DerivedPart(sheet, 16, 8, 32, 24);

    g_drawState.drawScreen = part->handle;
    ASSERT_EQ(G_D3D_ClearDrawTarget(), 0);
    g_drawState.drawScreen = kDrawTargetBack;
    std::vector<uint32_t> t = Read32(Store(sheet)->surface);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            bool inside = x >= 16 && x < 48 && y >= 8 && y < 32;
            ASSERT_EQ(t[(size_t)y * 64 + x] & 0xFFFFFF, inside ? 0u : Pattern(x, y)) << x << "," << y;
        }

    ASSERT_EQ(G_D3D_FillGraph(part, 1, 2, 3, 255), 0);
    t = Read32(Store(sheet)->surface);
    EXPECT_EQ(t[8 * 64 + 16] & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(t[31 * 64 + 47] & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(t[7 * 64 + 16] & 0xFFFFFF, Pattern(16, 7));
    EXPECT_EQ(t[8 * 64 + 48] & 0xFFFFFF, Pattern(48, 8));
}

TEST_F(SceneTest, CaptureRemembersTheWorkingMethodPerAlphaKindAndWalksAgainAfterAFailure) {
    Start();
    GraphData* plain = FilledGraph(16, 16, Pattern);
    GraphData* alpha = FilledGraph(16, 16, Pattern, 1);
    EXPECT_EQ(g_d3d.captureMethod[0], -1);
    // The work surface cannot be locked: the first method fails and the walk goes on.
    ptest::FailCall("LockSurface");
    EXPECT_EQ(G_D3D_CaptureDrawTarget(0, 0, 16, 16, plain, 1), 0);
    EXPECT_EQ(g_d3d.captureMethod[0], 1);  // the blit
    EXPECT_EQ(G_D3D_CaptureDrawTarget(0, 0, 16, 16, alpha, 1), 0);
    EXPECT_EQ(g_d3d.captureMethod[1], 0);  // formats differ: only the conversion works
    EXPECT_EQ(g_d3d.captureMethod[0], 1);

    // The remembered method is tried first.
    ptest::RecordGraphicsCalls(true);
    EXPECT_EQ(G_D3D_CaptureDrawTarget(0, 0, 16, 16, plain, 1), 0);
    std::vector<ptest::GraphicsCall> journal = ptest::TakeGraphicsCalls();
    ptest::RecordGraphicsCalls(false);
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(std::count_if(journal.begin(), journal.end(), [](const auto& c) { return c.method == "Lock"; }), 0);

    // Everything fails on a lost texture: nothing is remembered, and the next call walks
    // from the first method again.
    ptest::MarkSurfaceLost(Store(plain)->surface);
    EXPECT_LT(G_D3D_CaptureDrawTarget(0, 0, 16, 16, plain, 1), 0);
    EXPECT_EQ(g_d3d.captureMethod[0], -1);
    RestoreSurfaceData(Piece(plain)->surfaceData);
    EXPECT_EQ(G_D3D_CaptureDrawTarget(0, 0, 16, 16, plain, 1), 0);
    EXPECT_EQ(g_d3d.captureMethod[0], 0);

    g_d3d.cpuTarget = 1;
    EXPECT_EQ(G_D3D_CaptureDrawTarget(0, 0, 16, 16, plain, 1), 0);
    g_d3d.cpuTarget = 0;
}

}  // namespace

}  // namespace Qz3DScene_test
