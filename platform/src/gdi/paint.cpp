// gdi/paint.cpp: window device contexts, painting and the stock brushes. Painting only
// validates the window: frames reach the screen by presenting, not through GDI.
// Any thread.
#include <mutex>
#include <set>

#include "gdi/windowdc.h"
#include "kernel/diag.h"
#include "platform/gdi.h"
#include "window/model.h"

namespace {

// Never destroyed, like the window tables.
std::mutex& g_dcLock = *new std::mutex;
std::set<HDC>& g_windowDcs = *new std::set<HDC>;

// Stock objects only identify themselves.
struct HBRUSH__ g_blackBrush;
struct HBRUSH__ g_nullBrush;

}  // namespace

namespace gdi {

HDC OpenWindowDc(HWND window) {
    if (!IsWindow(window)) return nullptr;
    HDC dc = new HDC__;
    std::lock_guard<std::mutex> hold(g_dcLock);
    g_windowDcs.insert(dc);
    return dc;
}

bool CloseWindowDc(HDC dc) {
    {
        std::lock_guard<std::mutex> hold(g_dcLock);
        if (!g_windowDcs.erase(dc)) return false;
    }
    delete dc;
    return true;
}

bool IsWindowDc(HDC dc) {
    std::lock_guard<std::mutex> hold(g_dcLock);
    return g_windowDcs.count(dc) != 0;
}

}  // namespace gdi

HGDIOBJ GetStockObject(int object) {
    switch (object) {
    case BLACK_BRUSH: return &g_blackBrush;
    case NULL_BRUSH: return &g_nullBrush;
    default: return nullptr;
    }
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    if (!paint) return kernel::Fail(ERROR_INVALID_PARAMETER, HDC(nullptr));
    *paint = {};
    {
        std::lock_guard<std::mutex> hold(window::Mutex());
        window::Window* w = window::Find(window);
        if (!w) return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, HDC(nullptr));
        RECT client = window::ClientOnDesktop(*w);
        paint->rcPaint = {0, 0, client.right - client.left, client.bottom - client.top};
        paint->fErase = w->invalid ? TRUE : FALSE;
        w->invalid = false;
    }
    paint->hdc = gdi::OpenWindowDc(window);
    return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (paint) gdi::CloseWindowDc(paint->hdc);
    return TRUE;
}

int FillRect(HDC, const RECT* rect, HBRUSH) { return rect ? 1 : 0; }
