// The drawing front end on the null backend, checked on the back screen's pixels: the
// draw area, the setters, target selection and its camera, mirrored and source-rectangle
// draws, the subtract emulation, and the same sprite through Direct3D, the 2D path and
// without Direct3D at all.
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "GraphFixture.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenColor.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsMatrix.h"
#include "QzGraphicsSystem.h"

namespace QzGraphicsDraw_test {

namespace {

class DrawTest : public GraphTest {
protected:
    void StartOnBack() {
        Start();
        ASSERT_EQ(SelectDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(ClearDrawTarget(), 0);
    }
    static uint32_t Pattern(int x, int y) { return (uint32_t)(0x30 + x * 9) << 16 | (uint32_t)(0x20 + y * 7) << 8 | 0xC0; }
};

TEST_F(DrawTest, ClipAreaTable) {
    StartOnBack();
    const struct {
        RECT in, out;
    } cases[] = {
        {{300, 200, 100, 50}, {100, 50, 300, 200}},
        {{-10, -10, 700, 500}, {0, 0, 640, 480}},
        {{100, 100, 100, 300}, {100, 100, 100, 300}},
        {{10, 20, 30, 40}, {10, 20, 30, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.in.left) + "," + std::to_string(c.in.top) + "," + std::to_string(c.in.right) +
                     "," + std::to_string(c.in.bottom));
        ASSERT_EQ(SetDrawClipArea(c.in.left, c.in.top, c.in.right, c.in.bottom), 0);
        const RECT& a = g_drawState.drawArea;
        EXPECT_EQ(a.left, c.out.left);
        EXPECT_EQ(a.top, c.out.top);
        EXPECT_EQ(a.right, c.out.right);
        EXPECT_EQ(a.bottom, c.out.bottom);
        EXPECT_EQ(g_drawState.drawAreaF[2], (float)c.out.right);
        EXPECT_EQ(g_drawState.drawAreaEmpty, c.out.left == c.out.right || c.out.top == c.out.bottom ? 1 : 0);
    }
}

TEST_F(DrawTest, AnEmptyAreaDrawsNothing) {
    StartOnBack();
    const int texture = Graph(8, 8, Pattern), flat = Graph(8, 8, Pattern, 0);
    SetDrawClipArea(100, 100, 100, 300);
    EXPECT_EQ(DrawPlainGraph(100, 100, texture, 1), 0);
    EXPECT_EQ(DrawPlainGraph(100, 100, flat, 1), 0);
    EXPECT_EQ(DrawStretchedGraph(90, 90, 120, 120, texture, 1), 0);
    EXPECT_EQ(DrawScaleRotateGraph(100, 100, 2.0, 0.5, texture, 1, 0), 0);
    EXPECT_EQ(DrawFreeQuadGraph(90, 90, 130, 90, 130, 130, 90, 130, texture, 1), 0);
    EXPECT_EQ(DrawFilledBox(0, 0, 640, 480, 0xFFFFFF), 0);
    EXPECT_EQ(DrawBoxOutline(0, 0, 640, 480, 0xFFFFFF), 0);
    EXPECT_EQ(DrawPlainGraph(100, 100, -5, 1), 0) << "even an invalid handle: nothing is checked";
    const std::vector<uint32_t> screen = BackScreen();
    ASSERT_FALSE(screen.empty());
    for (uint32_t p : screen) ASSERT_EQ(p, 0u);
}

TEST_F(DrawTest, SettersClampAndSkipRepeats) {
    StartOnBack();
    EXPECT_EQ(SetBlendMode(2, 300), 0);
    EXPECT_EQ(g_drawState.blendMode, 2);
    EXPECT_EQ(g_drawState.blendParam, 255);
    g_drawState.blendParam = 77;  // a repeat of the stored values changes nothing
    EXPECT_EQ(SetBlendMode(2, 77), 0);
    EXPECT_EQ(g_drawState.blendParam, 77);
    EXPECT_EQ(SetBlendMode(1, -5), 0);
    EXPECT_EQ(g_drawState.blendParam, 0);
    EXPECT_EQ(SetBrightColor(255, 0, 128), 0);
    EXPECT_EQ(g_drawState.brightColor, 0xFF0080u);
    EXPECT_EQ(SetBrightColor(255, 128, 0), 0);
    EXPECT_EQ(g_drawState.brightColor, 0xFF8000u);
    EXPECT_EQ(SetBrightColor(300, -1, 7), 0);
    EXPECT_EQ(g_drawState.brightColor, 0xFF0007u);
    SetBrightColorPacked(0x12345678);
    EXPECT_EQ(g_drawState.brightColor, 0x345678u);
    EXPECT_EQ(SetDrawFilterMode(1), 0);
    EXPECT_EQ(GetDrawFilterMode(), 1);
}

TEST_F(DrawTest, ABlendGraphSmallerThanTheGraphicRefusesTheDraw) {
    StartOnBack();
    const int big = Graph(32, 32, Pattern), small = Graph(16, 16, Pattern), same = Graph(32, 32, Pattern);
    EXPECT_EQ(SelectBlendGraph(MakeHandle(kHandleKindGraph, 999, 0), 0, 0), -1);
    EXPECT_EQ(g_drawState.blendGraph, -1);
    ASSERT_EQ(SelectBlendGraph(small, 0, 0), 0);
    EXPECT_EQ(DrawPlainGraph(0, 0, big, 1), -1);
    EXPECT_EQ(DrawPlainGraph(0, 0, small, 1), 0);
    ASSERT_EQ(SelectBlendGraph(same, 300, -4), 0);
    EXPECT_EQ(g_drawState.blendGraphBorderParam, 255);
    EXPECT_EQ(g_drawState.blendGraphBorderRange, 0);
    EXPECT_EQ(DrawPlainGraph(0, 0, big, 1), 0);
    EXPECT_EQ(SelectBlendGraph(-1, 0, 0), 0);
    EXPECT_EQ(g_drawState.blendGraph, -1);
}

TEST_F(DrawTest, SelectingATargetKeepsOrResetsTheArea) {
    StartOnBack();
    g_graphCreateSettings.drawValid = 1;
    const int target = CreateBlankGraph(64, 32);
    g_graphCreateSettings.drawValid = 0;
    ASSERT_GE(target, 0);
    SetDrawClipArea(10, 20, 300, 200);
    ASSERT_EQ(SelectDrawTarget(kDrawTargetFront), 0);  // the same size: the area stays
    EXPECT_EQ(g_drawState.drawArea.right, 300);
    EXPECT_EQ(g_drawState.drawArea.top, 20);
    ASSERT_EQ(SelectDrawTarget(target), 0);  // another size: the whole target
    EXPECT_EQ(g_drawState.drawArea.left, 0);
    EXPECT_EQ(g_drawState.drawArea.right, 64);
    EXPECT_EQ(g_drawState.drawArea.bottom, 32);
    EXPECT_EQ(g_drawState.drawScreenWidth, 64);
    ASSERT_EQ(SelectDrawTarget(kDrawTargetBack), 0);
    EXPECT_EQ(g_drawState.drawArea.right, 640);
    EXPECT_EQ(GetSelectedDrawTarget(), kDrawTargetBack);
    // A raw slot number with nothing in it, and a stale handle.
    EXPECT_EQ(SelectDrawTarget(30000), -1);
    DeleteOneGraph(target, 0);
    EXPECT_EQ(SelectDrawTarget(target), -1);
    EXPECT_EQ(GetSelectedDrawTarget(), kDrawTargetBack) << "the previous target is selected again";
}

TEST_F(DrawTest, TheCameraOfA640x480Target) {
    StartOnBack();
    const Matrix& view = *GetViewMatrix();
    const Matrix& projection = *GetProjectionMatrix();
    const Matrix& viewport = *GetViewportMatrix();
    const float eyeZ = -view.m[3][2];
    const float d = 43.0f - eyeZ;
    const float nearZ = -projection.m[3][2] / projection.m[2][2];
    const float farZ = projection.m[2][2] * nearZ / (projection.m[2][2] - 1.0f);
    EXPECT_NEAR(d, 458.366f, 0.001f);
    EXPECT_NEAR(eyeZ, -415.366f, 0.001f);
    EXPECT_NEAR(nearZ, 45.837f, 0.001f);
    EXPECT_NEAR(farZ, 1458.366f, 0.01f);
    EXPECT_NEAR(view.m[3][0], -320.0f, 0.001f);
    EXPECT_NEAR(view.m[3][1], -240.0f, 0.001f);
    EXPECT_EQ(viewport.m[0][0], 320.0f);
    EXPECT_EQ(viewport.m[1][1], -240.0f);
    EXPECT_EQ(viewport.m[3][0], 320.0f);
    EXPECT_EQ(GetWorldMatrix()->m[2][2], 1.0f);
}

// Scaled 2D draws belong to the software blitters, which come later: these run on the
// Direct3D path.
TEST_F(DrawTest, MirroredDrawsReverseTheColumns) {
    StartOnBack();
    const int h = Graph(10, 4, Pattern);
    ASSERT_EQ(DrawMirroredGraph(5, 20, h, 1), 0);
    const std::vector<uint32_t> screen = BackScreen();
    EXPECT_EQ(At(screen, 4, 20), 0u);
    EXPECT_EQ(At(screen, 15, 20), 0u);
    for (int i = 0; i < 10; ++i)
        for (int y = 0; y < 4; ++y) EXPECT_EQ(At(screen, 5 + i, 20 + y), Pattern(9 - i, y)) << i << "," << y;
}

TEST_F(DrawTest, SourceRectanglesAndTheirAreas) {
    StartOnBack();
    const int h = Graph(12, 8, Pattern);
    SetDrawClipArea(0, 0, 600, 400);
    ASSERT_EQ(DrawGraphSourceRect(100, 50, 2, 1, 4, 3, h, 1, 0), 0);
    ASSERT_EQ(DrawGraphSourceRect(150, 50, 2, 1, 4, 3, h, 1, 1), 0);
    ASSERT_EQ(DrawGraphSourceRectStretched(200, 60, 208, 66, 2, 1, 4, 3, h, 1), 0);
    EXPECT_EQ(g_drawState.drawArea.right, 600);
    EXPECT_EQ(g_drawState.drawAreaF[3], 400.0f);
    const std::vector<uint32_t> screen = BackScreen();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(At(screen, 100 + x, 50 + y), Pattern(2 + x, 1 + y)) << "plain " << x << "," << y;
            EXPECT_EQ(At(screen, 150 + x, 50 + y), Pattern(5 - x, 1 + y)) << "mirrored " << x << "," << y;
            EXPECT_EQ(At(screen, 200 + 2 * x + 1, 60 + 2 * y + 1), Pattern(2 + x, 1 + y)) << "stretched " << x;
        }
    for (auto [x, y] : {std::pair{99, 50}, {104, 50}, {100, 49}, {100, 53}, {199, 60}, {208, 60}, {200, 66}})
        EXPECT_EQ(At(screen, x, y), 0u) << x << "," << y;
    EXPECT_EQ(DrawGraphSourceRectStretched(0, 0, 10, 10, 0, 0, 0, 3, h, 1), -1);
    // The plain form on the 2D path.
    SetNewGraph3DFlag(0);
    ClearDrawTarget();
    const int flat = Graph(12, 8, Pattern);
    ASSERT_EQ(GetGraphData(flat)->useTexture, 0);
    ASSERT_EQ(DrawGraphSourceRect(100, 50, 2, 1, 4, 3, flat, 1, 0), 0);
    const std::vector<uint32_t> again = BackScreen();
    EXPECT_EQ(At(again, 100, 50), Pattern(2, 1));
    EXPECT_EQ(At(again, 103, 52), Pattern(5, 3));
    EXPECT_EQ(At(again, 104, 52), 0u);
    EXPECT_EQ(At(again, 99, 50), 0u);
}

TEST_F(DrawTest, SubtractionTakesTheSourceFromTheDestination) {
    StartOnBack();
    const int h = Graph(6, 6, [](int, int) { return 0x326478u; });
    ASSERT_EQ(DrawFilledBox(0, 0, 40, 40, GetScreenColorValue(200, 150, 100)), 0);
    ASSERT_EQ(SetBlendMode(3, 255), 0);
    ASSERT_EQ(DrawPlainGraph(10, 10, h, 1), 0);
    SetBlendMode(0, 0);
    const std::vector<uint32_t> screen = BackScreen();
    EXPECT_EQ(At(screen, 10, 10), (uint32_t)(200 - 0x32) << 16 | (uint32_t)(150 - 0x64) << 8 | 0);
    EXPECT_EQ(At(screen, 15, 15), At(screen, 10, 10));
    EXPECT_EQ(At(screen, 16, 10), 0xC89664u) << "outside the sprite the box is untouched";
    EXPECT_EQ(At(screen, 9, 9), 0xC89664u);
}

// An opaque sprite drawn plain gives the picture's own pixels on every path, seen in
// the presented frame of a 32-bit screen.
void ExpectSprite(int x0, int y0) {
    ASSERT_EQ(PresentScreen(), 0);
    const ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
    ASSERT_EQ(frame.pixels.size(), 640u * 480u);
    auto at = [&](int x, int y) { return frame.pixels[(size_t)y * 640 + x] & 0xFFFFFF; };
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(at(x0 + x, y0 + y), (uint32_t)(0x30 + x * 9) << 16 | (uint32_t)(0x20 + y * 7) << 8 | 0xC0)
                << x << "," << y;
    EXPECT_EQ(at(x0 - 1, y0), 0u);
    EXPECT_EQ(at(x0 + 12, y0 + 7), 0u);
}

TEST_F(DrawTest, APlainSpriteThroughDirect3DAndThe2DPath) {
    Start();
    ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
    SelectDrawTarget(kDrawTargetBack);
    ClearDrawTarget();
    const int viaTexture = Graph(12, 8, Pattern);
    ASSERT_EQ(GetGraphData(viaTexture)->useTexture, 1);
    ASSERT_EQ(DrawPlainGraph(17, 9, viaTexture, 1), 0);
    ExpectSprite(17, 9);
    ClearDrawTarget();
    SetNewGraph3DFlag(0);
    const int via2D = Graph(12, 8, Pattern);
    ASSERT_EQ(GetGraphData(via2D)->useTexture, 0);
    ASSERT_EQ(DrawPlainGraph(17, 9, via2D, 1), 0);
    ExpectSprite(17, 9);
}

TEST_F(DrawTest, APlainSpriteInSoftwareRendering) {
    SetNewGraph3DFlag(0);
    Start();
    ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
    EXPECT_GE(Count(Log(), "３Ｄグラフィック描画機能は使用しません\r\n"), 1);
    EXPECT_EQ(IsDirect3DDrawingUsable(), 0);
    EXPECT_EQ(g_screen.softwareRender, 1);
    SelectDrawTarget(kDrawTargetBack);
    ClearDrawTarget();
    const int h = Graph(12, 8, Pattern);
    ASSERT_EQ(GetGraphData(h)->useTexture, 0);
    ASSERT_EQ(DrawPlainGraph(17, 9, h, 1), 0);
    ExpectSprite(17, 9);
}

// An outline names the same box in any corner order, on Direct3D and by the CPU alike:
// rows and columns 10 to 19 for the corners 10 and 20.
TEST_F(DrawTest, OutlineBoxesOfEveryCornerOrderLightTheSamePixels) {
    Start();
    ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
    SelectDrawTarget(kDrawTargetBack);
    for (int use3D = 1; use3D >= 0; --use3D) {
        SetNewGraph3DFlag(use3D);
        for (const auto& [x1, y1, x2, y2] : {std::tuple{10, 10, 20, 20}, std::tuple{20, 10, 10, 20},
                                             std::tuple{10, 20, 20, 10}, std::tuple{20, 20, 10, 10}}) {
            ClearDrawTarget();
            ASSERT_EQ(DrawRectangle(x1, y1, x2, y2, 0xFFFFFF, 0), 0);
            const std::vector<uint32_t> screen = BackScreen();
            ASSERT_FALSE(screen.empty());
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 30; ++x) {
                    const bool lit = x >= 10 && x <= 19 && y >= 10 && y <= 19 && (x == 10 || x == 19 || y == 10 || y == 19);
                    ASSERT_EQ(At(screen, x, y) != 0, lit)
                        << "3D " << use3D << " corners " << x1 << "," << y1 << " " << x2 << "," << y2 << " at " << x << ","
                        << y;
                }
        }
    }
}

// Coordinates far outside any screen: rectangles whose edges leave the 32-bit range, and
// scales and positions that are huge, infinite or not a number. Such a draw draws nothing
// and returns 0 like a draw onto an empty area, on Direct3D, the 2D path and in software
// rendering alike (the sanitizers stop the test on any overflow).
TEST_F(DrawTest, DrawsFarOutsideAnyScreenDrawNothing) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(mode == 0 ? "Direct3D" : mode == 1 ? "2D" : "software rendering");
        SetNewGraph3DFlag(mode == 2 ? 0 : 1);
        Start();
        ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
        SelectDrawTarget(kDrawTargetBack);
        ClearDrawTarget();
        if (mode == 1)
            SetNewGraph3DFlag(0);
        const int h = Graph(12, 8, Pattern);
        ASSERT_GE(h, 0);
        const int big = INT_MAX - 4, low = INT_MIN + 2;
        // The opposite corner: across the screen from a far one, or 20 or 30 pixels on.
        auto across = [](int v, int near) { return v == 0 ? near : v == INT_MIN ? INT_MAX : -v; };
        for (auto [x, y] : {std::pair{big, 0}, {0, big}, {low, 0}, {0, low}, {big, big}, {INT_MIN, INT_MIN}}) {
            SCOPED_TRACE(testing::Message() << "at " << x << "," << y);
            EXPECT_EQ(DrawPlainGraph(x, y, h, 1), 0);
            EXPECT_EQ(DrawMirroredGraph(x, y, h, 1), 0);
            EXPECT_EQ(DrawStretchedGraph(x, y, across(x, 20), across(y, 20), h, 1), 0);
            EXPECT_EQ(DrawGraphSourceRect(x, y, 2, 2, 6, 4, h, 1, 0), 0);
            EXPECT_EQ(DrawGraphSourceRect(x, y, 2, 2, 6, 4, h, 1, 1), 0);
            EXPECT_EQ(DrawGraphSourceRect(0, 0, x, y, 6, 4, h, 1, 1), 0);
            EXPECT_EQ(DrawGraphSourceRectStretched(x, y, across(x, 30), across(y, 30), 1, 1, 4, 4, h, 1), 0);
            EXPECT_EQ(DrawGraphSourceRectStretched(0, 0, 30, 30, x, y, 1, 1, h, 1), 0);
            EXPECT_EQ(DrawScaleRotateGraph(x, y, 1.0, 0.5, h, 1, 0), 0);
            EXPECT_EQ(DrawRectangle(x, y, across(x, 20), across(y, 20), 0xFFFFFF, 0), 0);
            EXPECT_EQ(DrawRectangle(x, y, across(x, 20), across(y, 20), 0xFFFFFF, 1), 0);
        }
        for (double scale : {1e300, -1e300, 1e12, inf, -inf, nan}) {
            SCOPED_TRACE(testing::Message() << "scale " << scale);
            EXPECT_EQ(DrawScaleRotateGraph(100, 100, scale, 0.3, h, 1, 0), 0);
            EXPECT_EQ(DrawScaleRotateGraph(100, 100, scale, 0.3, h, 1, 1), 0);
            if (!(std::fabs(scale) < 1e38)) {  // an angle beyond single precision
                EXPECT_EQ(DrawScaleRotateGraph(100, 100, 1.0, scale, h, 1, 0), 0);
            }
        }
        for (float v : {1e30f, -1e30f, (float)inf, (float)nan}) {
            SCOPED_TRACE(testing::Message() << "corner " << v);
            EXPECT_EQ(DrawFreeQuadGraph(v, 0, 40, 0, 40, 30, 0, 30, h, 1), 0);
            EXPECT_EQ(DrawFreeQuadGraph(0, 0, 40, v, 40, 30, 0, 30, h, 1), 0);
            EXPECT_EQ(DrawScaleRotateGraphCore(v, 100, 1.0, 0.0, h, 1, 0), 0);
        }
        ASSERT_EQ(PresentScreen(), 0);
        const std::vector<uint32_t>& screen = ptest::GetLastPresentedFrame().pixels;
        ASSERT_EQ(screen.size(), 640u * 480u);
        EXPECT_EQ(std::count_if(screen.begin(), screen.end(), [](uint32_t p) { return (p & 0xFFFFFF) != 0; }), 0)
            << "something was drawn";
        LeaveLibraryLock();
        locked_ = false;
        ApiTerminateLibrary();
    }
}

// ---- matrices --------------------------------------------------------------------------------
TEST(Matrices, Table) {
    Matrix a = {{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}};
    Matrix b = {{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {1, 1, 1, 1}}};
    Matrix expect = {{{6, 10, 16, 4}, {18, 26, 36, 8}, {30, 42, 56, 12}, {42, 58, 76, 16}}};
    ASSERT_EQ(MultiplyMatrix(&a, &a, &b), 0);  // out is a
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(a.m[i][j], expect.m[i][j]) << i << "," << j;

    Matrix look;
    const Vector eye = {1, 2, 3}, at = {1, 2, 13}, up = {0, 1, 0};
    ASSERT_EQ(MakeLookAtMatrix(&look, &eye, &at, &up), 0);
    const float rows[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-1, -2, -3, 1}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(look.m[i][j], rows[i][j]) << i << "," << j;

    Matrix viewport;
    ASSERT_EQ(MakeViewportMatrix(&viewport, 320, 240, 640, 480), 0);
    EXPECT_EQ(viewport.m[0][0], 320.0f);
    EXPECT_EQ(viewport.m[1][1], -240.0f);
    EXPECT_EQ(viewport.m[2][2], 1.0f);
    EXPECT_EQ(viewport.m[3][3], 1.0f);
    EXPECT_EQ(viewport.m[3][0], 320.0f);
    EXPECT_EQ(viewport.m[3][1], 240.0f);
    EXPECT_EQ(viewport.m[0][1], 0.0f);

    Matrix perspective = a;
    EXPECT_EQ(MakePerspectiveMatrix(&perspective, 1.0f, 10.0f, 10.0f), -1);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(perspective.m[i][j], a.m[i][j]) << "unchanged";
    EXPECT_EQ(MakePerspectiveMatrix(&perspective, 0.0f, 1.0f, 10.0f), -1);
    ASSERT_EQ(MakePerspectiveMatrix(&perspective, 1.0471976f, 1.0f, 11.0f), 0);
    EXPECT_NEAR(perspective.m[1][1], 1.7320508f, 1e-5);
    EXPECT_NEAR(perspective.m[0][0], 1.7320508f * 0.75f, 1e-5);  // 480 / 640 while no mode is set
    EXPECT_NEAR(perspective.m[2][2], 1.1f, 1e-6);
    EXPECT_NEAR(perspective.m[3][2], -1.1f, 1e-6);
    EXPECT_EQ(perspective.m[2][3], 1.0f);
}

}  // namespace

}  // namespace QzGraphicsDraw_test
