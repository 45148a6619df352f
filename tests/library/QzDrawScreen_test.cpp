// The DirectDraw screen: start-up, the lookup tables, the overlay probe, the mode change
// with its pacing and fallbacks, the screen surfaces of each mode, the draw target, and
// presenting with its waits.
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "LibraryFixture.h"
#include "PngRead.h"
#include "QzDrawDevice.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenMode.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzWinMessage.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"
#include "platform/ddraw.h"

namespace QzDrawScreen_test {

namespace {

class ScreenTest : public LibraryTest {
protected:
    void Start(int windowMode) {
        ApiChangeWindowMode(windowMode);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
    }
    static std::vector<ptest::GraphicsCall> Calls(const char* method) {
        std::vector<ptest::GraphicsCall> out;
        for (const ptest::GraphicsCall& c : ptest::TakeGraphicsCalls())
            if (method == nullptr || c.method == method)
                out.push_back(c);
        return out;
    }
    // Runs a library call as an entry point would and returns what the journal saw.
    template <typename Call>
    std::vector<ptest::GraphicsCall> Journal(Call call) {
        ptest::RecordGraphicsCalls(true);
        Locked([&] {
            call();
            return 0;
        });
        std::vector<ptest::GraphicsCall> calls = ptest::TakeGraphicsCalls();
        ptest::RecordGraphicsCalls(false);
        return calls;
    }
    static int Count(const std::vector<ptest::GraphicsCall>& calls, const std::string& method) {
        int n = 0;
        for (const auto& c : calls)
            n += c.method == method;
        return n;
    }
};

TEST(BlendTables, ListedEntries) {
    BuildBlendLookupTables();
    EXPECT_EQ(SignedScaleTable[1][0], -1);
    EXPECT_EQ(SignedScaleTable[1][1], 0);
    EXPECT_EQ(SignedScaleTable[1][255], 0);
    EXPECT_EQ(SignedScaleTable[255][510], 255);
    EXPECT_EQ(SignedScaleTable[255][0], -255);
    EXPECT_EQ(SignedScaleTable[7][511], 0);
    EXPECT_EQ(ScaleTable[255][255], 255);
    EXPECT_EQ(ScaleTable[128][255], 128);
    EXPECT_EQ(ScaleTable[1][254], 0);
    EXPECT_EQ(LerpTable64[63 * 4096 + 40 * 64 + 7], 40);
    EXPECT_EQ(LerpTable64[0 * 4096 + 40 * 64 + 7], 7);
    EXPECT_EQ(LerpTable64[31 * 4096 + 63 * 64 + 0], 31);
}

// ---- start-up ----------------------------------------------------------------------------------

struct FatalCase {
    const char* name;
    const char* fault;  // FailCall name
    int nth;
    int windowMode;
    const char* text;
};

TEST_F(ScreenTest, FatalStartUpFailuresEndTheProcessWithTheirText) {
    const FatalCase cases[] = {
        {"object", "CreateDirectDraw", 1, 1, "DirectDrawオブジェクトの作成に失敗しました"},
        {"initialise", "DirectDrawInitialize", 1, 1, "DirectDrawオブジェクトの作成に失敗しました"},
        {"clipper", "CreateClipper", 1, 1, "DirectDrawClipperオブジェクトの作成時にエラーが発生しました"},
        {"primary", "CreateSurface:Primary", 1, 1, "プライマリサーフェスの作成に失敗しました"},
        {"back", "CreateSurface:Offscreen", 1, 1, "バックサーフェスの作成に失敗しました"},
        {"work 1", "CreateSurface:Offscreen", 2, 1, "作業用サーフェスの作成に失敗しました"},
        {"work 2", "CreateSurface:Offscreen", 3, 1, "作業用サーフェス２の作成に失敗しました"},
        {"z", "CreateSurface:ZBuffer", 1, 1, "Ｚバッファの作成に失敗しました"},
        {"chain", "CreateSurface:FlipChain", 1, 0, "プライマリサーフェスの作成に失敗しました"},
        {"back buffer", "GetAttachedSurface", 1, 0, "バックバッファのポインタ取得に失敗しました"},
    };
    for (const FatalCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                ptest::FailCall(c.fault, c.nth);
                ApiChangeWindowMode(c.windowMode);
                ApiInitializeLibrary();
            },
            ::testing::ExitedWithCode(255), "");
        std::string log = Log();
        EXPECT_NE(log.find(std::string(c.text) + "\r\n"), std::string::npos) << log.substr(log.size() > 600 ? log.size() - 600 : 0);
        EXPECT_NE(log.find("Alloc memory dump"), std::string::npos);
    }
}

TEST_F(ScreenTest, OverlayProbeFindsTheAllowedFormat) {
    ptest::AllowOverlayFormat("YUY2");
    Start(1);
    EXPECT_EQ(g_screen.overlayFormatIndex, 1);
    EXPECT_NE(Log().find("オーバーレイサーフェスを使用します　　　 YUY2"), std::string::npos);
    const DDPIXELFORMAT* format = GetOverlayPixelFormat();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->dwFourCC, MAKEFOURCC('Y', 'U', 'Y', '2'));
    g_screen.width = 320;
    g_screen.height = 240;
    EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
    g_screen.width = 640;
    g_screen.height = 480;
}

TEST_F(ScreenTest, DriverStringsAreCutAndEmptyOnFailure) {
    ptest::SetDeviceIdentifier("driver.drv", std::string(600, 'd'));
    Start(1);
    EXPECT_STREQ(g_windowSystem.systemInfo.videoDriverName, "driver.drv");
    EXPECT_EQ(std::strlen(g_windowSystem.systemInfo.videoDriverDescription), 255u);
    EXPECT_EQ(g_windowSystem.systemInfo.totalVideoMemory, 16u << 20);
    ApiTerminateLibrary();

    ptest::FailCall("GetDeviceIdentifier");
    Start(1);
    EXPECT_STREQ(g_windowSystem.systemInfo.videoDriverName, "");
    EXPECT_STREQ(g_windowSystem.systemInfo.videoDriverDescription, "");
}

TEST_F(ScreenTest, BmpPaletteReadsCheckEveryStep) {
    // A BMP with a 108-byte info header: the palette follows that header.
    std::string bmp(14 + 108 + 1024 + 4, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[14] = 108;
    bmp[14 + 14] = 8;  // bit count
    for (int i = 0; i < 256; ++i)
        bmp[14 + 108 + i * 4] = (char)i;
    qztest::WriteWholeFile(dir.file("pal.bmp"), bmp);
    qztest::WriteWholeFile(dir.file("short.bmp"), bmp.substr(0, 14 + 108 + 100));
    qztest::WriteWholeFile(dir.file("bad.bmp"), "XM" + bmp.substr(2));
    Start(1);
    uint8_t buffer[1024];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(Locked([&] { return ReadBmpPalette("pal.bmp", buffer); }), 0);
    EXPECT_EQ(buffer[4 * 7], 7);
    EXPECT_EQ(Locked([&] { return ReadBmpPalette("short.bmp", buffer); }), -1);
    EXPECT_EQ(Locked([&] { return ReadBmpPalette("bad.bmp", buffer); }), -1);
    EXPECT_EQ(Locked([&] { return ReadBmpPalette("missing.bmp", buffer); }), -1);
}

// ---- the mode change --------------------------------------------------------------------------

TEST_F(ScreenTest, ChangesCloseTogetherWaitForTheDisplay) {
    Start(1);
    ptest::SetFastClockReadStep(0);
    struct Gap {
        int sinceLast;  // milliseconds since the previous change
        int force;
        int sleep;      // the first Sleep, or -1 for none at all
    };
    const Gap gaps[] = {{500, 1, 1560}, {3000, 1, 60}, {500, 0, -1}};
    for (const Gap& g : gaps) {
        SCOPED_TRACE(g.sinceLast);
        g_screen.lastModeChange = GetMillisecondTime(0) - g.sinceLast;
        auto calls = Journal([&] { ChangeScreenMode(-1, -1, -1, g.force, -1); });
        int first = -1;
        for (const auto& c : calls)
            if (c.method == "Sleep") {
                first = (int)c.flags;
                break;
            }
        EXPECT_EQ(first, g.sleep);
    }
    ptest::SetFastClockReadStep(1000);
}

TEST_F(ScreenTest, FrameTimeRules) {
    const int repeated[4] = {16, 17, 16, 17};
    const int distinct[4] = {16, 17, 18, 19};
    const int late[4] = {15, 16, 17, 17};
    EXPECT_EQ(FindRepeatedFrameSample(repeated), 16);
    EXPECT_EQ(FindRepeatedFrameSample(distinct), -1);
    EXPECT_EQ(FindRepeatedFrameSample(late), 17);
    EXPECT_EQ(PacingTimeOf(16), 9);
    EXPECT_EQ(PacingTimeOf(17), 10);
    EXPECT_EQ(PacingTimeOf(-1), -1);

    // The emulated display's frame is measured the same on every run, and the copy
    // methods tie under the fast clock, which goes to BitBlt.
    Start(0);
    // A 16.7 ms frame polled in 1 ms clock steps: 15 to 17 ms by the phase at which the
    // measurement starts, which the log lines written before it move.
    EXPECT_GE(g_screen.frameTime, 15);
    EXPECT_LE(g_screen.frameTime, 17);
    EXPECT_EQ(g_screen.pacingTime, PacingTimeOf(g_screen.frameTime));
    EXPECT_EQ(g_screen.copyMethod, 1);
    EXPECT_NE(Log().find("サーフェス間転送には BitBlt を使用します"), std::string::npos);
}

TEST_F(ScreenTest, NoScanLineLeavesTheFrameTimeUnknown) {
    ptest::SetNoScanLine(true);
    Start(0);
    EXPECT_EQ(g_screen.frameTime, -1);
    EXPECT_EQ(g_screen.pacingTime, -1);
    EXPECT_NE(Log().find("１フレームの時間を正常に取得できませんでした\r\n"), std::string::npos);
}

TEST_F(ScreenTest, FullScreenFallbacks) {
    Start(0);
    // A refresh rate the display refuses: set at the default rate, which no longer is the
    // request, the old mode or 640 x 480 x 16.
    ptest::RefuseDisplayMode(640, 480, 32, 60);
    EXPECT_EQ(Locked([] { return SetScreenMode(640, 480, 32, 60); }), -1);
    EXPECT_EQ(g_screen.refreshRate, 0);
    EXPECT_EQ(g_screen.colorBitDepth, 32);
    // 640 x 480 x 16 at a refused rate after another mode: -2.
    ptest::RefuseDisplayMode(640, 480, 16, 60);
    EXPECT_EQ(Locked([] { return SetScreenMode(640, 480, 16, 60); }), -2);
    // A refused mode goes back to the old one.
    ptest::RefuseDisplayMode(800, 600, 32, -1);
    EXPECT_EQ(Locked([] { return SetScreenMode(800, 600, 32, 0); }), -1);
    EXPECT_EQ(g_screen.width, 640);
    EXPECT_EQ(g_screen.colorBitDepth, 16);
    EXPECT_EQ(Locked([] { return SetScreenMode(640, 480, 24, 60); }), -1);
}

TEST_F(ScreenTest, SizesOfZeroOrLessAreRefusedAndChangeNothing) {
    for (int windowMode : {1, 0}) {
        SCOPED_TRACE(windowMode ? "window" : "full screen");
        Start(windowMode);
        for (auto [w, h] : {std::pair{0, 480}, {-640, 480}, {640, -480}, {-2, -2}, {INT_MIN, 480}}) {
            EXPECT_EQ(Locked([&] { return SetScreenMode(w, h, 32, 60); }), -1) << w << " x " << h;
            EXPECT_EQ(g_screen.width, 640);
            EXPECT_EQ(g_screen.height, 480);
        }
        ApiTerminateLibrary();
    }
}

TEST_F(ScreenTest, ModesThatCannotBeSetAtAllAreFatal) {
    struct Case {
        const char* name;
        bool later;
        const char* text;
    };
    const Case cases[] = {{"first", false, "予期せぬ画面モード変更不能現象が起きました\r\n"},
                          {"later", true, "予期せぬ画面モード変更不能現象が起きました2\r\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                if (c.later) {
                    Start(0);
                } else {
                    ApiChangeWindowMode(0);
                }
                for (int bits : {16, 32})
                    ptest::RefuseDisplayMode(640, 480, bits, -1);
                if (c.later)
                    Locked([] { return ChangeScreenMode(640, 480, 32, 1, 0); });
                else
                    ApiInitializeLibrary();
            },
            ::testing::ExitedWithCode(255), "");
        EXPECT_NE(Log().find(c.text), std::string::npos);
    }
}

// A mode change releases the DirectDraw object and makes a new one; when the new one
// cannot be made the process ends with its line, rather than going on without an object.
TEST_F(ScreenTest, AModeChangeThatCannotRemakeTheObjectIsFatal) {
    for (int windowMode : {1, 0}) {
        SCOPED_TRACE(windowMode ? "window" : "full screen");
        EXPECT_EXIT(
            {
                Start(windowMode);
                ptest::FailCall("CreateDirectDraw");
                Locked([] { return ChangeScreenMode(640, 480, 32, 1, 0); });
            },
            ::testing::ExitedWithCode(255), "");
        const std::string log = Log();
        std::string missing;
        EXPECT_TRUE(InOrder(log,
                            {"ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\r\n",
                             "DirectDraw オブジェクトの作成処理時にエラーが発生しました\r\n"},
                            &missing))
            << missing;
    }
}

TEST_F(ScreenTest, WindowModeOnADesktopTooSmallIsFatal) {
    ptest::SetDesktopSize(600, 400);
    EXPECT_EXIT(Start(1), ::testing::ExitedWithCode(255), "");
    EXPECT_NE(Log().find("デスクトップ画面のサイズが足りません、ソフトを終了します\r\n"), std::string::npos);
}

TEST_F(ScreenTest, TwentyFourBitDesktopRefusesWindowMode) {
    Start(1);
    ptest::SetDesktopDepth(24);
    EXPECT_EQ(Locked([] {
                  return ApplyDisplayMode(g_screen.directDraw, 1920, 1080, 640, 480, 32, nullptr, nullptr, 1, nullptr,
                                          GetMainWindowHwnd());
              }),
              -1);
    ptest::SetDesktopDepth(0);
}

TEST_F(ScreenTest, HardwareGraphicsTakeTheScreenDepthSoftwareKeepsTheRequest) {
    Start(1);  // the stored request is 16 bits; the desktop is 32
    EXPECT_EQ(g_screen.colorBitDepth, 32);
    EXPECT_EQ(GetColorBitDepth(), 32);
    ApiTerminateLibrary();
    g_screen.softwareRender = 1;
    g_screen.graphicsBitDepth = 16;
    g_screen.colorBitDepth = 16;
    Start(1);
    EXPECT_EQ(g_screen.colorBitDepth, 32);
    EXPECT_EQ(GetColorBitDepth(), 16);
    EXPECT_EQ(g_screen.frontImage.type, 0);
}

// ---- screen surfaces -------------------------------------------------------------------------------

TEST_F(ScreenTest, BackBufferCountFollowsVideoMemory) {
    for (uint64_t megabytes : {16u, 8u}) {
        SCOPED_TRACE(megabytes);
        ptest::SetVideoMemoryBudget(megabytes << 20);
        g_screen.width = 640;
        g_screen.height = 480;
        g_screen.colorBitDepth = 32;
        Start(0);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        g_screen.primary->GetSurfaceDesc(&desc);
        EXPECT_EQ(desc.dwBackBufferCount, megabytes == 16 ? 2u : 1u);
        ApiTerminateLibrary();
    }
}

TEST_F(ScreenTest, SurfaceSetOfEachModeFromTheJournal) {
    struct Case {
        const char* name;
        int windowMode;
        int software;
        std::vector<DWORD> caps;  // CreateSurface caps, in order
    };
    const DWORD offscreen = DDSCAPS_OFFSCREENPLAIN;
    const Case cases[] = {
        {"hardware window", 1, 0,
         {DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE, offscreen | DDSCAPS_3DDEVICE, offscreen | DDSCAPS_SYSTEMMEMORY,
          offscreen | DDSCAPS_SYSTEMMEMORY, DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY}},
        {"hardware full screen", 0, 0,
         {DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE, offscreen | DDSCAPS_SYSTEMMEMORY,
          offscreen | DDSCAPS_SYSTEMMEMORY, DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY}},
        {"software", 1, 1, {DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY, offscreen | DDSCAPS_SYSTEMMEMORY}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_screen.softwareRender = c.software;
        Start(c.windowMode);
        auto calls = Journal([] { ChangeScreenMode(-1, -1, -1, 1, -1); });
        std::vector<DWORD> caps;
        // The default font's cache texture comes and goes with graphics management.
        for (const auto& call : calls)
            if (call.method == "CreateSurface" && !(call.flags & DDSCAPS_TEXTURE))
                caps.push_back(call.flags);
        EXPECT_EQ(caps, c.caps);
        EXPECT_EQ(g_screen.screenImagesMade, c.software);
        ApiTerminateLibrary();
        g_screen.softwareRender = 0;
    }
}

TEST_F(ScreenTest, BackImageWrapsTheBackSurfaceOnlyInItsOwnFormat) {
    g_screen.softwareRender = 1;
    g_screen.width = 640;
    g_screen.height = 480;
    g_screen.colorBitDepth = 32;
    g_screen.graphicsBitDepth = 32;
    Start(0);
    EXPECT_EQ(g_screen.backImageWrapsSurface, 1);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 1);  // the back surface stays locked
    ApiTerminateLibrary();
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);

    ptest::SetDisplay16Format(ptest::Display16::X1R5G5B5);
    g_screen.colorBitDepth = 16;
    g_screen.graphicsBitDepth = 16;
    Start(0);
    EXPECT_EQ(g_screen.screenFormatClass, 1);
    EXPECT_EQ(g_screen.backImageWrapsSurface, 0);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    EXPECT_EQ(g_screen.backImage.type, 0);
    g_screen.softwareRender = 0;
}

TEST_F(ScreenTest, WindowModeFrontClearStaysInTheClientArea) {
    g_windowSystem.windowScale = 0.5;  // a client smaller than the screen
    Start(1);
    RECT client;
    Locked([&] { return GetWindowClientRect(&client); });
    IDirectDrawSurface7* primary = g_screen.primary;
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x123456;
    primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    Locked([] {
        SelectDrawTarget(-4);
        return ClearDrawTarget2D();
    });
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(primary->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DD_OK);
    auto at = [&](int x, int y) { return *(uint32_t*)((uint8_t*)d.lpSurface + y * d.lPitch + x * 4) & 0xFFFFFF; };
    EXPECT_EQ(at(client.left, client.top), 0u);
    EXPECT_EQ(at(client.right - 1, client.bottom - 1), 0u);
    EXPECT_EQ(at(client.right, client.top), 0x123456u);
    EXPECT_EQ(at(client.left, client.bottom), 0x123456u);
    EXPECT_EQ(at(client.left - 1, client.top), 0x123456u);
    primary->Unlock(nullptr);
}

TEST_F(ScreenTest, OnlyLostSurfacesAreRestored) {
    Start(1);
    ptest::MarkSurfaceLost(g_screen.back);
    auto calls = Journal([] { RestoreMainSurfaces(); });
    int restores = 0;
    for (const auto& c : calls)
        if (c.method == "Restore") {
            ++restores;
            EXPECT_EQ(c.object, ptest::GetSurfaceLabel(g_screen.back));
        }
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(g_screen.back->IsLost(), DD_OK);
}

TEST_F(ScreenTest, TheWindowClipperFollowsTheTargetInWindowModeOnly) {
    Start(1);
    IDirectDrawClipper* clipper = nullptr;
    Locked([] { return SelectDrawTarget(-4); });
    EXPECT_EQ(g_screen.primary->GetClipper(&clipper), DDERR_NOCLIPPERATTACHED);
    Locked([] { return SelectDrawTarget(-2); });
    ASSERT_EQ(g_screen.primary->GetClipper(&clipper), DD_OK);
    EXPECT_EQ(clipper, g_screen.clipper);
    clipper->Release();
    ApiTerminateLibrary();

    Start(0);
    auto calls = Journal([] {
        SelectDrawTarget(-4);
        SelectDrawTarget(-2);
    });
    EXPECT_EQ(Count(calls, "SetClipper"), 0);
}

// ---- present -----------------------------------------------------------------------------------

TEST_F(ScreenTest, FrontTargetWithTheWaitFlagWaitsOneBlankWithoutAFlip) {
    Start(0);
    Locked([] { return SelectDrawTarget(-4); });
    SetVBlankWaitFlag(1);
    uint64_t before = GetFrameCount();
    auto calls = Journal([] { PresentScreen(); });
    EXPECT_EQ(Count(calls, "Flip"), 0);
    EXPECT_EQ(GetFrameCount(), before + 1);
    // Without the flag it only counts.
    SetVBlankWaitFlag(0);
    calls = Journal([] { PresentScreen(); });
    EXPECT_EQ(Count(calls, "Flip"), 0);
    EXPECT_EQ(GetFrameCount(), before + 2);
}

TEST_F(ScreenTest, ThreePresentsCountThreeAndFlipTheChain) {
    Start(0);
    Locked([] {
        ChangeScreenMode(-1, -1, -1, 1, -1);  // the count starts again at every mode change
        return SelectDrawTarget(-2);
    });
    auto calls = Journal([] {
        for (int i = 0; i < 3; ++i)
            PresentScreen();
    });
    EXPECT_EQ(GetFrameCount(), 3u);
    EXPECT_EQ(Count(calls, "Flip"), 3);
}

TEST_F(ScreenTest, WindowScaleStretchesTheCopyIntoTheClientArea) {
    g_windowSystem.windowScale = 1.5;
    Start(1);
    Locked([] { return SelectDrawTarget(-2); });
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x00FF00;
    RECT corner = {639, 479, 640, 480};
    g_screen.back->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    qztest::TempDir frames;
    ptest::SetCaptureFolder(frames.path());
    Locked([] { return PresentScreen(); });
    ptest::SetCaptureFolder("");
    int w = 0, h = 0;
    std::vector<uint32_t> png = qztest::ReadPngRgb(frames.file("frame-000000.png"), &w, &h);
    EXPECT_EQ(w, 960);
    EXPECT_EQ(h, 720);
    ASSERT_EQ(png.size(), 960u * 720u);
    EXPECT_EQ(png[719 * 960 + 959], 0x00FF00u);
    EXPECT_EQ(png[717 * 960 + 957], 0u);
}

TEST_F(ScreenTest, PacedWaitSleepsInSteps) {
    Start(1);
    ptest::SetFastClockReadStep(0);
    g_screen.frameTime = 17;
    g_screen.pacingTime = 10;
    g_screen.lastVBlankWait = GetMillisecondTime(0) - 3;
    auto calls = Journal([] { WaitVBlankByFrameTime(); });
    // Sleep(0) is the library lock's yield when the message thread waits for it;
    // only the pacing sleeps count here.
    int sleeps = 0;
    for (const auto& c : calls)
        if (c.method == "Sleep" && c.flags != 0) {
            EXPECT_EQ(c.flags, 1u);
            ++sleeps;
        }
    EXPECT_EQ(sleeps, 7);
    auto last = std::find_if(calls.rbegin(), calls.rend(),
                             [](const auto& c) { return !(c.method == "Sleep" && c.flags == 0); });
    ASSERT_NE(last, calls.rend());
    EXPECT_EQ(last->method, "WaitForVerticalBlank");

    // An unknown frame time paces at 5 ms.
    g_screen.frameTime = -1;
    g_screen.pacingTime = -1;
    g_screen.lastVBlankWait = GetMillisecondTime(0) - 3;
    calls = Journal([] { WaitVBlankByFrameTime(); });
    int pacingSleeps = 0;
    for (const auto& c : calls) pacingSleeps += (c.method == "Sleep" && c.flags != 0);
    EXPECT_EQ(pacingSleeps, 2);
    ptest::SetFastClockReadStep(1000);
}

TEST_F(ScreenTest, WaitForVBlankCountsBlankStarts) {
    Start(1);
    ptest::SetFastClockReadStep(0);
    // Inside a blank: count 0 returns at once.
    ptest::SetFastClockMicroseconds(1000000 + 15300);
    uint64_t before = ptest::GetFastClockMicroseconds();
    EXPECT_EQ(Locked([] { return WaitForVBlank(0); }), 0);
    EXPECT_LT(ptest::GetFastClockMicroseconds() - before, 1000u);
    // Two blank starts from line 0: the second one, 1 2/3 frames later.
    ptest::SetFastClockMicroseconds(2000000);
    EXPECT_EQ(Locked([] { return WaitForVBlank(2); }), 0);
    uint64_t after = ptest::GetFastClockMicroseconds();
    EXPECT_GE(after, 2000000u + 15238 + 16667);
    EXPECT_LT(after, 2000000u + 15238 + 16667 + 1000);
    // A pump that reports the end ends the wait.
    Locked([] { return PostMessageA(GetMainWindowHwnd(), WM_CLOSE, 0, 0); });
    EXPECT_EQ(Locked([] { return WaitForVBlank(1); }), -1);
    ptest::SetFastClockReadStep(1000);
}

TEST_F(ScreenTest, SoftwarePresentFollowsARelocatedBackSurface) {
    g_screen.softwareRender = 1;
    g_screen.colorBitDepth = 32;
    g_screen.graphicsBitDepth = 32;
    Start(0);
    ASSERT_EQ(g_screen.backImageWrapsSurface, 1);
    Locked([] { return SelectDrawTarget(-2); });
    uint64_t frames = GetFrameCount();
    ptest::SetRelocateOnLock(true);
    for (int i = 0; i < 3; ++i) {
        uint8_t* before = g_screen.backImage.pixels;
        Locked([] { return PresentScreen(); });
        EXPECT_NE(g_screen.backImage.pixels, before);
        // Drawing into the header after the present must reach the new memory.
        uint32_t marker = 0x00ABCDEFu + (uint32_t)i;
        std::memcpy(g_screen.backImage.pixels, &marker, 4);
    }
    Locked([] { return PresentScreen(); });
    ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
    EXPECT_EQ(frame.pixels[0], 0x00ABCDEFu + 2);
    EXPECT_EQ(GetFrameCount(), frames + 4);
    ptest::SetRelocateOnLock(false);
    g_screen.softwareRender = 0;
}

}  // namespace

}  // namespace QzDrawScreen_test
