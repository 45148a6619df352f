// A whole headless frame through Direct3D: the back screen as target, a plain and a
// quarter-turned sprite, an additive sprite over the first, a filled box and an outline,
// presented through the null backend; the captured PNG equals the image worked out here
// pixel by pixel.
#include <dirent.h>

#include <algorithm>
#include <cmath>

#include "PngRead.h"
#include "Qz3DFixture.h"
#include "QzDrawPresent.h"

namespace Qz3DFrame_test {

namespace {

using d3dfix::Pattern;

class FrameTest : public d3dfix::D3DTest {};

TEST_F(FrameTest, CapturedFrameEqualsTheExpectedImage) {
    Start();
    GraphData* sprite = FilledGraph(32, 32, Pattern);
    GraphData* glow = FilledGraph(16, 16, [](int, int) { return 0x00646464u; });
    qztest::TempDir captures;
    ptest::SetCaptureFolder(captures.path());

    SelectDrawTarget(kDrawTargetBack);
    ClearDrawTarget();
    ASSERT_EQ(G_D3D_DrawGraph(20, 30, sprite, 0, 1), 0);
    ASSERT_EQ(G_D3D_DrawScaleRotateGraph(200, 100, 1.0, M_PI / 2, sprite, 0, 0), 0);
    SetBlend(2, 255);
    ASSERT_EQ(G_D3D_DrawGraph(30, 40, glow, 0, 1), 0);
    SetBlend(0, 255);
    ASSERT_EQ(G_D3D_FillBox(400, 300, 450, 340, GetScreenColorValue(255, 0, 0)), 0);
    ASSERT_EQ(G_D3D_OutlineBox(500, 200, 540, 260, GetScreenColorValue(0, 255, 0)), 0);
    ASSERT_EQ(PresentScreen(), 0);
    ptest::SetCaptureFolder("");

    std::vector<uint32_t> want(640 * 480, 0);
    auto at = [&](int x, int y) -> uint32_t& { return want[(size_t)y * 640 + x]; };
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i)
            at(20 + i, 30 + j) = Pattern(i, j);
    for (int m = -16; m < 16; ++m)
        for (int k = -16; k < 16; ++k)
            at(200 + k, 100 + m) = Pattern(16 + m, 15 - k);
    for (int y = 40; y < 56; ++y)
        for (int x = 30; x < 46; ++x) {
            uint32_t p = at(x, y);
            uint32_t r = std::min(255u, (p >> 16 & 0xFF) + 100), g = std::min(255u, (p >> 8 & 0xFF) + 100),
                     b = std::min(255u, (p & 0xFF) + 100);
            at(x, y) = r << 16 | g << 8 | b;
        }
    for (int y = 300; y < 340; ++y)
        for (int x = 400; x < 450; ++x)
            at(x, y) = 0xFF0000;
    for (int x = 500; x < 540; ++x)
        at(x, 200) = at(x, 259) = 0x00FF00;
    for (int y = 200; y < 260; ++y)
        at(500, y) = at(539, y) = 0x00FF00;

    int w = 0, h = 0;
    std::vector<uint32_t> frame = qztest::ReadPngRgb(captures.file("frame-000000.png"), &w, &h);
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    int differing = 0, first = -1;
    for (size_t i = 0; i < want.size(); ++i)
        if (frame[i] != want[i]) {
            if (first < 0)
                first = (int)i;
            ++differing;
        }
    EXPECT_EQ(differing, 0) << "first at " << first % 640 << "," << first / 640 << ": " << std::hex << frame[first]
                            << " instead of " << want[first];
}

}  // namespace

}  // namespace Qz3DFrame_test
