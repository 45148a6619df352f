// Presenting on a real SDL display (under Xvfb): the frame in the window at its size in
// window mode, and letterboxed in the desktop's full screen.
#include <unistd.h>

#include <vector>

#include "../LibraryFixture.h"
#include "QzDraw2DDraw.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsFront.h"
#include "QzWinMessage.h"
#include "QzWinWindow.h"

namespace QzDrawPresent_window_test {

namespace {

using SdlPresentTest = LibraryTest;

void DrawFrame() {
    SelectDrawTarget(-2);
    ClearDrawTarget();
    FillBoxByCpu(10, 20, 110, 70, GetScreenColorValue(255, 0, 0));
    FillBoxByCpu(600, 400, 640, 480, GetScreenColorValue(0, 0, 255));
    PresentScreen();
}

TEST_F(SdlPresentTest, WindowModeShowsTheFrameInTheWindow) {
    g_screen.colorBitDepth = 32;
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    Locked([] {
        DrawFrame();
        return 0;
    });
    std::vector<uint32_t> shown;
    int w = 0, h = 0;
    ASSERT_TRUE(ptest::ReadBackScreen(&shown, &w, &h));
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    EXPECT_EQ(shown[20 * 640 + 10], 0xFF0000u);
    EXPECT_EQ(shown[69 * 640 + 109], 0xFF0000u);
    EXPECT_EQ(shown[70 * 640 + 110], 0u);
    EXPECT_EQ(shown[479 * 640 + 639], 0x0000FFu);
}

TEST_F(SdlPresentTest, FullScreenLetterboxesTheFrameIntoTheDesktop) {
    g_screen.colorBitDepth = 32;
    ApiChangeWindowMode(0);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    std::vector<uint32_t> shown;
    int w = 0, h = 0;
    // The window takes the desktop's size when SDL has seen its own change.
    for (int i = 0; i < 50; ++i) {
        Locked([] {
            DrawFrame();
            return ProcessMessage();
        });
        ASSERT_TRUE(ptest::ReadBackScreen(&shown, &w, &h));
        if (w != 640)
            break;
        usleep(20000);  // real time: SDL waits for the display server
    }
    int desktopW = 0, desktopH = 0, bits = 0;
    Locked([&] { return GetDesktopScreenMode(&desktopW, &desktopH, &bits); });
    ASSERT_EQ(w, desktopW);
    ASSERT_EQ(h, desktopH);
    // The largest 4:3 area that fits, centred.
    int areaW = w, areaH = w * 480 / 640;
    if (areaH > h) {
        areaH = h;
        areaW = h * 640 / 480;
    }
    int left = (w - areaW) / 2, top = (h - areaH) / 2;
    auto at = [&](int fx, int fy) {
        int x = left + fx * areaW / 640, y = top + fy * areaH / 480;
        return shown[(size_t)y * w + x];
    };
    EXPECT_EQ(at(60, 45), 0xFF0000u);
    EXPECT_EQ(at(300, 300), 0u);
    EXPECT_EQ(at(620, 440), 0x0000FFu);
    if (top > 0) {
        EXPECT_EQ(shown[0], 0u);                      // a bar above
        EXPECT_EQ(shown[(size_t)(top + areaH) * w], 0u);  // and below
    }
}

}  // namespace

}  // namespace QzDrawPresent_window_test
