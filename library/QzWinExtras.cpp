// QzWinExtras.cpp: the window's shape, the dropped-file names, the cursor and the mouse
// position (see the header).
#include "QzWinExtras.h"

#include <platform/gdi.h>

#include "QzWinExtrasStandIns.h"
#include "QzWinMemory.h"
#include "QzWinMenu.h"
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
    // Reading the bitmap needs the image front end, which this build does not have yet.
    return -1;
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
