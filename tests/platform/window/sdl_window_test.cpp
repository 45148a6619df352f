// Windows on a real SDL display (run under Xvfb, which has no window manager: nothing
// here waits for focus or decorations from one).
#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace sdl_window_test {

namespace {

UINT g_lastCommand = 0;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND) g_lastCommand = static_cast<UINT>(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::SetWindowLockFolder(dir_.path());
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "QzSdlTest";
        ASSERT_NE(RegisterClassExA(&wc), 0);
    }

    static HWND Make(DWORD style, DWORD exStyle, int x, int y, int clientWidth, int clientHeight, const char* title) {
        RECT rect = {0, 0, clientWidth, clientHeight};
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
        return CreateWindowExA(exStyle, "QzSdlTest", title, style, x, y, rect.right - rect.left,
                               rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    }

    qztest::TempDir dir_;
};

TEST_F(SdlWindowTest, TheDesktopIsTheDisplaysModeAt32Bits) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL), 32) << "4 bytes per pixel, never 24";
    ReleaseDC(nullptr, dc);
}

TEST_F(SdlWindowTest, ACaptionedWindowShowsItsUtf8TitleAndClientArea) {
    const DWORD style = 0x80CA0000u;  // popup, caption, system menu, minimise box
    HWND window = Make(style, 0x300, 100, 80, 640, 480, "\x83\x51\x81\x5B\x83\x80 ZARNOVIK");  // ゲーム
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);

    ptest::WindowView view = ptest::GetWindowView(window);
    EXPECT_TRUE(view.exists);
    EXPECT_EQ(view.title, reinterpret_cast<const char*>(u8"ゲーム ZARNOVIK"));
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(view.x, origin.x);
    EXPECT_EQ(view.y, origin.y);
    EXPECT_EQ(view.width, 640);
    EXPECT_EQ(view.height, 480);
    EXPECT_TRUE(view.shown);
    EXPECT_TRUE(view.bordered);
    EXPECT_FALSE(view.resizable);

    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style | WS_THICKFRAME));
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
    view = ptest::GetWindowView(window);
    EXPECT_TRUE(view.resizable);
    EXPECT_TRUE(view.onTop);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(ptest::GetWindowView(window).exists);
}

TEST_F(SdlWindowTest, AFullScreenWindowIsABorderlessPopupAtTheOrigin) {
    HWND window = Make(0x80000000u, WS_EX_TOPMOST, 0, 0, 640, 480, "QzLib");
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    ptest::WindowView view = ptest::GetWindowView(window);
    EXPECT_EQ(view.x, 0);
    EXPECT_EQ(view.y, 0);
    EXPECT_EQ(view.width, 640);
    EXPECT_EQ(view.height, 480);
    EXPECT_FALSE(view.bordered);
    EXPECT_TRUE(view.onTop);
}

TEST_F(SdlWindowTest, ACloseThroughSdlsQueueBecomesScClose) {
    HWND window = Make(0x80CA0000u, 0, 10, 10, 320, 240, "close me");
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    ptest::InjectClose(window);
    MSG msg;
    while (IsWindow(window) && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_EQ(g_lastCommand, static_cast<UINT>(SC_CLOSE));
    EXPECT_FALSE(IsWindow(window)) << "the default procedure closed it";
}

}  // namespace

}  // namespace sdl_window_test
