// Reading the draw target back into texture graphics: the five methods' refusals, their
// clipping, the sub-images that share a texture, the desktop case, and busy texture loads.
#include "Qz3DCapture.h"

#include "Qz3DFixture.h"

namespace Qz3DCapture_test {

namespace {

using d3dfix::Pattern;

uint32_t Screen(int x, int y) {
    return (uint32_t)(x * 3 & 0xFF) << 16 | (uint32_t)(y * 7 & 0xFF) << 8 | (uint32_t)((x ^ y) & 0xFF);
}

using Method = int (*)(int, int, int, int, GraphData*, int);
const Method kMethods[] = {G_D3D_GetDrawScreenGraphFunction1, G_D3D_GetDrawScreenGraphFunction2,
                           G_D3D_GetDrawScreenGraphFunction3, G_D3D_GetDrawScreenGraphFunction4,
                           G_D3D_GetDrawScreenGraphFunction5};

class CaptureTest : public d3dfix::D3DTest {
protected:
    static void PaintBack() {
        G_D3D_EndScene();
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        ASSERT_EQ(GetBackSurface()->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                ((uint32_t*)((uint8_t*)d.lpSurface + (size_t)y * d.lPitch))[x] = Screen(x, y);
        GetBackSurface()->Unlock(nullptr);
    }
    // A 64 x 64 sheet holding the pattern, and its top-left 32 x 32 as a derived graphic.
    void SheetAndPart(GraphData** sheet, GraphData** part) {
        *sheet = FilledGraph(64, 64, Pattern);
        auto* p = (GraphData*)AllocZeroedMemory((int)sizeof(GraphData), "test", __LINE__);
        *p = **sheet;
        p->pieceCount = 0;
        p->width = p->height = 32;
        RegisterGraphData(p);
        graphs_.push_back(p);
        ASSERT_EQ(G_D3D_BuildDerivedGraphPieces(p, 0, 0, 32, 32, *sheet), 0);
        *part = p;
    }
    static void Refill(GraphData* sheet) {
        d3dfix::Image image(64, 64, false, Pattern);
        ASSERT_EQ(G_D3D_UploadImageToGraph(nullptr, nullptr, nullptr, 0, 0, sheet, 0, &image.image, nullptr), 0);
    }
    static std::vector<uint32_t> Texels(const GraphData* g) { return Read32(Store(g)->surface); }
};

TEST_F(CaptureTest, BadRectanglesAreRefusedByEveryMethodWithNothingTouched) {
    Start();
    PaintBack();
    GraphData* g = FilledGraph(32, 32, Pattern);
    std::vector<uint32_t> before = Texels(g);
    struct Case {
        const char* name;
        int x1, y1, x2, y2;
    };
    const Case cases[] = {
        {"empty width", 10, 10, 10, 20},  {"empty height", 10, 10, 20, 5}, {"left of 0", -1, 0, 10, 10},
        {"above 0", 0, -3, 10, 10},       {"past the width", 641, 0, 650, 10},
        {"larger than the graphic", 0, 0, 33, 10},
    };
    for (const Case& c : cases)
        for (int m = 0; m < 5; ++m)
            EXPECT_EQ(kMethods[m](c.x1, c.y1, c.x2, c.y2, g, 1), -1) << c.name << ", method " << m + 1;
    EXPECT_TRUE(Texels(g) == before);
}

TEST_F(CaptureTest, EveryMethodFillsOnlyTheCoveredPartAndSiblingsSurvive) {
    Start();
    PaintBack();
    GraphData *sheet = nullptr, *part = nullptr;
    SheetAndPart(&sheet, &part);
    for (int m = 0; m < 5; ++m) {
        SCOPED_TRACE(testing::Message() << "method " << m + 1);
        Refill(sheet);
        // Reaches 12 pixels past the screen's right and bottom edges.
        ASSERT_EQ(kMethods[m](620, 460, 652, 492, part, 1), 0);
        std::vector<uint32_t> t = Texels(sheet);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                uint32_t want = x < 20 && y < 20 ? Screen(620 + x, 460 + y) : Pattern(x, y);
                ASSERT_EQ(t[(size_t)y * 64 + x], want) << x << "," << y;
            }
    }
}

TEST_F(CaptureTest, DesktopCoordinatesOfTheWindowFrontAreNotForTheWorkSurface) {
    Start();
    GraphData* g = FilledGraph(16, 16, Pattern);
    SelectDrawTarget(kDrawTargetFront);
    EXPECT_EQ(G_D3D_GetDrawScreenGraphFunction5(0, 0, 16, 16, g, 0), -1);
    EXPECT_EQ(G_D3D_GetDrawScreenGraphFunction1(0, 0, 16, 16, g, 0), 0);
    EXPECT_EQ(G_D3D_GetDrawScreenGraphFunction5(0, 0, 16, 16, g, 1), 0);
}

TEST_F(CaptureTest, BusyLoadsAreRetriedTenTimesThenReported) {
    Start();
    PaintBack();
    GraphData* g = FilledGraph(16, 16, Pattern);
    ptest::SetD3DLoadBusy(9);
    std::vector<ptest::D3DCall> calls =
        Calls([&] { EXPECT_EQ(G_D3D_GetDrawScreenGraphFunction4(100, 50, 116, 66, g, 1), 0); });
    EXPECT_EQ(CountCalls(calls, "Load"), 10);
    EXPECT_EQ(Texels(g)[0], Screen(100, 50));

    ptest::SetD3DLoadBusy(10);
    calls = Calls([&] { EXPECT_EQ(G_D3D_GetDrawScreenGraphFunction4(0, 0, 16, 16, g, 1), -1); });
    EXPECT_EQ(CountCalls(calls, "Load"), 10);
    std::string log = Log();
    std::string missing;
    EXPECT_TRUE(InOrder(log,
                        {"hr:-2005532242  W:640  H:480  FullMode:0  Point x:0 y:0   Rect top:0 bottom:16 left:0 right:16\r\n",
                         "AlphaCh:0  AlphaTest:0  ColorBitDepth:32\r\n",
                         "ScreenColor:32  SizeX:16  SizeY:16  DrawPointX:0  DrawPointY:0  WndRect.left:0  WndRect.top:0  "
                         "left:0  top:0\r\n"},
                        &missing))
        << missing;
}

}  // namespace

}  // namespace Qz3DCapture_test
