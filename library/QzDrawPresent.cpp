// QzDrawPresent.cpp: presenting frames and waiting for the vertical blank.
//
// Full screen flips the chain (waiting for the blank when the wait flag is set). Window
// mode, software rendering and a visible menu copy the back surface to the primary
// instead, paced: sleep in 1 ms steps until the pacing time since the previous paced
// wait has passed, then block until the next blank starts. Every poll loop is bounded,
// so a display that never reports a blank cannot hang the library.
#include "QzDrawPresent.h"

#include <cstring>

#include "Qz3DDevice.h"
#include "Qz3DScene.h"
#include "QzDrawConvert.h"
#include "QzDrawMemImg.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzWinMenu.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsImage.h"
#include "QzWinLog.h"
#include "QzWinMessage.h"
#include "QzWinScreenLog.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"

namespace {

// How long a blank poll may go on: about two display frames.
constexpr int kBlankPollLimitMs = 34;

// The on-screen log over the finished frame, drawn with neutral settings.
void DrawScreenLogOverFrame() {
    if (!IsScreenLogVisible())
        return;
    RECT area = g_drawState.drawArea;
    int mode = g_drawState.blendMode, param = g_drawState.blendParam;
    uint32_t bright = g_drawState.brightColor;
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    SetDrawAreaRect(RECT{0, 0, width, height});
    g_drawState.blendMode = 0;
    g_drawState.blendParam = 0;
    g_drawState.brightColor = 0xFFFFFF;
    DrawScreenLog();
    SetDrawAreaRect(area);
    g_drawState.blendMode = mode;
    g_drawState.blendParam = param;
    g_drawState.brightColor = bright;
}

// Milliseconds since a reading of the wrapping 32-bit clock.
int ElapsedSince(int then) {
    return (int)((unsigned)GetMillisecondTime(0) - (unsigned)then);
}

bool PacedWaitWanted() {
    return g_screen.vblankWait && CheckVSyncWaitAllowed();
}

// The blank status; an error counts as no blank.
bool InBlank() {
    BOOL blank = FALSE;
    if (g_screen.directDraw->GetVerticalBlankStatus(&blank) != DD_OK)
        return false;
    return blank != FALSE;
}

void RelockBackImage() {
    DDSURFACEDESC2 lock;
    std::memset(&lock, 0, sizeof lock);
    lock.dwSize = sizeof lock;
    if (g_screen.back->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr) != DD_OK)
        ExitWithFatalError("バックサーフェスのロックに失敗しました");
    // The lock may hand out other memory: the header follows it.
    ReleaseMEMIMG(&g_screen.backImage);
    std::memset(&g_screen.backImage, 0, sizeof g_screen.backImage);
    g_screen.backImage.pixels = (uint8_t*)lock.lpSurface;
    if (SetupMEMIMG(&g_screen.backImage, g_screen.width, g_screen.height, lock.lPitch, 0,
                    g_screen.colorBitDepth == 16 ? 0 : 1, 0, 0, 0) != 0)
        ExitWithFatalError("バックサーフェスのロックに失敗しました");
}

}  // namespace

int ResetFrameCounter() {
    g_screen.frameCounter = 0;
    return 0;
}

int CountFrame() {
    ++g_screen.frameCounter;
    return 0;
}

uint64_t GetFrameCount() {
    return g_screen.frameCounter;
}

int WaitVBlankByFrameTime() {
    int wait = g_screen.frameTime == -1 || g_screen.pacingTime < 0 ? 5 : g_screen.pacingTime;
    if (ElapsedSince(g_screen.lastVBlankWait) < wait) {
        while (ElapsedSince(g_screen.lastVBlankWait) < wait)
            Sleep(1);
        g_screen.directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    } else {
        Sleep(0);
        if (!InBlank())
            g_screen.directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    }
    g_screen.lastVBlankWait = GetMillisecondTime(0);
    return g_screen.lastVBlankWait;
}

int WaitForVBlank(int count) {
    if (g_screen.directDraw == nullptr)
        return -1;
    WaitForWindowActive();
    if (count < 0)
        return 0;
    if (count == 0) {
        int start = GetMillisecondTime(0);
        while (ProcessMessage() == 0 && !InBlank() && ElapsedSince(start) < kBlankPollLimitMs) {
        }
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        int start = GetMillisecondTime(0);
        bool blank = InBlank();
        while (ProcessMessage() == 0 && blank && ElapsedSince(start) < kBlankPollLimitMs)
            blank = InBlank();
        start = GetMillisecondTime(0);
        while (ProcessMessage() == 0 && !blank && ElapsedSince(start) < kBlankPollLimitMs)
            blank = InBlank();
        if (ProcessMessage() < 0)
            return -1;
    }
    return 0;
}

int PresentScreen() {
    if (g_screen.directDraw == nullptr)
        return -1;
    WaitForWindowActive();
    if (g_screen.softwareRender || g_screen.bltPresent || IsWindowMode() || IsMenuEnabled())
        return BltBackScreenToFront();
    DrawScreenLogOverFrame();
    if (g_drawState.drawScreen == -4) {
        // Drawing went straight to the front: there is nothing to flip.
        CountFrame();
        return PacedWaitWanted() ? WaitForVBlank(1) : 0;
    }
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    g_screen.primary->Flip(nullptr, DDFLIP_WAIT | (PacedWaitWanted() ? 0 : DDFLIP_NOVSYNC));
    CountFrame();
    return 0;
}

int BltBackScreenToFront() {
    if (g_screen.directDraw == nullptr)
        return -1;
    DrawScreenLogOverFrame();
    if (g_drawState.drawScreen == -4) {
        CountFrame();
        return WaitForVBlank(1);
    }
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    RECT src = {0, 0, width, height};
    RECT dst = src;
    if (IsWindowMode()) {
        RECT client;
        GetWindowClientRect(&client);
        double scale = GetWindowScale();
        dst = RECT{client.left, client.top, client.left + (int)(scale * width), client.top + (int)(scale * height)};
    }
    if (g_screen.primary == nullptr || g_screen.back == nullptr)
        return -1;
    if (IsSoftwareScreen()) {
        if (g_screen.backImageWrapsSurface) {
            g_screen.back->Unlock(nullptr);
            if (PacedWaitWanted())
                WaitVBlankByFrameTime();
            g_screen.primary->Blt(&dst, g_screen.back, &src, DDBLT_WAIT, nullptr);
            RelockBackImage();
        } else {
            DDSURFACEDESC2 lock;
            std::memset(&lock, 0, sizeof lock);
            lock.dwSize = sizeof lock;
            if (g_screen.back->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr) != DD_OK)
                ExitWithFatalError("バックサーフェスのロックに失敗しました");
            GraphImage header;
            std::memset(&header, 0, sizeof header);
            header.colorFormat = g_screen.screenFormat;
            header.width = width;
            header.height = height;
            header.pitch = lock.lPitch;
            header.pixels = lock.lpSurface;
            CopyMEMIMGToSurfaceMemory(&header, &g_screen.backImage, 0, 0, width, height, 0, 0, 0, 0);
            g_screen.back->Unlock(nullptr);
            if (PacedWaitWanted())
                WaitVBlankByFrameTime();
            g_screen.primary->Blt(&dst, g_screen.back, &src, DDBLT_WAIT, nullptr);
        }
        g_screen.frontDirty = 1;
    } else {
        G_D3D_FlushVertexBatch();
        G_D3D_EndScene();
        if (PacedWaitWanted())
            WaitVBlankByFrameTime();
        if (IsWindowMode())
            g_screen.primary->Blt(&dst, g_screen.back, &src, DDBLT_WAIT, nullptr);
        else if (g_screen.bltPresent || IsMenuEnabled())
            g_screen.primary->Blt(nullptr, g_screen.back, nullptr, DDBLT_WAIT, nullptr);
        else
            g_screen.primary->BltFast(0, 0, g_screen.back, &src, DDBLTFAST_WAIT);
    }
    CountFrame();
    return 0;
}

int CopyBetweenSurfaces(IDirectDrawSurface7* dst, IDirectDrawSurface7* src, int x, int y, const RECT* srcRect,
                        int method) {
    if (dst == nullptr || src == nullptr || srcRect == nullptr)
        return -1;
    if (method == -1)
        method = g_screen.copyMethod;
    if (method == 1) {
        HDC dstDc = nullptr, srcDc = nullptr;
        if (dst->GetDC(&dstDc) != DD_OK)
            return -1;
        if (src->GetDC(&srcDc) != DD_OK) {
            dst->ReleaseDC(dstDc);
            return -1;
        }
        BOOL ok = BitBlt(dstDc, x, y, srcRect->right - srcRect->left, srcRect->bottom - srcRect->top, srcDc,
                         srcRect->left, srcRect->top, SRCCOPY);
        GdiFlush();
        src->ReleaseDC(srcDc);
        dst->ReleaseDC(dstDc);
        return ok ? 0 : -1;
    }
    RECT r = *srcRect;
    return dst->BltFast((DWORD)x, (DWORD)y, src, &r, 0) == DD_OK ? 0 : -1;
}

int CopyFrontMEMIMGToPrimary(const RECT* rect) {
    if (g_screen.primary == nullptr || rect == nullptr)
        return -1;
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    RECT r = *rect;
    RECT screen = {0, 0, width, height};
    ClipRect(&r, &screen);
    if (r.left == r.right || r.top == r.bottom)
        return 0;
    int ox = 0, oy = 0;
    if (IsWindowMode()) {
        RECT client;
        GetWindowClientRect(&client);
        ox = client.left;
        oy = client.top;
    }
    RECT lockRect = {r.left + ox, r.top + oy, r.right + ox, r.bottom + oy};
    DDSURFACEDESC2 lock;
    std::memset(&lock, 0, sizeof lock);
    lock.dwSize = sizeof lock;
    if (g_screen.primary->Lock(&lockRect, &lock, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK)
        return -1;
    GraphImage header;
    std::memset(&header, 0, sizeof header);
    header.colorFormat = g_screen.screenFormat;
    header.width = r.right - r.left;
    header.height = r.bottom - r.top;
    header.pitch = lock.lPitch;
    header.pixels = lock.lpSurface;
    CopyMEMIMGToSurfaceMemory(&header, &g_screen.frontImage, r.left, r.top, header.width, header.height, 0, 0, 0, 0);
    g_screen.primary->Unlock(&lockRect);
    return 0;
}

int RefreshFrontMEMIMG() {
    if (!IsSoftwareScreen() || !g_screen.frontDirty || g_screen.primary == nullptr)
        return 0;
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    RECT client = {0, 0, width, height};
    if (IsWindowMode())
        GetWindowClientRect(&client);
    RECT lockRect = {client.left, client.top, client.left + width, client.top + height};
    DDSURFACEDESC2 lock;
    std::memset(&lock, 0, sizeof lock);
    lock.dwSize = sizeof lock;
    if (g_screen.primary->Lock(&lockRect, &lock, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
        return -1;
    RECT whole = {0, 0, width, height};
    ConvertPixelRect(g_screen.frontImage.pixels, g_screen.frontImage.pitch, g_screen.frontImage.format, lock.lpSurface,
                     lock.lPitch, &g_screen.screenFormat, nullptr, 0, nullptr, 0, 0, &whole, 0, 0, 0, 0, 0, 0, 0);
    g_screen.primary->Unlock(&lockRect);
    g_screen.frontDirty = 0;
    return 0;
}
