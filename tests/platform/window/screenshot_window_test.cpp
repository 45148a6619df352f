// Screenshots on a real SDL display (under Xvfb): what the window shows right after the
// present a screenshot names equals the frame captured for that present.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../present_support.h"
#include "TempDir.h"
#include "platform/ddraw.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace screenshot_window_test {

namespace {

void Paint(IDirectDrawSurface7* primary, IDirectDrawSurface7* source, uint32_t colour) {
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    ASSERT_EQ(source->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    RECT to = {200, 150, 264, 198};  // the window's client area on the desktop
    ASSERT_EQ(primary->Blt(&to, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
}

TEST(SdlScreenshot, TheShownWindowMatchesTheCapturedFrame) {
    qztest::TempDir dir;
    ptest::SetWindowLockFolder(dir.path());
    HWND window = presenttest::MakePopupWindow("ScreenshotTest", 200, 150, 64, 48);
    ASSERT_NE(window, nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    ptest::SetCaptureFolder(dir.path());
    ptest::SetScreenshots("0:" + dir.file("first.png") + ",2:" + dir.file("third.png"));
    {
        CoInitialize(nullptr);
        IDirectDraw7* dd = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), S_OK);
        ASSERT_EQ(dd->Initialize(nullptr), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        IDirectDrawSurface7* primary = nullptr;
        ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
        IDirectDrawClipper* clipper = nullptr;
        ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
        ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = 64;
        desc.dwHeight = 48;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        IDirectDrawSurface7* source = nullptr;
        ASSERT_EQ(dd->CreateSurface(&desc, &source, nullptr), DD_OK);
        for (uint32_t colour : {0x00FF0000u, 0x0000FF00u, 0x000000FFu}) Paint(primary, source, colour);
        source->Release();
        primary->Release();
        clipper->Release();
        dd->Release();
        CoUninitialize();
    }
    ptest::SetScreenshots("");
    ptest::SetCaptureFolder("");
    DestroyWindow(window);
    const presenttest::ShotCase cases[] = {{"first.png", "frame-000000.png", 0xFF0000},
                                           {"third.png", "frame-000002.png", 0x0000FF}};
    for (const presenttest::ShotCase& c : cases) presenttest::ExpectShotMatchesFrame(dir, c, 64, 48, 32, 24);
}

}  // namespace

}  // namespace screenshot_window_test
