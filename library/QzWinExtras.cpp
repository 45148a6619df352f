// QzWinExtras.cpp: the window's shape, the dropped-file names, the cursor, the mouse
// position and the background picture (see the header).
#include "QzWinExtras.h"

#include <platform/gdi.h>

#include "QzGraphicsData.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzGraphicsDib.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsLoad.h"
#include "QzGraphicsSystem.h"
#include "QzWinToolbar.h"
#include "QzWinMemory.h"
#include "QzWinMenu.h"
#include "QzWinProc.h"
#include "QzWinState.h"
#include "QzWinWindow.h"

namespace {

bool IsZeroPixel(const unsigned char* pixel, int bytesPerPixel) {
    for (int i = 0; i < bytesPerPixel; i++)
        if (pixel[i] != 0) return false;
    return true;
}

// Replaces the window's shape; the window keeps a copy of its own.
void ReplaceWindowRegion(HRGN region) {
    WindowSystemState& ws = g_windowSystem;
    if (ws.windowRegion != nullptr) DeleteObject(ws.windowRegion);
    ws.windowRegion = region;
    if (ws.mainWindow != nullptr) SetWindowRgn(ws.mainWindow, region, TRUE);
}

}  // namespace

HRGN MakeRegionFromImage(int width, int height, const void* pixels, int pitch, int bytesPerPixel) {
    // Below 8 bits a pixel has no whole byte of its own: such an image cannot be read
    // this way, and every pixel would test zero.
    if (bytesPerPixel < 1 || bytesPerPixel > 4 || pixels == nullptr) return nullptr;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (region == nullptr) return nullptr;
    const auto* rows = static_cast<const unsigned char*>(pixels);
    for (int y = 0; y < height; y++) {
        const unsigned char* row = rows + static_cast<ptrdiff_t>(y) * pitch;
        int x = 0;
        while (x < width) {
            while (x < width && IsZeroPixel(row + x * bytesPerPixel, bytesPerPixel)) x++;
            const int start = x;
            while (x < width && !IsZeroPixel(row + x * bytesPerPixel, bytesPerPixel)) x++;
            if (x == start) continue;
            HRGN run = CreateRectRgn(start, y, x, y + 1);
            const bool joined = run != nullptr && CombineRgn(region, region, run, RGN_OR) != ERROR;
            if (run != nullptr) DeleteObject(run);
            if (!joined) {
                DeleteObject(region);
                return nullptr;
            }
        }
    }
    return region;
}

int SetWindowRegionFromFile(const char* bitmapFile) {
    if (bitmapFile == nullptr) {
        ReplaceWindowRegion(nullptr);
        return 0;
    }
    HBITMAP bitmap = CreateDIBGraphFromFile(bitmapFile, 0, nullptr);
    if (bitmap == nullptr) return -1;
    BITMAP info = {};
    HRGN region = nullptr;
    if (GetObjectA(bitmap, sizeof info, &info) != 0) {
        const int pitch = (info.bmWidth * info.bmBitsPixel / 8 + 3) & ~3;
        region = MakeRegionFromImage(info.bmWidth, info.bmHeight, info.bmBits, pitch, info.bmBitsPixel / 8);
    }
    // The region is made from a copy of the pixels; the bitmap is not needed afterwards.
    DeleteObject(bitmap);
    if (region == nullptr) return -1;
    ReplaceWindowRegion(region);
    return 0;
}

int FreeDroppedFileNames() {
    WindowSystemState& ws = g_windowSystem;
    for (int i = 0; i < ws.droppedFileCount; i++) {
        FreeMemory(ws.droppedFiles[i]);
        ws.droppedFiles[i] = nullptr;
    }
    ws.droppedFileCount = 0;
    return 0;
}

int UpdateCursorVisibility(int flag) {
    WindowSystemState& ws = g_windowSystem;
    ws.mouseVisible = flag;
    const int shown = flag == 1 || ShouldShowMenu() == 1 ? 1 : 0;
    if (shown == ws.cursorShown) return 0;
    if (shown) {
        while (ShowCursor(TRUE) < 0) {
        }
    } else {
        while (ShowCursor(FALSE) >= 0) {
        }
    }
    if (ws.mainWindow != nullptr)
        PostMessageA(ws.mainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(ws.mainWindow), 0);
    ws.cursorShown = shown;
    return 0;
}

int GetClientMousePosition(int* x, int* y) {
    const WindowSystemState& ws = g_windowSystem;
    POINT point = {0, 0};
    GetCursorPos(&point);
    int px = point.x, py = point.y;
    if (ws.windowMode) {
        const double scale = GetWindowScale();
        px = static_cast<int>((point.x - ws.clientRect.left) / scale);
        py = static_cast<int>((point.y - (ws.clientRect.top + MeasureToolbarHeight())) / scale);
    }
    if (x) *x = px;
    if (y) *y = py;
    return 0;
}

int SetWindowBackgroundPicture(const char* file, const void* image, int imageSize) {
    WindowSystemState& ws = g_windowSystem;
    if (file == nullptr && image == nullptr) return 0;
    const int sourceKind = file != nullptr ? 0 : 1;
    GraphImage picture = {}, alpha = {};
    if (DecodeGraphImageWithAlpha(file, image, imageSize, sourceKind, nullptr, 0, sourceKind, &picture, &alpha, 0) == -1)
        return -1;
    // The picture is drawn opaque: a companion alpha image has no use here.
    FreeGraphImage(&alpha);
    if (ws.backgroundImage.pixels != nullptr) FreeGraphImage(&ws.backgroundImage);
    if (ws.backgroundGraph > 0) DeleteOneGraph(ws.backgroundGraph, 0);
    ws.backgroundImage = picture;
    // Before graphics start-up the graphic waits: the first paint makes it.
    ws.backgroundGraph = IsGraphDataInitialized() ? BuildGraphFromGraphImage(&ws.backgroundImage, nullptr, 1, 0, 0) : -1;
    return 0;
}

int DrawInactiveBackground(HDC) {
    WindowSystemState& ws = g_windowSystem;
    if (ws.endingFlag == 1) return 0;
    if (ws.backgroundImage.pixels == nullptr) return -1;
    // Drawing must not wait for the window to become active: it is inactive now.
    const int runAlways = ws.runAlways;
    ws.runAlways = 1;
    if (GetGraphData(ws.backgroundGraph) == nullptr) {
        ws.backgroundGraph =
            IsGraphDataInitialized() ? BuildGraphFromGraphImage(&ws.backgroundImage, nullptr, 1, 0, 0) : -1;
        if (ws.backgroundGraph < 0) {
            ws.runAlways = runAlways;
            return -1;
        }
    }
    const int target = GetSelectedDrawTarget();
    const int filter = GetDrawFilterMode();
    const int vblank = GetVBlankWaitFlag();
    SelectDrawTarget(kDrawTargetBack);
    SetDrawFilterMode(1);
    SetVBlankWaitFlag(0);

    // The back screen holds the game's frame in progress: keep it, show the picture,
    // then put the frame back.
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    const int saved = CreateBlankGraph(width, height);
    if (saved >= 0) CaptureDrawTargetToGraph(0, 0, width, height, saved, 0);
    if (ws.backgroundImage.width == width && ws.backgroundImage.height == height)
        DrawPlainGraph(0, 0, ws.backgroundGraph, 0);
    else
        DrawStretchedGraph(0, 0, width, height, ws.backgroundGraph, 0);
    BltBackScreenToFront();
    if (saved >= 0) {
        DrawPlainGraph(0, 0, saved, 0);
        DeleteOneGraph(saved, 0);
    }

    SelectDrawTarget(target);
    SetDrawFilterMode(filter);
    SetVBlankWaitFlag(vblank);
    ws.runAlways = runAlways;
    return 0;
}
