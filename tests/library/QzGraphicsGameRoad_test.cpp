// The game's road through the graphics, end to end on the null backend: a generated sheet
// loaded, sprites cut from it with DeriveGraph, the back screen selected and cleared,
// plain and rotated sprites drawn in blend modes 0 and 2, the frame presented; the
// presented frame shows each sprite at its pixels.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "GraphFixture.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"

namespace QzGraphicsGameRoad_test {

namespace {

TEST_F(GraphTest, TheGamesRoadShowsEverySprite) {
    qztest::WriteWholeFile(dir.file("sheet.bmp"), Sheet(64, 32));
    Start(0);
    ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
    const int sheet = LoadFileToGraph("sheet.bmp");
    ASSERT_GE(sheet, 0);
    const int left = DeriveGraph(0, 0, 32, 32, sheet), right = DeriveGraph(32, 0, 32, 32, sheet);
    ASSERT_GE(left, 0);
    ASSERT_GE(right, 0);
    DeleteOneGraph(sheet, 0);

    ASSERT_EQ(SelectDrawTarget(kDrawTargetBack), 0);
    ASSERT_EQ(ClearDrawTarget(), 0);
    SetBlendMode(0, 0);
    ASSERT_EQ(DrawPlainGraph(100, 100, left, 1), 0);
    ASSERT_EQ(DrawScaleRotateGraph(300, 200, 1.0, 0.0, right, 1, 0), 0);
    SetBlendMode(2, 255);
    ASSERT_EQ(DrawPlainGraph(400, 100, left, 1), 0);
    SetBlendMode(2, 128);
    ASSERT_EQ(DrawScaleRotateGraph(500, 300, 1.0, 3.14159265358979, right, 1, 0), 0);
    SetBlendMode(0, 0);
    const uint64_t frames = ptest::GetPresentedFrameCount();
    ASSERT_EQ(PresentScreen(), 0);
    ASSERT_EQ(ptest::GetPresentedFrameCount(), frames + 1);

    const ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.pixels.size(), 640u * 480u);
    auto at = [&](int x, int y) { return frame.pixels[(size_t)y * 640 + x] & 0xFFFFFF; };
    for (int y = 0; y < 32; y += 3)
        for (int x = 0; x < 32; x += 3) {
            ASSERT_EQ(at(100 + x, 100 + y), SheetColor(x, y)) << "plain " << x << "," << y;
            ASSERT_EQ(at(284 + x, 184 + y), SheetColor(32 + x, y)) << "rotated by 0 " << x << "," << y;
            ASSERT_EQ(at(400 + x, 100 + y), SheetColor(x, y)) << "added onto black " << x << "," << y;
        }
    // Half-strength addition of the sprite turned half a turn: each channel about half
    // the sprite's, and the columns run the other way.
    auto near = [](uint32_t got, uint32_t want) {
        for (int shift : {16, 8, 0})
            if (std::abs((int)(got >> shift & 0xFF) - (int)((want >> shift & 0xFF) * 128 / 255)) > 2) return false;
        return true;
    };
    for (int y = 4; y < 28; y += 5)
        for (int x = 4; x < 28; x += 5)
            EXPECT_TRUE(near(at(484 + x, 284 + y), SheetColor(32 + 31 - x, 31 - y)))
                << std::hex << at(484 + x, 284 + y) << std::dec << " at " << x << "," << y;
    // Nothing outside the sprites.
    for (auto [x, y] : {std::pair{99, 100}, {132, 131}, {283, 184}, {316, 215}, {483, 284}, {516, 316}})
        EXPECT_EQ(at(x, y), 0u) << x << "," << y;
}

}  // namespace

}  // namespace QzGraphicsGameRoad_test
