// The Direct3D device slot: the state cache and its flushes, the blend table and the
// texture-stage records as the device receives them, the border ramps of blend graphics,
// the vertex grid, untextured boxes after sprites, and a device loss with re-creation.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Qz3DFixture.h"

namespace Qz3DDevice_test {

namespace {

using d3dfix::kGuard;
using d3dfix::Pattern;

class DeviceTest : public d3dfix::D3DTest {
protected:
    // A sprite queued (and left in the batch).
    void Queue(GraphData* g) {
        G_D3D_FlushVertexBatch();
        ASSERT_EQ(G_D3D_DrawGraph(0, 0, g, 0, 1), 0);
        ASSERT_EQ(Slot()->batchCount, 6);
    }
    static std::vector<std::pair<uint64_t, uint64_t>> RenderStates(const std::vector<ptest::D3DCall>& calls) {
        std::vector<std::pair<uint64_t, uint64_t>> out;
        for (const auto& c : calls)
            if (c.method == "SetRenderState")
                out.emplace_back(c.args[0], c.args[1]);
        return out;
    }
};

TEST_F(DeviceTest, UnchangedBlendStateKeepsTheBatchAChangeFlushesAndSendsOnlyTheDifference) {
    Start();
    GraphData* g = FilledGraph(16, 16, Pattern);
    Queue(g);
    int slot = g_d3d.currentSlot;
    D3DDeviceSlot* s = Slot();
    std::vector<ptest::D3DCall> calls = Calls([&] {
        EXPECT_EQ(G_D3D_SetBlendState(s->blendMode, s->alphaTest, s->alphaChannel, slot), 0);
    });
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(s->batchCount, 6);

    calls = Calls([&] { EXPECT_EQ(G_D3D_SetBlendState(2, 0, 0, slot), 0); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].method, "DrawPrimitive");
    EXPECT_EQ(s->batchCount, 0);
    EXPECT_EQ(s->stateDirty, 1);

    // Mode 2 over the same texture: blending on and row 2's factors, nothing else.
    calls = Calls([&] { EXPECT_EQ(G_D3D_ApplyStates(slot), 0); });
    using RS = std::pair<uint64_t, uint64_t>;
    EXPECT_EQ(RenderStates(calls), (std::vector<RS>{{D3DRENDERSTATE_ALPHABLENDENABLE, 1},
                                                    {D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
                                                    {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE}}));
    EXPECT_EQ(calls.size(), 3u);
    EXPECT_EQ(G_D3D_ApplyStates(slot), -1);  // nothing pending

    // Forced: every render state and every stage, whatever the cache says.
    s->force = 1;
    calls = Calls([&] { EXPECT_EQ(G_D3D_ApplyStates(slot), 0); });
    s->force = 0;
    EXPECT_EQ(RenderStates(calls).size(), 7u);
    EXPECT_EQ(CountCalls(calls, "SetTexture"), 4);
    EXPECT_GE(CountCalls(calls, "SetTextureStageState"), 4 * 2);
}

TEST_F(DeviceTest, ModeZeroWithAnAlphaChannelBlendsWithRowOne) {
    Start();
    GraphData* g = FilledGraph(16, 16, [](int x, int) { return (uint32_t)(x * 16) << 24 | 0x00FF0000; }, 1);
    ClearBack(0);
    ASSERT_EQ(G_D3D_DrawGraph(0, 0, g, 1, 1), 0);
    ptest::D3DDeviceState st = DeviceState();
    EXPECT_EQ(st.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE], 1u);
    EXPECT_EQ(st.renderStates[D3DRENDERSTATE_SRCBLEND], (uint32_t)D3DBLEND_SRCALPHA);
    EXPECT_EQ(st.renderStates[D3DRENDERSTATE_DESTBLEND], (uint32_t)D3DBLEND_INVSRCALPHA);
    std::vector<uint32_t> screen = Back();
    EXPECT_EQ(At(screen, 8, 3), (uint32_t)std::lround(255.0 * 128 / 255) << 16);
}

TEST_F(DeviceTest, FilterModesOutsideTheTwoAreRefused) {
    Start();
    EXPECT_EQ(G_D3D_SetFilterStates(1, g_d3d.currentSlot), 0);
    EXPECT_EQ(G_D3D_SetFilterStates(2, g_d3d.currentSlot), -1);
    EXPECT_EQ(Slot()->filterMode, 1);
    EXPECT_EQ(DeviceState().stageStates[0][D3DTSS_MAGFILTER], (uint32_t)D3DTFG_LINEAR);
}

struct RampCase {
    int range, param;
    uint32_t factor;   // TEXTUREFACTOR's alpha byte
    uint32_t op0, op1;  // stage 0 and stage 1 alpha ops
    int alphaTest;
    uint32_t alphaRef;  // when alphaTest
};

TEST_F(DeviceTest, BorderRampsTurnParameterAndRangeIntoFactorOpsAndReference) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    GraphData* blend = FilledGraph(32, 32, [](int x, int) { return (uint32_t)(x * 8) << 24; }, 1);
    const RampCase cases[] = {
        {0, 0, 0, D3DTOP_ADD, D3DTOP_SELECTARG1, 1, 0},
        {0, 128, 0, D3DTOP_ADD, D3DTOP_SELECTARG1, 1, 128},
        {0, 255, 0, D3DTOP_ADD, D3DTOP_SELECTARG1, 1, 255},
        {64, 0, 64, D3DTOP_ADD, D3DTOP_MODULATE4X, 0, 0},
        {64, 128, 97, D3DTOP_SUBTRACT, D3DTOP_MODULATE4X, 0, 0},
        {64, 255, 255, D3DTOP_SUBTRACT, D3DTOP_MODULATE4X, 0, 0},
        {100, 0, 128, D3DTOP_ADD, D3DTOP_MODULATE2X, 0, 0},
        {100, 128, 65, D3DTOP_SUBTRACT, D3DTOP_MODULATE2X, 0, 0},  // t = 383
        {100, 255, 255, D3DTOP_SUBTRACT, D3DTOP_MODULATE2X, 0, 0},
        {200, 0, 255, D3DTOP_ADD, D3DTOP_MODULATE, 0, 0},
        {200, 128, 1, D3DTOP_SUBTRACT, D3DTOP_MODULATE, 0, 0},
        {200, 255, 255, D3DTOP_SUBTRACT, D3DTOP_MODULATE, 0, 0},
    };
    for (const RampCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "range " << c.range << " param " << c.param);
        ASSERT_EQ(G_D3D_SelectBlendGraph(blend, c.param, c.range), 0);
        ClearBack();
        std::vector<ptest::D3DCall> calls = Calls([&] {
            ASSERT_EQ(G_D3D_DrawGraph(10, 10, g, 0, 1), 0);
            G_D3D_FlushVertexBatch();
        });
        ptest::D3DDeviceState st = DeviceState();
        EXPECT_EQ(st.renderStates[D3DRENDERSTATE_TEXTUREFACTOR], c.factor << 24 | 0xFFFFFFu);
        EXPECT_EQ(st.stageStates[0][D3DTSS_ALPHAOP], c.op0);
        EXPECT_EQ(st.stageStates[1][D3DTSS_ALPHAOP], c.op1);
        EXPECT_EQ(st.stageStates[1][D3DTSS_ALPHAARG2], (uint32_t)D3DTA_DIFFUSE);
        EXPECT_EQ(st.renderStates[D3DRENDERSTATE_ALPHATESTENABLE], (uint32_t)c.alphaTest);
        EXPECT_EQ(st.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE], c.alphaTest ? 0u : 1u);
        if (c.alphaTest) {
            EXPECT_EQ(st.renderStates[D3DRENDERSTATE_ALPHAREF], c.alphaRef);
            EXPECT_EQ(st.renderStates[D3DRENDERSTATE_ALPHAFUNC], (uint32_t)D3DCMP_GREATEREQUAL);
        }
        EXPECT_EQ(st.textures[0], Store(blend)->surface);
        EXPECT_EQ(st.textures[1], Store(g)->surface);
        // Parameter 255: the batch is thrown away.
        EXPECT_EQ(CountCalls(calls, "DrawPrimitive"), c.param == 255 ? 0 : 1);
    }
    EXPECT_EQ(G_D3D_SelectBlendGraph(nullptr, -1, -1), 0);
}

// Border parameter 255 discards the draws that bypass the batch too: the integer
// free-corner path of a blend graphic and the vertex grid.
TEST_F(DeviceTest, BorderParameter255SuppressesTheDirectDraws) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    GraphData* blend = FilledGraph(32, 32, [](int x, int) { return (uint32_t)(x * 8) << 24; }, 1);
    for (int param : {128, 255}) {
        SCOPED_TRACE(testing::Message() << "param " << param);
        ASSERT_EQ(G_D3D_SelectBlendGraph(blend, param, 100), 0);
        g_drawState.blendGraph = 1;  // a blend graphic is selected: the integer path draws by itself
        std::vector<ptest::D3DCall> calls =
            Calls([&] { ASSERT_EQ(G_D3D_DrawFreeQuadGraphInt(10, 10, 50, 12, 8, 40, 60, 44, g, 0), 0); });
        EXPECT_EQ(CountCalls(calls, "DrawPrimitive"), param == 255 ? 0 : 1);
        g_drawState.blendGraph = -1;
    }
    ASSERT_EQ(G_D3D_SelectBlendGraph(nullptr, -1, -1), 0);
    D3DVertexTex1 grid[4] = {};
    Slot()->suppressDraw = 1;
    std::vector<ptest::D3DCall> calls = Calls([&] { EXPECT_EQ(G_D3D_DrawVertexGrid(grid, 2, 2, g_d3d.currentSlot), 0); });
    Slot()->suppressDraw = 0;
    EXPECT_EQ(CountCalls(calls, "DrawIndexedPrimitive"), 0);
}

TEST_F(DeviceTest, BorderRangeZeroShowsOnlyWhereTheBlendAlphaReachesTheParameter) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    GraphData* blend = FilledGraph(32, 32, [](int x, int) { return (uint32_t)(x * 8) << 24; }, 1);
    ASSERT_EQ(G_D3D_SelectBlendGraph(blend, 128, 0), 0);
    ClearBack();
    ASSERT_EQ(G_D3D_DrawGraph(10, 10, g, 0, 1), 0);
    std::vector<uint32_t> screen = Back();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(At(screen, 10 + x, 10 + y), x * 8 >= 128 ? Pattern(x, y) : kGuard) << x << "," << y;
    // Alpha test with parameter 0 on an alpha-test texture compares with 1.
    GraphData* keyed = FilledGraph(32, 32, Pattern, 0, 1);
    ASSERT_EQ(G_D3D_SelectBlendGraph(blend, 0, 0), 0);
    ASSERT_EQ(G_D3D_DrawGraph(10, 10, keyed, 1, 1), 0);
    EXPECT_EQ(DeviceState().renderStates[D3DRENDERSTATE_ALPHAREF], 1u);
    G_D3D_SelectBlendGraph(nullptr, -1, -1);
}

TEST_F(DeviceTest, VertexGridDrawsStripsOfAtMostAThousandIndices) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    G_D3D_DrawGraph(0, 0, g, 0, 1);
    int slot = g_d3d.currentSlot;
    std::vector<D3DVertexTex1> grid(100 * 10);
    for (int i = 0; i < (int)grid.size(); ++i)
        grid[i] = D3DVertexTex1{(float)(i % 100), (float)(i / 100), 0, 1, 0xFFFFFFFF, 0, 0};

    std::vector<ptest::D3DCall> calls = Calls([&] { EXPECT_EQ(G_D3D_DrawVertexGrid(grid.data(), 8, 8, slot), 0); });
    ASSERT_EQ(CountCalls(calls, "DrawPrimitive"), 1);  // the pending sprite first
    std::vector<uint16_t> indices;
    for (const auto& c : calls)
        if (c.method == "DrawIndexedPrimitive") {
            indices = c.indices;
            EXPECT_EQ(c.args[0], (uint64_t)D3DPT_TRIANGLESTRIP);
            EXPECT_EQ(c.args[2], 64u);
        }
    ASSERT_EQ(indices.size(), 124u);
    EXPECT_EQ((std::vector<uint16_t>(indices.begin(), indices.begin() + 4)), (std::vector<uint16_t>{8, 0, 9, 1}));
    EXPECT_EQ(indices[15], 7);
    EXPECT_EQ(indices[16], 7);   // the last index repeated
    EXPECT_EQ(indices[17], 16);  // the link to the next pair
    EXPECT_EQ(indices[18], 16);

    // 100 columns: 202 indices a pair, so the list is drawn in two parts.
    calls = Calls([&] { EXPECT_EQ(G_D3D_DrawVertexGrid(grid.data(), 100, 6, slot), 0); });
    int total = 0, draws = 0;
    for (const auto& c : calls)
        if (c.method == "DrawIndexedPrimitive") {
            ++draws;
            EXPECT_LE(c.indices.size(), 1000u);
            EXPECT_EQ(c.result, 0);
            total += (int)c.indices.size();
        }
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(total, 5 * 200 + 4 + 3);  // pairs, repeats, and links (none after the split)

    EXPECT_EQ(G_D3D_DrawVertexGrid(grid.data(), 500, 2, slot), -1);
    EXPECT_EQ(G_D3D_DrawVertexGrid(grid.data(), 300, 300, slot), -1);
    EXPECT_EQ(G_D3D_DrawVertexGrid(grid.data(), 1, 8, slot), -1);
}

TEST_F(DeviceTest, BoxAfterATexturedSpriteTakesItsOwnColour) {
    Start();
    GraphData* g = FilledGraph(32, 32, [](int, int) { return 0x000000FFu; });
    for (int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        ClearBack(0);
        SetBlend(mode, 255);
        ASSERT_EQ(G_D3D_DrawGraph(0, 0, g, 0, 1), 0);
        ASSERT_EQ(G_D3D_FillBox(100, 100, 120, 110, GetScreenColorValue(255, 0, 0)), 0);
        std::vector<uint32_t> screen = Back();
        EXPECT_EQ(At(screen, 5, 5), 0x0000FFu);
        EXPECT_EQ(At(screen, 100, 100), 0xFF0000u);
        EXPECT_EQ(At(screen, 119, 109), 0xFF0000u);
        EXPECT_EQ(At(screen, 120, 109), 0u);
    }
}

TEST_F(DeviceTest, ViewportIsCachedOnlyWhenTheDeviceTookIt) {
    Start();
    RECT area = {10, 10, 200, 100};
    ptest::FailCall("SetViewport");
    EXPECT_EQ(G_D3D_SetClipViewport(&area), -1);
    EXPECT_NE(Log().find("ビューポートのセットに失敗しました\r\n"), std::string::npos);
    EXPECT_EQ(G_D3D_SetClipViewport(&area), 0);
    ptest::D3DDeviceState st = DeviceState();
    EXPECT_EQ(st.viewport.dwX, 10u);
    EXPECT_EQ(st.viewport.dwWidth, 190u);
    EXPECT_EQ(st.viewport.dwHeight, 90u);
}

TEST_F(DeviceTest, ReserveVerticesUsesTheGivenSlotAndDiscardsWhenSuppressed) {
    Start();
    int slot = g_d3d.currentSlot;
    void* first = G_D3D_ReserveVertices(slot, 6);
    ASSERT_NE(first, nullptr);
    Slot()->batchCount = 6;
    Slot()->batchWrite += 6 * sizeof(D3DVertexColor);
    Slot()->suppressDraw = 1;
    std::vector<ptest::D3DCall> calls = Calls([&] {
        EXPECT_EQ(G_D3D_ReserveVertices(slot, kD3DBatchCapacity[Slot()->batchFormat]), first);
    });
    EXPECT_EQ(CountCalls(calls, "DrawPrimitive"), 0);
    Slot()->suppressDraw = 0;
    EXPECT_EQ(G_D3D_ReserveVertices(slot, 100000), nullptr);
    EXPECT_EQ(G_D3D_ReserveVertices(3, 6), nullptr);
}

TEST_F(DeviceTest, AFifthDeviceIsRefusedWithoutALogLine) {
    Start();
    std::vector<int> made;
    for (int i = 0; i < 3; ++i)
        made.push_back(G_D3D_CreateDevice(GetBackSurface()));
    EXPECT_EQ(made, (std::vector<int>{1, 2, 3}));
    int lines = Count(Log(), "３Ｄデバイスを作成します");
    EXPECT_EQ(G_D3D_CreateDevice(GetBackSurface()), -1);
    EXPECT_EQ(Count(Log(), "３Ｄデバイスを作成します"), lines);
    for (int slot : made)
        EXPECT_EQ(G_D3D_DeleteDevice(slot), 0);
    EXPECT_EQ(G_D3D_DeleteDevice(3), -1);
}

TEST_F(DeviceTest, ReleaseAndRecreationResendEveryStateAndBringTexturesBackEmpty) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    SetBlend(1, 100);
    G_D3D_SetFilterStates(1, g_d3d.currentSlot);
    ASSERT_EQ(G_D3D_DrawGraph(10, 10, g, 0, 1), 0);
    G_D3D_EndScene();
    ptest::D3DDeviceState before = DeviceState();

    ASSERT_EQ(ReleaseDirect3DObjects(), 0);
    EXPECT_EQ(g_d3d.direct3D, nullptr);
    EXPECT_EQ(GetUsedD3DDeviceSlot(g_d3d.currentSlot)->device, nullptr);
    EXPECT_EQ(Store(g)->surface, nullptr);
    EXPECT_EQ(G_D3D_DrawGraph(10, 10, g, 0, 1), -1);  // no device: nothing is called

    ASSERT_EQ(RecreateDirect3DObjects(), 0);
    ASSERT_NE(g_d3d.direct3D, nullptr);
    D3DDeviceSlot* s = Slot();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->texture, nullptr);
    ASSERT_NE(Store(g)->surface, nullptr);
    std::vector<uint32_t> texels = Read32(Store(g)->surface);
    EXPECT_EQ(std::count(texels.begin(), texels.end(), 0u), (long)texels.size());

    ptest::D3DDeviceState after = DeviceState();
    EXPECT_EQ(after.target, GetBackSurface());
    for (int rs : {D3DRENDERSTATE_ALPHABLENDENABLE, D3DRENDERSTATE_SRCBLEND, D3DRENDERSTATE_DESTBLEND,
                   D3DRENDERSTATE_ALPHATESTENABLE, D3DRENDERSTATE_TEXTUREFACTOR, D3DRENDERSTATE_SHADEMODE,
                   D3DRENDERSTATE_COLORKEYENABLE, D3DRENDERSTATE_LIGHTING, D3DRENDERSTATE_CULLMODE,
                   D3DRENDERSTATE_DITHERENABLE, D3DRENDERSTATE_TEXTUREPERSPECTIVE})
        EXPECT_EQ(after.renderStates[rs], before.renderStates[rs]) << "render state " << rs;
    for (int k = 0; k < 2; ++k)
        for (int ts : {D3DTSS_MAGFILTER, D3DTSS_MINFILTER, D3DTSS_ADDRESS, D3DTSS_TEXCOORDINDEX})
            EXPECT_EQ(after.stageStates[k][ts], before.stageStates[k][ts]) << "stage " << k << " state " << ts;
    EXPECT_EQ(after.viewport.dwWidth, 640u);
    // A target dropped afterwards (as a failing select does) falls back to the back surface,
    // never the visible screen.
    ASSERT_EQ(G_D3D_SetRenderTarget(nullptr, g_d3d.currentSlot), 0);
    EXPECT_EQ(DeviceState().target, GetBackSurface());
    EXPECT_EQ(s->currentTarget, GetBackSurface());

    // The graphic draws again once its pixels are back.
    d3dfix::Image image(32, 32, false, Pattern);
    ASSERT_EQ(G_D3D_UploadImageToGraph(nullptr, nullptr, nullptr, 0, 0, g, 0, &image.image, nullptr), 0);
    SetBlend(0, 255);
    ClearBack();
    ASSERT_EQ(G_D3D_DrawGraph(10, 10, g, 0, 1), 0);
    EXPECT_EQ(At(Back(), 12, 13), Pattern(2, 3));
}

}  // namespace

}  // namespace Qz3DDevice_test
