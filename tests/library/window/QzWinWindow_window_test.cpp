// The library's main window on a real SDL display (under Xvfb, without a window
// manager: nothing here waits for focus or decorations from one).
#include "../LibraryFixture.h"
#include "QzWinWindow.h"
#include "platform/win32.h"

namespace QzWinWindow_window_test {

namespace {

using SdlLibraryTest = LibraryTest;

TEST_F(SdlLibraryTest, AWindowModeStartShowsTheCaptionAndA640By480Client) {
    ApiSetWindowCaption("ZARNOVIK");
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    ptest::WindowView view = ptest::GetWindowView(window);
    EXPECT_EQ(view.title, "ZARNOVIK");
    EXPECT_EQ(view.width, 640);
    EXPECT_EQ(view.height, 480);
    EXPECT_TRUE(view.shown);
    EXPECT_TRUE(view.bordered);
    RECT client;
    GetWindowClientRect(&client);
    EXPECT_EQ(view.x, client.left);
    EXPECT_EQ(view.y, client.top);

    ApiSetWindowCaption("フルスクリーンで起動しますか？");
    EXPECT_EQ(ptest::GetWindowView(window).title, reinterpret_cast<const char*>(u8"フルスクリーンで起動しますか？"));
    EXPECT_EQ(ApiTerminateLibrary(), 0);
    EXPECT_FALSE(ptest::GetWindowView(window).exists);
}

TEST_F(SdlLibraryTest, AFullScreenStartIsABorderlessPopupAtTheOrigin) {
    ApiChangeWindowMode(0);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    ptest::WindowView view = ptest::GetWindowView(GetMainWindowHwnd());
    // The start-up's first frame puts the popup in the desktop's full screen, where the
    // 640 x 480 frame is shown scaled.
    int desktopWidth = 0, desktopHeight = 0, bits = 0;
    GetDesktopScreenMode(&desktopWidth, &desktopHeight, &bits);
    EXPECT_EQ(view.x, 0);
    EXPECT_EQ(view.y, 0);
    EXPECT_EQ(view.width, desktopWidth);
    EXPECT_EQ(view.height, desktopHeight);
    EXPECT_TRUE(view.shown);
    EXPECT_FALSE(view.bordered);
}

TEST_F(SdlLibraryTest, ACloseThroughSdlsQueueEndsThePumpAndTheLibraryCleanly) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    ptest::InjectClose(GetMainWindowHwnd());
    int result = 0;
    for (int calls = 0; calls < 1000 && result == 0; ++calls) result = ApiProcessMessage();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ApiTerminateLibrary(), 0);
    std::string log = Log();
    std::string missing;
    EXPECT_TRUE(InOrder(log,
                        {"ウインドウを閉じようとしています\r\n", "ＣＯＭを終了... 完了\r\n", "Alloc memory dump",
                         "Total size:0(0.000kb)  Alloc num:0\r\n"},
                        &missing))
        << missing;
}

}  // namespace

}  // namespace QzWinWindow_window_test
