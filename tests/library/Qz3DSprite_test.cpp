// Sprites through Direct3D: where the quads' corners land, which pixels they cover and
// which texel each pixel shows; clipping, rotation pivots, free corners, the batch and
// its limits, the CPU-target flag, additive drawing and the bright colour.
#include <cmath>
#include <cstring>
#include <random>

#include "Qz3DFixture.h"

namespace Qz3DSprite_test {

namespace {

using d3dfix::kGuard;
using d3dfix::Pattern;

std::vector<D3DVertexTex1> Vertices1(const ptest::D3DCall& call) {
    std::vector<D3DVertexTex1> v(call.vertices.size() / sizeof(D3DVertexTex1));
    std::memcpy(v.data(), call.vertices.data(), v.size() * sizeof(D3DVertexTex1));
    return v;
}

const ptest::D3DCall* Find(const std::vector<ptest::D3DCall>& calls, const std::string& method) {
    for (const auto& c : calls)
        if (c.method == method)
            return &c;
    return nullptr;
}

class SpriteTest : public d3dfix::D3DTest {
protected:
    // The screen after one draw onto the guard colour.
    template <typename Draw>
    std::vector<uint32_t> DrawOnGuard(Draw draw) {
        ClearBack();
        draw();
        return Back();
    }
    static int CountChanged(const std::vector<uint32_t>& screen) {
        int n = 0;
        for (uint32_t p : screen)
            n += p != kGuard;
        return n;
    }
};

TEST_F(SpriteTest, PlainSpritePutsEachTexelOnItsPixelAndTouchesNothingElse) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    ClearBack();
    std::vector<ptest::D3DCall> calls = Calls([&] {
        EXPECT_EQ(G_D3D_DrawGraph(10, 20, g, 0, 1), 0);
        G_D3D_FlushVertexBatch();
    });
    const ptest::D3DCall* draw = Find(calls, "DrawPrimitive");
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->args[0], (uint64_t)D3DPT_TRIANGLELIST);
    EXPECT_EQ(draw->args[1], (uint64_t)kD3DFvfTex1);
    std::vector<D3DVertexTex1> v = Vertices1(*draw);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].x, 9.5f);
    EXPECT_EQ(v[0].y, 19.5f);
    EXPECT_EQ(v[3].x, 41.5f);
    EXPECT_EQ(v[3].y, 51.5f);
    EXPECT_EQ(v[0].u, 0.0f);
    EXPECT_EQ(v[3].u, 1.0f);
    EXPECT_EQ(v[3].v, 1.0f);
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);

    std::vector<uint32_t> screen = Back();
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i)
            ASSERT_EQ(At(screen, 10 + i, 20 + j), Pattern(i, j)) << "texel " << i << "," << j;
    EXPECT_EQ(ChangedOutside(screen, 10, 20, 42, 52), 0);
}

// A draw that nothing clips writes each piece straight from its record: corners placed at
// the draw position less half a pixel (TL, TR, BL, BR, BL, TR), the piece's texture
// coordinates, with a blend graphic its coordinates over the blend texture, and the
// diffuse colour on the first vertex of each triangle. Graphics of one and of several
// pieces, whole and fractional positions, both vertex formats.
TEST_F(SpriteTest, UnclippedDrawsWriteEachPieceAtItsPlacedCorners) {
    Start();
    GraphData* blend = FilledGraph(48, 40, [](int x, int y) { return (uint32_t)(x + y) << 24; }, 1);
    const int sizes[][2] = {{7, 5}, {64, 32}, {300, 70}};
    std::mt19937 rng(0x5EED);
    bool severalPieces = false;
    for (int withBlend = 0; withBlend < 2; ++withBlend) {
        ASSERT_EQ(G_D3D_SelectBlendGraph(withBlend ? blend : nullptr, withBlend ? 128 : -1, withBlend ? 100 : -1), 0);
        const float blendW = withBlend ? 1.0f / (float)Store(blend)->width : 0.0f;
        const float blendH = withBlend ? 1.0f / (float)Store(blend)->height : 0.0f;
        for (const auto& size : sizes) {
            g_d3d.maxTextureSize = 64;  // the widest graphic takes several textures
            GraphData* g = FilledGraph(size[0], size[1], Pattern);
            g_d3d.maxTextureSize = 2048;
            severalPieces = severalPieces || g->pieceCount > 1;
            for (int n = 0; n < 6; ++n) {
                const int intFlag = n % 2;
                const double x = double(rng() % uint32_t(640 - size[0])) + (intFlag ? 0.0 : (rng() % 4) / 4.0);
                const double y = double(rng() % uint32_t(480 - size[1])) + (intFlag ? 0.0 : (rng() % 4) / 4.0);
                SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " at " << x << "," << y
                                                << (withBlend ? " with a blend graphic" : ""));
                std::vector<ptest::D3DCall> calls = Calls([&] {
                    ASSERT_EQ(G_D3D_DrawGraph(x, y, g, 0, intFlag), 0);
                    G_D3D_FlushVertexBatch();
                });
                // One batch per piece: each piece binds its own texture.
                std::vector<uint8_t> vertices;
                for (const ptest::D3DCall& call : calls)
                    if (call.method == "DrawPrimitive")
                        vertices.insert(vertices.end(), call.vertices.begin(), call.vertices.end());
                const size_t stride = withBlend ? sizeof(D3DVertexTex2) : sizeof(D3DVertexTex1);
                ASSERT_EQ(vertices.size(), stride * 6 * g->pieceCount);
                const float ox = (float)(intFlag ? (double)(int)x : (double)(float)x) - 0.5f;
                const float oy = (float)(intFlag ? (double)(int)y : (double)(float)y) - 0.5f;
                for (int i = 0; i < g->pieceCount; ++i) {
                    const D3DVertexTex1* c = Piece(g, i)->vertices;
                    const float u[2] = {c[0].u, c[1].u}, v[2] = {c[0].v, c[2].v};
                    const float px[2] = {ox + c[0].x, ox + c[1].x}, py[2] = {oy + c[0].y, oy + c[2].y};
                    const int corners[6] = {0, 1, 2, 3, 2, 1};
                    for (int k = 0; k < 6; ++k) {
                        const int at = corners[k];
                        const uint8_t* vertex = vertices.data() + stride * (6 * i + k);
                        float got[8];
                        std::memcpy(got, vertex, 4 * 2);
                        EXPECT_EQ(got[0], px[at & 1]) << "piece " << i << " vertex " << k;
                        EXPECT_EQ(got[1], py[at >> 1]) << "piece " << i << " vertex " << k;
                        uint32_t diffuse;
                        std::memcpy(&diffuse, vertex + 16, 4);
                        if (k == 0 || k == 3) {
                            EXPECT_EQ(diffuse, 0xFFFFFFFFu) << "piece " << i << " vertex " << k;
                        }
                        std::memcpy(got, vertex + (withBlend ? 24 : 20), withBlend ? 16 : 8);
                        const float* uv = withBlend ? got + 2 : got;
                        EXPECT_EQ(uv[0], u[at & 1]) << "piece " << i << " vertex " << k;
                        EXPECT_EQ(uv[1], v[at >> 1]) << "piece " << i << " vertex " << k;
                        if (withBlend) {
                            EXPECT_EQ(got[0], c[at].x * blendW) << "piece " << i << " vertex " << k;
                            EXPECT_EQ(got[1], c[at].y * blendH) << "piece " << i << " vertex " << k;
                        }
                    }
                }
            }
        }
    }
    EXPECT_TRUE(severalPieces);
    EXPECT_EQ(G_D3D_SelectBlendGraph(nullptr, -1, -1), 0);
}

TEST_F(SpriteTest, LeftClippedSpriteMovesUAndShowsTheUnclippedPixels) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    ClearBack();
    std::vector<ptest::D3DCall> calls = Calls([&] {
        EXPECT_EQ(G_D3D_DrawGraph(-5, 0, g, 0, 1), 0);
        G_D3D_FlushVertexBatch();
    });
    const ptest::D3DCall* draw = Find(calls, "DrawPrimitive");
    ASSERT_NE(draw, nullptr);
    std::vector<D3DVertexTex1> v = Vertices1(*draw);
    EXPECT_EQ(v[0].x, 0.0f);                  // clamped, was -5.5
    EXPECT_EQ(v[0].u, 5.5f / 32.0f);          // moved by 5.5 texels
    EXPECT_EQ(v[2].x, 0.0f);
    EXPECT_EQ(v[3].x, 26.5f);                 // the right corners stay
    EXPECT_EQ(v[3].u, 1.0f);
    std::vector<uint32_t> screen = Back();
    for (int j = 0; j < 32; ++j)
        for (int x = 0; x < 27; ++x)
            ASSERT_EQ(At(screen, x, j), Pattern(x + 5, j)) << x << "," << j;
    EXPECT_EQ(ChangedOutside(screen, 0, 0, 27, 32), 0);
}

struct RotationCase {
    const char* name;
    int w, h;
    int left, top;  // where the graphic's top-left pixel lands when centred on (100, 100)
};

TEST_F(SpriteTest, UnrotatedDrawsAtScaleOneCoverExactlyTheirPixels) {
    Start();
    const RotationCase cases[] = {
        {"32 x 32: pivot 16, centre -0.5", 32, 32, 84, 84},
        {"33 x 33: pivot 16.5", 33, 33, 84, 84},
        {"32 x 33: pivot 15.5, 16.5", 32, 33, 85, 84},
    };
    for (const RotationCase& c : cases) {
        SCOPED_TRACE(c.name);
        GraphData* g = FilledGraph(c.w, c.h, Pattern);
        std::vector<uint32_t> screen =
            DrawOnGuard([&] { EXPECT_EQ(G_D3D_DrawScaleRotateGraph(100, 100, 1.0, 0.0, g, 0, 0), 0); });
        EXPECT_EQ(CountChanged(screen), c.w * c.h);
        EXPECT_EQ(At(screen, c.left, c.top), Pattern(0, 0));
        EXPECT_EQ(At(screen, c.left + c.w - 1, c.top + c.h - 1), Pattern(c.w - 1, c.h - 1));
    }
}

TEST_F(SpriteTest, MirrorSwapsLeftAndRightAndAQuarterTurnGoesClockwise) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    std::vector<uint32_t> mirrored =
        DrawOnGuard([&] { EXPECT_EQ(G_D3D_DrawScaleRotateGraph(100, 100, 1.0, 0.0, g, 0, 1), 0); });
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i)
            ASSERT_EQ(At(mirrored, 84 + i, 84 + j), Pattern(31 - i, j)) << i << "," << j;

    // Clockwise on screen: the top row (texel y 0) becomes the right-hand column.
    std::vector<uint32_t> turned =
        DrawOnGuard([&] { EXPECT_EQ(G_D3D_DrawScaleRotateGraph(100, 100, 1.0, M_PI / 2, g, 0, 0), 0); });
    EXPECT_EQ(CountChanged(turned), 32 * 32);
    for (int m = -16; m < 16; ++m)
        for (int k = -16; k < 16; ++k)
            ASSERT_EQ(At(turned, 100 + k, 100 + m), Pattern(16 + m, 15 - k)) << k << "," << m;
    EXPECT_EQ(At(turned, 115, 84), Pattern(0, 0));
}

TEST_F(SpriteTest, ZeroScaleAndZeroWidthStretchAreRefused) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    std::vector<uint32_t> screen = DrawOnGuard([&] {
        EXPECT_EQ(G_D3D_DrawScaleRotateGraph(100, 100, 0.0, 0.0, g, 0, 0), -1);
        EXPECT_EQ(G_D3D_DrawStretchedGraph(10, 10, 10, 50, g, 0, 1), -1);
        EXPECT_EQ(G_D3D_DrawStretchedGraph(10.2, 10, 10.7, 50, g, 0, 0), -1);  // equal as integers
        EXPECT_EQ(Slot()->batchCount, 0);
    });
    EXPECT_EQ(CountChanged(screen), 0);
}

TEST_F(SpriteTest, StretchedDrawDoublesEachTexelExactly) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    std::vector<uint32_t> screen =
        DrawOnGuard([&] { EXPECT_EQ(G_D3D_DrawStretchedGraph(100, 50, 164, 114, g, 0, 1), 0); });
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(At(screen, 100 + x, 50 + y), Pattern(x / 2, y / 2)) << x << "," << y;
    EXPECT_EQ(ChangedOutside(screen, 100, 50, 164, 114), 0);
}

TEST_F(SpriteTest, UprightIntegerFreeQuadIsTheStretchedDraw) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    std::vector<uint32_t> stretched =
        DrawOnGuard([&] { EXPECT_EQ(G_D3D_DrawStretchedGraph(10, 20, 74, 68, g, 0, 1), 0); });
    std::vector<uint32_t> quad =
        DrawOnGuard([&] { EXPECT_EQ(G_D3D_DrawFreeQuadGraphInt(10, 20, 74, 20, 10, 68, 74, 68, g, 0), 0); });
    EXPECT_TRUE(stretched == quad);
}

TEST_F(SpriteTest, ParallelogramBatchesTwoTrianglesTrapezoidDrawsAGrid) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    ClearBack();
    std::vector<ptest::D3DCall> calls = Calls([&] {
        // Sheared by 16 pixels: still a parallelogram.
        EXPECT_EQ(G_D3D_DrawFreeQuadGraph(100, 100, 132, 100, 116, 132, 148, 132, g, 0), 0);
        EXPECT_EQ(Slot()->batchCount, 6);
    });
    EXPECT_EQ(CountCalls(calls, "DrawPrimitive"), 0);
    EXPECT_EQ(CountCalls(calls, "DrawIndexedPrimitive"), 0);

    calls = Calls([&] { EXPECT_EQ(G_D3D_DrawFreeQuadGraph(200, 100, 232, 100, 190, 132, 242, 132, g, 0), 0); });
    EXPECT_EQ(CountCalls(calls, "DrawPrimitive"), 1);  // the parallelogram, flushed first
    const ptest::D3DCall* grid = Find(calls, "DrawIndexedPrimitive");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->args[2], 64u);   // vertices
    EXPECT_EQ(grid->args[3], 124u);  // indices
    EXPECT_EQ(Slot()->batchCount, 0);
    std::vector<uint32_t> screen = Back();
    EXPECT_NE(At(screen, 216, 116), kGuard);
    EXPECT_NE(At(screen, 130, 116), kGuard);  // the parallelogram
    EXPECT_EQ(ChangedOutside(screen, 100, 100, 243, 132), 0);
}

TEST_F(SpriteTest, CpuTargetFlagMakesEveryDrawANoOp) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    ClearBack();
    g_d3d.cpuTarget = 1;
    std::vector<ptest::D3DCall> calls = Calls([&] {
        EXPECT_EQ(G_D3D_DrawGraph(10, 10, g, 0, 1), 0);
        EXPECT_EQ(G_D3D_DrawStretchedGraph(10, 10, 50, 50, g, 0, 1), 0);
        EXPECT_EQ(G_D3D_DrawScaleRotateGraph(100, 100, 1.0, 0.3, g, 0, 0), 0);
        EXPECT_EQ(G_D3D_DrawFreeQuadGraph(0, 0, 30, 0, 0, 30, 40, 40, g, 0), 0);
        EXPECT_EQ(G_D3D_DrawFreeQuadGraphInt(0, 0, 30, 0, 0, 30, 40, 40, g, 0), 0);
        EXPECT_EQ(Slot()->batchCount, 0);
    });
    EXPECT_TRUE(calls.empty());
    g_d3d.cpuTarget = 0;
    EXPECT_EQ(CountChanged(Back()), 0);
}

TEST_F(SpriteTest, ThreeHundredNinetyQuadsFillTheBatchAndTheNextDrawsIt) {
    Start();
    GraphData* g = FilledGraph(8, 8, Pattern);
    G_D3D_DrawGraph(0, 0, g, 0, 1);
    G_D3D_FlushVertexBatch();
    std::vector<ptest::D3DCall> calls = Calls([&] {
        for (int i = 0; i < 390; ++i)
            G_D3D_DrawGraph(i % 80 * 8, i / 80 * 8, g, 0, 1);
        EXPECT_EQ(Slot()->batchCount, 2340);
    });
    EXPECT_EQ(CountCalls(calls, "DrawPrimitive"), 0);
    calls = Calls([&] { G_D3D_DrawGraph(0, 100, g, 0, 1); });
    const ptest::D3DCall* draw = Find(calls, "DrawPrimitive");
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->args[2], 2340u);
    EXPECT_EQ(Slot()->batchCount, 6);
}

TEST_F(SpriteTest, BadSecondPieceEndsTheDrawAndKeepsTheFirstQueued) {
    Start();
    GraphData* g = FilledGraph(640, 32, Pattern);
    ASSERT_EQ(g->pieceCount, 2);
    int second = g->pieces[1];
    g->pieces[1] = MakeHandle(kHandleKindSurface3D, 60000, 1);
    G_D3D_FlushVertexBatch();
    EXPECT_EQ(G_D3D_DrawGraph(0, 0, g, 0, 1), -1);
    EXPECT_EQ(Slot()->batchCount, 6);
    g->pieces[1] = second;
}

TEST_F(SpriteTest, AdditiveDrawAddsTheParameterShareAndZeroAddsNothing) {
    Start();
    GraphData* g = FilledGraph(16, 16, [](int x, int y) { return (uint32_t)(x * 16) << 16 | (uint32_t)(y * 16) << 8 | 200; });
    const uint32_t ground = 0x00404040;
    for (int param : {255, 128, 0}) {
        SCOPED_TRACE(param);
        ClearBack(ground);
        SetBlend(2, param);
        EXPECT_EQ(G_D3D_DrawGraph(50, 50, g, 0, 1), 0);
        std::vector<uint32_t> screen = Back();
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                auto add = [&](int src, int dst) {
                    return std::min(255, dst + (int)std::floor(src * param / 255.0 + 0.5));
                };
                uint32_t want = (uint32_t)add(x * 16, 0x40) << 16 | (uint32_t)add(y * 16, 0x40) << 8 |
                                (uint32_t)add(200, 0x40);
                ASSERT_EQ(At(screen, 50 + x, 50 + y), want) << x << "," << y;
            }
    }
}

TEST_F(SpriteTest, BrightColourModulatesEveryChannel) {
    Start();
    GraphData* g = FilledGraph(16, 16, Pattern);
    ClearBack();
    SetBright(0xFF8040);
    EXPECT_EQ(G_D3D_DrawGraph(20, 20, g, 0, 1), 0);
    std::vector<uint32_t> screen = Back();
    auto mul = [](uint32_t t, uint32_t b) { return (uint32_t)std::floor(t * b / 255.0 + 0.5); };
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint32_t t = Pattern(x, y);
            uint32_t want = mul(t >> 16 & 0xFF, 0xFF) << 16 | mul(t >> 8 & 0xFF, 0x80) << 8 | mul(t & 0xFF, 0x40);
            ASSERT_EQ(At(screen, 20 + x, 20 + y), want) << x << "," << y;
        }
}

}  // namespace

}  // namespace Qz3DSprite_test
