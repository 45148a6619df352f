// gdi/desktop.cpp: the desktop's device context and what it reports. Any thread.
// The desktop is 32-bit colour in one plane, so that the library's depth (planes times
// bits per pixel, in bits of storage per pixel) is 32; a test may make it 24.
#include "backend/backend.h"
#include "gdi/windowdc.h"
#include "kernel/controls.h"
#include "platform/gdi.h"

namespace {

// The desktop context only identifies the desktop; nothing is drawn through it.
struct HDC__ g_desktopDc;

constexpr int kRefreshHz = 60;

// The backend's desktop: the machine's desktop mode, or the headless 1920 x 1080 x 32.
void DesktopMode(int* width, int* height, int* bitsPerPixel) {
    backend::Current().desktopMode(width, height, bitsPerPixel);
}

}  // namespace

// A window's context (gdi/paint.cpp) reports what the desktop it shows on reports.
HDC GetDC(HWND window) { return window == nullptr ? &g_desktopDc : gdi::OpenWindowDc(window); }

int ReleaseDC(HWND, HDC dc) { return dc == &g_desktopDc || gdi::CloseWindowDc(dc) ? 1 : 0; }

int GetDeviceCaps(HDC dc, int index) {
    if (dc != &g_desktopDc && !gdi::IsWindowDc(dc)) return 0;
    int width = 0, height = 0, bitsPerPixel = 0;
    switch (index) {
    case PLANES: return 1;
    case BITSPIXEL: {
        int depth = kernel::DesktopDepthOverride();
        if (depth != 0) return depth;
        DesktopMode(&width, &height, &bitsPerPixel);
        return bitsPerPixel;
    }
    case HORZRES: DesktopMode(&width, &height, &bitsPerPixel); return width;
    case VERTRES: DesktopMode(&width, &height, &bitsPerPixel); return height;
    case NUMCOLORS: return -1;  // more than 256 colours
    case VREFRESH: return kRefreshHz;
    default: return 0;
    }
}
