// window/desktop.cpp: the desktop's size, icons and the cursor, system settings, the IME
// switch, modules and hooks. Any thread. Linux has no DLLs to load for the library and
// no system-wide hooks; those calls answer as a machine without them would.
#include <atomic>

#include "backend/input.h"
#include "dsound/module.h"
#include "kernel/diag.h"
#include "window/model.h"

using namespace window;

namespace {

// Icons and cursors only identify themselves: nothing draws them.
struct HICON__ g_applicationIcon;
struct HICON__ g_arrowCursor;

// Guarded by Mutex().
HCURSOR g_cursor = &g_arrowCursor;  // the arrow until a program sets another
int g_cursorCount = 0;  // the display count: shown while 0 or more
bool g_cursorSyncedShown = true;
DWORD g_foregroundLockTimeout = 200000;  // the desktop's default, in ms
bool g_screenSaverEnabled = true;
bool g_threadImeEnabled = true;  // WINNLSEnableIME(NULL, ...)

// Tells the machine when the cursor's visibility changes. Mutex held.
void SyncCursor() {
    bool shown = g_cursorCount >= 0 && g_cursor != nullptr;
    if (shown == g_cursorSyncedShown) return;
    g_cursorSyncedShown = shown;
    Machine().setCursorVisible(shown);
}

}  // namespace

namespace window {

bool CursorShown() { return g_cursorCount >= 0 && g_cursor != nullptr; }

}  // namespace window

int GetSystemMetrics(int index) {
    int width = 0, height = 0, depth = 0;
    Machine().desktopMode(&width, &height, &depth);
    switch (index) {
    case SM_CXSCREEN: return width;
    case SM_CYSCREEN: return height;
    default: return 0;
    }
}

HICON LoadIconA(HINSTANCE, LPCSTR) { return &g_applicationIcon; }

HCURSOR LoadCursorA(HINSTANCE, LPCSTR) { return &g_arrowCursor; }

HCURSOR SetCursor(HCURSOR cursor) {
    std::lock_guard<std::mutex> hold(Mutex());
    HCURSOR previous = g_cursor;
    g_cursor = cursor;
    SyncCursor();
    return previous;
}

int ShowCursor(BOOL show) {
    std::lock_guard<std::mutex> hold(Mutex());
    g_cursorCount += show ? 1 : -1;
    SyncCursor();
    return g_cursorCount;
}

BOOL GetCursorPos(LPPOINT point) {
    if (point == nullptr) return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    int x = 0, y = 0;
    backend::CurrentInput().mousePosition(&x, &y);
    point->x = x;
    point->y = y;
    return TRUE;
}

BOOL SystemParametersInfoA(UINT action, UINT uiParam, LPVOID param, UINT) {
    std::lock_guard<std::mutex> hold(Mutex());
    switch (action) {
    case SPI_GETFOREGROUNDLOCKTIMEOUT:
        if (!param) return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
        *static_cast<DWORD*>(param) = g_foregroundLockTimeout;
        return TRUE;
    case SPI_SETFOREGROUNDLOCKTIMEOUT:
        g_foregroundLockTimeout = static_cast<DWORD>(reinterpret_cast<uintptr_t>(param));
        return TRUE;
    case SPI_SETSCREENSAVEACTIVE:
        g_screenSaverEnabled = uiParam != 0;
        Machine().setScreenSaverEnabled(g_screenSaverEnabled);
        return TRUE;
    default: return TRUE;
    }
}

BOOL WINNLSEnableIME(HWND window, BOOL enable) {
    std::lock_guard<std::mutex> hold(Mutex());
    bool* state = &g_threadImeEnabled;
    if (window != nullptr) {
        Window* w = Find(window);
        if (!w) return FALSE;
        state = &w->imeEnabled;
    }
    bool previous = *state;
    *state = enable != FALSE;
    return previous ? TRUE : FALSE;
}

// The one module is "DSOUND.DLL" (dsound/module.h); every other name is missing.
HMODULE LoadLibraryA(LPCSTR name) {
    if (HMODULE sound = dsound::LoadSoundModule(name)) return sound;
    return kernel::Fail(ERROR_MOD_NOT_FOUND, HMODULE(nullptr));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    if (dsound::IsSoundModule(module)) return dsound::FindSoundExport(name);
    return kernel::Fail(ERROR_PROC_NOT_FOUND, FARPROC(nullptr));
}

BOOL FreeLibrary(HMODULE module) {
    if (dsound::IsSoundModule(module)) {
        dsound::ReleaseSoundModule();
        return TRUE;
    }
    return kernel::Fail(ERROR_MOD_NOT_FOUND, FALSE);
}

BOOL UnhookWindowsHookEx(HHOOK) { return kernel::Fail(ERROR_INVALID_HOOK_HANDLE, FALSE); }

namespace ptest {

bool IsScreenSaverEnabled() {
    std::lock_guard<std::mutex> hold(window::Mutex());
    return g_screenSaverEnabled;
}

bool IsImeEnabled(HWND window) {
    std::lock_guard<std::mutex> hold(window::Mutex());
    if (window == nullptr) return g_threadImeEnabled;
    Window* w = Find(window);
    return w ? w->imeEnabled : false;
}

bool IsCursorShown() {
    std::lock_guard<std::mutex> hold(window::Mutex());
    return window::CursorShown();
}

WindowView GetWindowView(HWND window) {
    WindowView view;
    std::lock_guard<std::mutex> hold(window::Mutex());
    Window* w = Find(window);
    if (!w || !w->machine) return view;
    Machine().viewWindow(w->machine, &view);
    view.exists = true;
    return view;
}

}  // namespace ptest
