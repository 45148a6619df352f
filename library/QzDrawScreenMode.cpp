// QzDrawScreenMode.cpp: the screen-mode change and its public face.
//
// A change tears down every graphic, Direct3D and the screen surfaces, sets the display
// mode with a fixed chain of fallbacks (the refresh rate, then the old mode, then
// 640 x 480 x 16), rebuilds, and measures which copy method is faster and how long a
// display frame lasts. Changes less than 2 s apart wait out the rest of 2060 ms first,
// so the display settles; others wait 60 ms. Every poll of the display is bounded.
#include "QzDrawScreenMode.h"

#include <cstring>

#include "Qz3DSystem.h"
#include "QzDraw2D.h"
#include "QzDrawDevice.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsSystem.h"
#include "QzUseCLib.h"
#include "QzWinScreenLog.h"
#include "QzWinLog.h"
#include "QzWinMessage.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"

namespace {

constexpr int kPollLimitMs = 100;

int ElapsedSince(int then) {
    return (int)((unsigned)GetMillisecondTime(0) - (unsigned)then);
}

DWORD Multithreaded() {
    return g_screen.multithreaded ? DDSCL_MULTITHREADED : 0;
}

bool Tolerated(HRESULT hr) {
    return hr == DD_OK || hr == DDERR_HWNDALREADYSET || hr == DDERR_HWNDSUBCLASSED ||
           hr == DDERR_EXCLUSIVEMODEALREADYSET;
}

void SetCooperative(DWORD flags, bool fullScreen) {
    g_screen.cooperativeLevel = (int32_t)flags;
    HRESULT hr = g_screen.directDraw->SetCooperativeLevel(GetMainWindowHwnd(), flags);
    if (fullScreen ? !Tolerated(hr) : hr != DD_OK)
        ExitWithFatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
}

// ---- the frame-time measurement ------------------------------------------------------------
// One poll of the display: the scan line and whether the blank runs. False when the
// display answers with anything but the line (or the blank in progress).
struct Display {
    IDirectDraw7* dd;
    bool Poll(DWORD* line, bool* blank) {
        BOOL inBlank = FALSE;
        if (dd->GetVerticalBlankStatus(&inBlank) != DD_OK)
            return false;
        HRESULT hr = dd->GetScanLine(line);
        if (hr != DD_OK && hr != DDERR_VERTICALBLANKINPROGRESS)
            return false;
        *blank = inBlank != FALSE || hr == DDERR_VERTICALBLANKINPROGRESS;
        return true;
    }
    // Polls until the line wraps below `from` or a blank begins. False on an error or
    // after the poll limit.
    bool UntilWrapOrBlank(DWORD from) {
        int start = GetMillisecondTime(0);
        for (;;) {
            DWORD line;
            bool blank;
            if (!Poll(&line, &blank))
                return false;
            if (line < from || blank)
                return true;
            if (ElapsedSince(start) > kPollLimitMs)
                return false;
        }
    }
    bool UntilBlankEnds() {
        int start = GetMillisecondTime(0);
        for (;;) {
            DWORD line;
            bool blank;
            if (!Poll(&line, &blank))
                return false;
            if (!blank)
                return true;
            if (ElapsedSince(start) > kPollLimitMs)
                return false;
        }
    }
    bool Line(DWORD* line) {
        bool blank;
        return Poll(line, &blank);
    }
};

int MeasureFrameTime(int samples[4]) {
    std::memset(samples, 0, 4 * sizeof(int));
    Display display{g_screen.directDraw};
    DWORD start;
    for (int i = 0; i < 3; ++i) {
        if (!display.Line(&start) || !display.UntilWrapOrBlank(start) || !display.UntilBlankEnds())
            return -1;
    }
    if (!display.Line(&start) || !display.UntilWrapOrBlank(start))
        return -1;
    for (int batch = 0; batch < 5; ++batch) {
        for (int i = 0; i < 4; ++i) {
            int began = GetMillisecondTime(0);
            DWORD line;
            if (!display.UntilBlankEnds() || !display.Line(&line) || !display.UntilWrapOrBlank(line))
                return -1;
            samples[i] = ElapsedSince(began);
        }
        if (batch < 4) {
            int found = FindRepeatedFrameSample(samples);
            if (found >= 0)
                return found;
        }
    }
    return -1;
}

void MeasureCopyMethod() {
    int width = g_screen.width, height = g_screen.height;
    RECT rect = {0, 0, width, height};
    IDirectDrawSurface7* work = g_screen.work[0];
    IDirectDrawSurface7* primary = g_screen.primary;
    double bltFast = 0, bitBlt = 0;
    if (work && primary) {
        int64_t t0 = GetMicrosecondTime(0);
        for (int i = 0; i < 8; ++i)
            work->BltFast(0, 0, primary, &rect, 0);
        int64_t t1 = GetMicrosecondTime(0);
        bltFast = (double)(t1 - t0);
        HDC workDc = nullptr, primaryDc = nullptr;
        if (work->GetDC(&workDc) == DD_OK) {
            if (primary->GetDC(&primaryDc) == DD_OK) {
                int64_t t2 = GetMicrosecondTime(0);
                for (int i = 0; i < 8; ++i)
                    BitBlt(workDc, 0, 0, width, height, primaryDc, 0, 0, SRCCOPY);
                int64_t t3 = GetMicrosecondTime(0);
                bitBlt = (double)(t3 - t2);
                primary->ReleaseDC(primaryDc);
            }
            work->ReleaseDC(workDc);
        }
    }
    g_screen.copyMethod = bitBlt <= bltFast ? 1 : 0;
    WriteLogFormat("サーフェス間転送には %s を使用します", g_screen.copyMethod ? "BitBlt" : "BltFast");
    WriteLogFormat("BitBlt:%.0lfμs   BltFast:%.0lfμs", bitBlt, bltFast);
}

}  // namespace

int FindRepeatedFrameSample(const int samples[4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            if (samples[i] == samples[j])
                return samples[i];
    return -1;
}

int PacingTimeOf(int frameTime) {
    return frameTime == -1 ? -1 : (2 * frameTime - 4) / 3;
}

int MeasureFrameTimeNow() {
    int samples[4];
    int frameTime = MeasureFrameTime(samples);
    // Below 3 ms nothing real was measured.
    if (frameTime >= 0 && frameTime < 3)
        frameTime = -1;
    g_screen.frameTime = frameTime;
    if (frameTime == -1)
        WriteLog("１フレームの時間を正常に取得できませんでした\n");
    else
        WriteLogFormat("１フレーム当たりの時間は %d msecです", frameTime);
    for (int i = 0; i < 4; ++i)
        WriteLogFormat("\tTri%02d:%d msec", i, samples[i]);
    g_screen.pacingTime = PacingTimeOf(frameTime);
    return frameTime;
}

int ApplyDisplayMode(IDirectDraw7* dd, int desktopWidth, int desktopHeight, int width, int height, int bits,
                     int* bitsOut, int* cooperativeOut, int windowMode, int* displayModeChanged, HWND window) {
    WriteLogFormat("画面モードの変更処理を開始します %u x %u  %u bit ", (unsigned)width, (unsigned)height,
                   (unsigned)bits);
    IndentLog();
    if (g_screen.multithreaded)
        WriteLog("協調レベルはマルチスレッド対応にします\n");
    int result = 0;
    if (windowMode) {
        WriteLog("ウインドウモードにします\n");
        if (width > desktopWidth || height > desktopHeight)
            ExitWithFatalError("デスクトップ画面のサイズが足りません、ソフトを終了します");
        if (displayModeChanged && *displayModeChanged == 1) {
            WriteLog("フルスクリーンモードから抜けます\n");
            dd->RestoreDisplayMode();
            *displayModeChanged = 0;
        }
        HDC screen = GetDC(nullptr);
        int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(nullptr, screen);
        if (depth == 24) {
            result = -1;
        } else {
            if (bitsOut)
                *bitsOut = depth;
            DWORD flags = DDSCL_NORMAL | Multithreaded();
            if (dd->SetCooperativeLevel(window, flags) != DD_OK)
                ExitWithFatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
            if (cooperativeOut)
                *cooperativeOut = (int)flags;
        }
    } else if (bits == 24) {
        result = -1;
    } else {
        WriteLog("画面解像度を変更します... ");
        DWORD flags = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | Multithreaded();
        if (!Tolerated(dd->SetCooperativeLevel(window, flags)))
            ExitWithFatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
        if (cooperativeOut)
            *cooperativeOut = (int)flags;
        if (dd->SetDisplayMode(width, height, bits, g_screen.refreshRate, 0) != DD_OK) {
            g_screen.refreshRate = 0;
            if (dd->SetDisplayMode(width, height, bits, 0, 0) != DD_OK) {
                WriteLog("画面モードの変更に失敗しました\n");
                result = -1;
            }
        }
        if (result == 0) {
            if (bitsOut)
                *bitsOut = bits;
            if (displayModeChanged)
                *displayModeChanged = 1;
            WriteLog("成功しました\n");
        }
    }
    UnindentLog();
    if (result == 0)
        WriteLog("画面モードの変更は正常に終了しました \n");
    return result;
}

int ChangeScreenMode(int width, int height, int bits, int force, int refresh) {
    if (width == -1)
        width = g_screen.width;
    if (height == -1)
        height = g_screen.height;
    if (bits == -1)
        bits = g_screen.colorBitDepth;
    if (refresh == -1)
        refresh = g_screen.refreshRate;
    if (width == g_screen.width && height == g_screen.height && bits == g_screen.colorBitDepth &&
        refresh == g_screen.refreshRate && force == 0)
        return 0;

    WriteLog("画面モード変更処理を開始します\n");
    IndentLog();
    char fontFace[256] = "";
    int fontSize = 0, fontThickness = 0;
    bool font = GetDefaultFontSettings(fontFace, sizeof fontFace, &fontSize, &fontThickness) == 0;
    int oldWidth = g_screen.width, oldHeight = g_screen.height, oldBits = g_screen.colorBitDepth;
    int oldRefresh = g_screen.refreshRate;
    g_screen.width = width;
    g_screen.height = height;
    g_screen.colorBitDepth = bits;
    g_screen.refreshRate = refresh;
    uint32_t transColor = g_graphCreateSettings.transColor;
    if (g_screen.directDraw == nullptr) {
        UnindentLog();
        return 0;
    }

    if (g_screen.lastModeChange != 0 && ElapsedSince(g_screen.lastModeChange) < 2000)
        Sleep((DWORD)(2060 - ElapsedSince(g_screen.lastModeChange)));
    else
        Sleep(60);
    g_screen.lastModeChange = GetMillisecondTime(0);

    DeleteAllGraphs(0);
    TerminateGraphData();
    TerminateDirect3D();
    ReleaseScreenPalette();
    ReleaseMainSurfaces();

    int result = 0;
    bool window = IsWindowMode() != 0;
    if (g_screen.directDrawInitialized) {
        transColor = g_graphCreateSettings.transColor;
        WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
        DeleteAllSurface2D();
        SetCooperative(DDSCL_NORMAL, false);
        // The clipper belongs to the object: it goes with it and comes back on the new one.
        ReleaseClipper();
        g_screen.directDraw->Release();
        g_screen.directDraw = nullptr;
        WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
        if (CreateDirectDrawObject(&g_screen.directDraw) != 0)
            ExitWithFatalError("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
        RecreateClipper();
        if (window) {
            SetCooperative(DDSCL_NORMAL | Multithreaded(), false);
        } else {
            SetCooperative(DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | Multithreaded(), true);
        }
        g_screen.displayModeChanged = 0;
        if (!window) {
            IDirectDraw7* dd = g_screen.directDraw;
            WriteLog("画面解像度を変更します... ");
            bool ok = dd->SetDisplayMode(width, height, bits, refresh, 0) == DD_OK;
            if (!ok) {
                g_screen.refreshRate = 0;
                ok = dd->SetDisplayMode(width, height, bits, 0, 0) == DD_OK;
            }
            if (!ok) {
                g_screen.width = oldWidth;
                g_screen.height = oldHeight;
                g_screen.colorBitDepth = oldBits;
                g_screen.refreshRate = oldRefresh;
                ok = dd->SetDisplayMode(oldWidth, oldHeight, oldBits, 0, 0) == DD_OK;
            }
            if (!ok) {
                result = -2;
                g_screen.width = 640;
                g_screen.height = 480;
                g_screen.colorBitDepth = 16;
                g_screen.refreshRate = 0;
                if (dd->SetDisplayMode(640, 480, 16, 0, 0) != DD_OK)
                    ExitWithFatalError("予期せぬ画面モード変更不能現象が起きました2\n");
            }
            g_screen.displayModeChanged = 1;
            WriteLog("成功しました\n");
        }
        UnindentLog();
    } else {
        int desktopWidth = 0, desktopHeight = 0, desktopBits = 0;
        if (!window)
            ApplyWindowStyle();
        GetDesktopScreenMode(&desktopWidth, &desktopHeight, &desktopBits);
        if (g_screen.width == 0)
            g_screen.width = 640;
        if (g_screen.height == 0)
            g_screen.height = 480;
        if (g_screen.colorBitDepth == 0)
            g_screen.colorBitDepth = 16;
        int cooperative = 0;
        auto apply = [&]() {
            int applied = ApplyDisplayMode(g_screen.directDraw, desktopWidth, desktopHeight, g_screen.width,
                                           g_screen.height, g_screen.colorBitDepth, nullptr, &cooperative, window,
                                           &g_screen.displayModeChanged, GetMainWindowHwnd());
            if (applied == 0)
                g_screen.cooperativeLevel = cooperative;
            return applied;
        };
        if (apply() == -1) {
            result = -1;
            int requestedWidth = g_screen.width, requestedHeight = g_screen.height;
            int requestedBits = g_screen.colorBitDepth;
            g_screen.width = oldWidth;
            g_screen.height = oldHeight;
            g_screen.colorBitDepth = oldBits;
            g_screen.refreshRate = oldRefresh;
            if (!window)
                ApplyWindowStyle();
            bool retried = false;
            bool ok = false;
            if (!(requestedWidth == oldWidth && requestedHeight == oldHeight && requestedBits == oldBits &&
                  oldRefresh == 0) &&
                oldWidth > 0 && oldHeight > 0 && oldBits > 0) {
                retried = true;
                ok = apply() == 0;
            }
            if (!retried || !ok) {
                result = -2;
                g_screen.width = 640;
                g_screen.height = 480;
                g_screen.colorBitDepth = 16;
                g_screen.refreshRate = 0;
                if (window)
                    ApplyWindowStyle();
                if (apply() == -1)
                    ExitWithFatalError("予期せぬ画面モード変更不能現象が起きました\n");
            }
        }
    }

    ReadDisplayPixelFormat();
    if (window)
        ApplyWindowStyle();
    CreateMainSurfaces();
    if (!g_screen.disable3D && !g_screen.softwareRender)
        InitializeDirect3D();
    InitializeGraphData();
    if (font)
        SetStandardFontSize(fontFace, fontSize, fontThickness);
    InitScreenLog();
    CreateScreenPalette();

    if (!(g_screen.softwareRender && g_screen.colorBitDepth != 8))
        MeasureCopyMethod();
    g_screen.scanLines = GetSystemMetrics(SM_CYSCREEN);
    char line[kLogFormatBufferSize];
    FormatStringBounded(line, sizeof line, "スキャンラインの数:%d\n", g_screen.scanLines);
    WriteLog(line);
    MeasureFrameTimeNow();

    if (g_screen.directDrawInitialized)
        g_graphCreateSettings.transColor = transColor;
    UnindentLog();
    WriteLog("画面モード変更処理は正常に終了しました\n");
    ProcessMessage();
    ResetFrameCounter();
    return result;
}

int SetScreenMode(int width, int height, int bits, int refresh) {
    DeleteAllGraphs(0);
    if (width == -1)
        width = g_screen.width;
    if (height == -1)
        height = g_screen.height;
    if (bits == -1)
        bits = g_screen.colorBitDepth;
    if (refresh == -1)
        refresh = g_screen.refreshRate;
    // Any size of 0 or less (after -1 took the stored one) is refused, not passed on.
    if (width <= 0 || height <= 0 || (bits != 8 && bits != 16 && bits != 32))
        return -1;
    int oldWidth = g_screen.width, oldHeight = g_screen.height, oldBits = g_screen.colorBitDepth;
    int oldRefresh = g_screen.refreshRate;
    g_screen.graphicsBitDepth = bits;
    ChangeScreenMode(width, height, bits, 0, refresh);
    auto stored = [&](int w, int h, int b, int r) {
        return g_screen.width == w && g_screen.height == h && g_screen.colorBitDepth == b && g_screen.refreshRate == r;
    };
    if (stored(width, height, bits, refresh))
        return 0;
    if (stored(oldWidth, oldHeight, oldBits, oldRefresh))
        return -1;
    if (stored(640, 480, 16, 0))
        return -2;
    return -1;
}

int SetHardwareRenderMode(int flag) {
    g_screen.softwareRender = flag == 0 ? 1 : 0;
    if (g_screen.directDraw != nullptr) {
        int target = g_drawState.drawScreen;
        DeleteAllGraphs(0);
        ChangeScreenMode(-1, -1, -1, 1, -1);
        if (target == -4 || target == -2)
            SelectDrawTarget(target);
    }
    return 0;
}

int IsWindowPrimaryTarget() {
    return IsWindowMode() && g_screen.drawTarget.surface != nullptr && g_screen.drawTarget.surface == g_screen.primary
               ? 1
               : 0;
}
