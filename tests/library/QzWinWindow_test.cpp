// The window system: the client size at each window scale, the style bits in each mode,
// resizing and mode changes before and after start-up, the caption, the timer test.
#include "LibraryFixture.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenMode.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"
#include "platform/win32.h"

namespace QzWinWindow_test {

namespace {

using WindowSystemTest = LibraryTest;

TEST_F(WindowSystemTest, TheClientAreaIsTheScreenTimesTheScaleCentredOnTheDesktop) {
    struct Case {
        double scale;
        int width, height;
        double readBack;
    };
    const Case cases[] = {{1.0, 640, 480, 1.0}, {1.5, 960, 720, 1.5}, {0.0, 640, 480, 1.0}, {-1.0, 640, 480, 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale));
        g_windowSystem.windowScale = c.scale;
        ApiChangeWindowMode(1);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        HWND window = GetMainWindowHwnd();
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, c.width);
        EXPECT_EQ(client.bottom, c.height);
        EXPECT_EQ(GetWindowScale(), c.readBack);

        // Centred as the window system centres: each side of the outer rectangle moved by
        // half of what the desktop has to spare.
        RECT outer = {0, 0, c.width, c.height};
        AdjustWindowRectEx(&outer, GetWindowLongA(window, GWL_STYLE), FALSE, GetWindowLongA(window, GWL_EXSTYLE));
        ptest::WindowView view = ptest::GetWindowView(window);
        EXPECT_EQ(view.x, (1920 - (outer.right - outer.left)) / 2);
        EXPECT_EQ(view.y, (1080 - (outer.bottom - outer.top)) / 2);
        EXPECT_EQ(view.width, c.width);
        EXPECT_TRUE(view.bordered);
        RECT stored;
        GetWindowClientRect(&stored);
        EXPECT_EQ(stored.left, view.x);
        EXPECT_EQ(stored.right - stored.left, c.width);
        ApiTerminateLibrary();
    }
}

TEST_F(WindowSystemTest, StyleBitsFollowTheSettingsInEachMode) {
    g_windowSystem.modeSwitchAllowed = 1;
    g_windowSystem.resizable = 1;
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    LONG style = GetWindowLongA(GetMainWindowHwnd(), GWL_STYLE);
    EXPECT_EQ(static_cast<DWORD>(style), 0x80CA0000u | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_VISIBLE);
    EXPECT_EQ(GetWindowLongA(GetMainWindowHwnd(), GWL_EXSTYLE), 0x300);
    ptest::WindowView view = ptest::GetWindowView(GetMainWindowHwnd());
    EXPECT_TRUE(view.resizable);
    ApiTerminateLibrary();

    g_windowSystem.windowStyleIndex = 5;
    ApiChangeWindowMode(0);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & ~WS_VISIBLE, 0) << "index 5 in full screen: no style bits";
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE), 0);
    view = ptest::GetWindowView(window);
    EXPECT_EQ(view.x, 0);
    EXPECT_EQ(view.width, 640);
    EXPECT_FALSE(view.bordered);
    EXPECT_TRUE(view.onTop) << "full screen is made top-most at start-up";
    EXPECT_FALSE(ptest::IsCursorShown());
    EXPECT_EQ(Locked([] { return SetWindowStyleIndex(7); }), -1);
}

TEST_F(WindowSystemTest, ResizingChangesTheStyleAtOnceOnlyInWindowMode) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);  // full screen
    HWND window = GetMainWindowHwnd();
    EXPECT_EQ(ApiSetWindowResizableFlag(1), 0);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(ApiChangeWindowMode(1), 0);
    EXPECT_NE(GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME, 0) << "taken at the change to window mode";
    EXPECT_TRUE(ptest::GetWindowView(window).bordered);

    EXPECT_EQ(ApiSetWindowResizableFlag(0), 0);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME, 0) << "window mode: at once";
    EXPECT_FALSE(ptest::GetWindowView(window).resizable);
}

TEST_F(WindowSystemTest, ChangeWindowModeBeforeStartUpIsRecorded) {
    EXPECT_EQ(ApiChangeWindowMode(1), 0);
    EXPECT_EQ(g_windowSystem.windowMode, 1);
    EXPECT_EQ(ApiChangeWindowMode(1), 0);
    EXPECT_EQ(g_windowSystem.windowMode, 1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    EXPECT_TRUE(ptest::GetWindowView(GetMainWindowHwnd()).bordered);

    // The display never changes mode here, so the wait for WM_DISPLAYCHANGE ends on
    // its bound; the window is then the full-screen popup.
    const std::string before = Log();
    EXPECT_EQ(ApiChangeWindowMode(0), 0);
    ptest::WindowView view = ptest::GetWindowView(GetMainWindowHwnd());
    EXPECT_EQ(view.x, 0);
    EXPECT_EQ(view.y, 0);
    EXPECT_EQ(view.width, 640);
    EXPECT_EQ(view.height, 480);
    EXPECT_FALSE(view.bordered);
    EXPECT_NE(Log().substr(before.size()).find("画面モード変更処理を開始します"), std::string::npos);
    std::string log = Log().substr(before.size());
    std::string missing;
    EXPECT_TRUE(InOrder(log,
                        {"ChangeWindowMode実行 \r\n", "ウインドウモードフラグが倒されました\r\n",
                         "ウインドウスタイルをフルスクリーンモード用に変更します... 完了\r\n"},
                        &missing))
        << missing;
}

// The wait for WM_DISPLAYCHANGE after a mode change is bounded: when none comes (the
// null display never really changes mode) it ends two seconds on, on the library's clock.
// The mode change alone, forced with the same pacing, shows what the rest costs.
TEST_F(WindowSystemTest, AModeChangeWaitsTwoSecondsForADisplayChangeThatNeverComes) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    auto elapsed = [](auto call) {
        g_screen.lastModeChange = 0;  // no pacing wait beyond the usual 60 ms
        const int start = Locked([] { return GetMillisecondTime(0); });
        call();
        return Locked([] { return GetMillisecondTime(0); }) - start;
    };
    const int alone = elapsed([] { Locked([] { return ChangeScreenMode(-1, -1, -1, 1, -1); }); });
    const int withWait = elapsed([] { EXPECT_EQ(ApiChangeWindowMode(0), 0); });
    EXPECT_EQ(g_windowSystem.displayChangeSeen, 0);
    EXPECT_GE(withWait - alone, 2000);
    EXPECT_LT(withWait - alone, 2300);
}

TEST_F(WindowSystemTest, ALongJapaneseCaptionIsCutBetweenCharacters) {
    std::string caption;
    for (int i = 0; i < 150; ++i) caption += "ア";  // 300 bytes
    ASSERT_EQ(ApiSetWindowCaption(caption.c_str()), 0);
    EXPECT_EQ(std::string(g_windowSystem.windowTitle), caption.substr(0, 254));
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    std::string expected;
    for (int i = 0; i < 127; ++i) expected += reinterpret_cast<const char*>(u8"ア");
    EXPECT_EQ(ptest::GetWindowView(GetMainWindowHwnd()).title, expected);

    ApiSetWindowCaption(("Z" + caption).c_str());  // now 255 bytes fit exactly
    EXPECT_EQ(std::string(g_windowSystem.windowTitle).size(), 255u);
    EXPECT_EQ(ptest::GetWindowView(GetMainWindowHwnd()).title.substr(0, 1), "Z");
}

TEST_F(WindowSystemTest, TheTimerTestTiesUnderTheFastClockAndKeepsThePerformanceCounter) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    std::string log = Log();
    EXPECT_NE(log.find("精度結果 更新回数 マルチメディアタイマー：60  パフォーマンスカウンター：60\r\n"), std::string::npos);
    EXPECT_NE(log.find("パフォーマンスカウンターを使用します タイマー分解能 : 10000.000000 KHz \r\n"), std::string::npos);
    EXPECT_EQ(g_windowSystem.usePerformanceCounter, 1);
}

}  // namespace

}  // namespace QzWinWindow_test
