// A whole headless frame: the library starts in window mode and in full screen, clears
// the back screen, fills a box, draws a 2D piece made from an image and presents; the
// captured PNG frames show it, and two runs write the same bytes.
#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "PngRead.h"
#include "QzDraw2D.h"
#include "QzDraw2DDraw.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsFront.h"
#include "QzWinMemory.h"

namespace QzDrawHeadless_test {

namespace {

std::vector<std::string> Frames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name).rfind("frame-", 0) == 0)
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

uint32_t PiecePixel(int x, int y) {
    return (uint32_t)(x * 16) << 16 | (uint32_t)(y * 32) << 8 | 0x40;
}

class HeadlessFrameTest : public LibraryTest {
protected:
    // One run: start, draw one frame, present, end. Returns the capture folder's files.
    std::vector<std::string> Run(int windowMode, const std::string& folder) {
        ptest::SetCaptureFolder(folder);
        // The game's mode: 640 x 480 at 32 bits.
        g_screen.width = 640;
        g_screen.height = 480;
        g_screen.colorBitDepth = 32;
        ApiChangeWindowMode(windowMode);
        EXPECT_EQ(ApiInitializeLibrary(), 0);
        Locked([] {
            SelectDrawTarget(-2);
            ClearDrawTarget();
            FillBoxByCpu(10, 10, 50, 40, GetScreenColorValue(255, 0, 0));
            // A 16 x 8 graphic from a decoded X8R8G8B8 image.
            std::vector<uint32_t> pixels(16 * 8);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 16; ++x)
                    pixels[y * 16 + x] = PiecePixel(x, y);
            GraphImage image = {};
            FillColorFormat(&image.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
            image.width = 16;
            image.height = 8;
            image.pitch = 64;
            image.pixels = pixels.data();
            auto* graph = (GraphData*)AllocZeroedMemory(sizeof(GraphData), "test", __LINE__);
            graph->handle = -1;
            graph->width = 16;
            graph->height = 8;
            graph->colorBitDepth = (uint8_t)GetColorBitDepth();
            EXPECT_EQ(CreateGraphSurface2D(graph), 0);
            EXPECT_EQ(TransferImageToGraphSurfaces(nullptr, nullptr, nullptr, 0, 0, graph, 0, &image, nullptr), 0);
            EXPECT_EQ(DrawSurface2D(100, 60, graph->pieces[0], 0), 0);
            PresentScreen();
            DeleteGraphSurfaces2D(graph);
            FreeMemory(graph);
            return 0;
        });
        ApiTerminateLibrary();
        ptest::SetCaptureFolder("");
        return Frames(folder);
    }
};

TEST_F(HeadlessFrameTest, WindowModeAndFullScreenShowTheFrameAndRepeatExactly) {
    for (int windowMode : {1, 0}) {
        SCOPED_TRACE(windowMode ? "window mode" : "full screen");
        qztest::TempDir first, second;
        std::vector<std::string> frames = Run(windowMode, first.path());
        ASSERT_GE(frames.size(), 2u);
        int w = 0, h = 0;
        std::vector<uint32_t> black = qztest::ReadPngRgb(first.file(frames.front()), &w, &h);
        EXPECT_EQ(frames.front(), "frame-000000.png");
        ASSERT_EQ(w, 640);
        ASSERT_EQ(h, 480);
        EXPECT_EQ(std::count(black.begin(), black.end(), 0u), 640 * 480);

        std::vector<uint32_t> last = qztest::ReadPngRgb(first.file(frames.back()), &w, &h);
        ASSERT_EQ(w, 640);
        ASSERT_EQ(h, 480);
        auto at = [&](int x, int y) { return last[(size_t)y * 640 + x]; };
        EXPECT_EQ(at(10, 10), 0xFF0000u);
        EXPECT_EQ(at(49, 39), 0xFF0000u);
        EXPECT_EQ(at(50, 40), 0u);
        EXPECT_EQ(at(9, 10), 0u);
        EXPECT_EQ(at(100, 60), PiecePixel(0, 0));
        EXPECT_EQ(at(115, 67), PiecePixel(15, 7));
        EXPECT_EQ(at(107, 63), PiecePixel(7, 3));
        EXPECT_EQ(at(116, 67), 0u);

        std::vector<std::string> again = Run(windowMode, second.path());
        ASSERT_EQ(again, frames);
        for (const std::string& name : frames)
            EXPECT_EQ(qztest::ReadWholeFile(first.file(name)), qztest::ReadWholeFile(second.file(name))) << name;
    }
}

}  // namespace

}  // namespace QzDrawHeadless_test
