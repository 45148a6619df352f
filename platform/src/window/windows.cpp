// window/windows.cpp: window classes, creation and destruction, showing, activation,
// placement, long values and text. Any thread may ask; only the owner thread destroys.
#include <cstring>
#include <unistd.h>

#include <vector>

#include "gdi/regions.h"
#include "kernel/diag.h"
#include "kernel/text.h"
#include "window/model.h"

using namespace window;

namespace {

// Fails with the window layer's error for a handle that names no live window.
template <typename T>
T BadWindow(T result) {
    return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, result);
}

}  // namespace

// ---- classes ------------------------------------------------------------------------------

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpszClassName == nullptr || windowClass->lpszClassName[0] == '\0')
        return kernel::Fail(ERROR_INVALID_PARAMETER, ATOM(0));
    if (kernel::ConsumeFault("RegisterClassExA")) return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, ATOM(0));
    std::lock_guard<std::mutex> hold(Mutex());
    std::string key = FoldClassName(windowClass->lpszClassName);
    if (Classes().count(key)) return kernel::Fail(ERROR_CLASS_ALREADY_EXISTS, ATOM(0));
    WindowClass entry{windowClass->lpszClassName, *windowClass};
    entry.info.lpszClassName = nullptr;
    entry.info.lpszMenuName = nullptr;
    Classes().emplace(key, entry);
    // An atom only has to be non-zero and distinct among the live classes.
    static ATOM nextAtom = 0xC000;
    if (++nextAtom == 0) nextAtom = 0xC001;
    return nextAtom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    std::lock_guard<std::mutex> hold(Mutex());
    std::string key = FoldClassName(className);
    if (!Classes().count(key)) return kernel::Fail(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
    for (const auto& [id, w] : Windows())
        if (FoldClassName(w.className.c_str()) == key) return kernel::Fail(ERROR_ACCESS_DENIED, FALSE);
    Classes().erase(key);
    return TRUE;
}

// ---- creation and destruction ------------------------------------------------------------------

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    if (kernel::ConsumeFault("CreateWindowExA")) return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, HWND(nullptr));
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = 640, height = 480;
    if (width < 0) width = 0;
    if (height < 0) height = 0;

    HWND handle = nullptr;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        auto cls = Classes().find(FoldClassName(className));
        if (cls == Classes().end()) return kernel::Fail(ERROR_CANNOT_FIND_WND_CLASS, HWND(nullptr));
        const bool child = (style & WS_CHILD) != 0;
        if (child && !Find(parent)) return BadWindow(HWND(nullptr));
        Window w;
        if (child) w.parent = parent;
        w.id = NewHandleValue();
        w.owner = GetCurrentThreadId();
        w.className = cls->second.name;
        w.proc = cls->second.info.lpfnWndProc;
        w.style = static_cast<LONG>(style & ~static_cast<DWORD>(WS_VISIBLE));  // shown after WM_CREATE
        w.exStyle = static_cast<LONG>(exStyle);
        w.rect = {x, y, x + width, y + height};
        w.title = windowName ? windowName : "";
        w.instance = instance;
        w.menu = menu;
        w.onTop = (exStyle & WS_EX_TOPMOST) != 0;
        if (!child) w.machine = Machine().createWindow(SpecOf(w));
        if (!child && !w.machine)
            return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, HWND(nullptr), "window: CreateWindowExA: no window on this machine");
        HoldClassLock(w.className);
        handle = ToHandle(w.id);
        Windows().emplace(w.id, std::move(w));
    }

    CREATESTRUCTA create = {param,  instance, menu, parent,   height, width, y, x, static_cast<LONG>(style),
                            windowName, className, exStyle};
    if (CallProcedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, HWND(nullptr));
    }
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL DestroyWindow(HWND window) {
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w || w->destroying) return BadWindow(FALSE);
        if (w->owner != GetCurrentThreadId()) return kernel::Fail(ERROR_ACCESS_DENIED, FALSE);
        w->destroying = true;
    }
    CallProcedure(window, WM_DESTROY, 0, 0);

    // As on the desktop, the children go after their parent heard WM_DESTROY.
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        for (const auto& [id, other] : Windows())
            if (other.parent == window && !other.destroying) children.push_back(ToHandle(id));
    }
    for (HWND child : children) DestroyWindow(child);

    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    ThreadQueue& queue = QueueOf(w->owner);
    std::erase_if(queue.posted, [&](const MSG& m) { return m.hwnd == window; });
    // Senders waiting on this window get 0.
    std::erase_if(queue.sent, [&](const std::shared_ptr<SentCall>& call) {
        if (call->window != window) return false;
        call->done = true;
        return true;
    });
    DropMachineEvents(w->id);
    if (w->region) gdi::DeleteRegion(w->region);
    w->region = nullptr;
    if (w->machine) Machine().destroyWindow(w->machine);
    ReleaseClassLock(w->className);
    if (Foreground() == window) Foreground() = nullptr;
    Windows().erase(w->id);
    Changed().notify_all();
    return TRUE;
}

BOOL IsWindow(HWND window) {
    std::lock_guard<std::mutex> hold(Mutex());
    return Find(window) ? TRUE : FALSE;
}

// ---- showing and activation ------------------------------------------------------------------------

BOOL ShowWindow(HWND window, int command) {
    bool wasVisible = false, activate = false;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) return BadWindow(FALSE);
        wasVisible = w->visible;
        bool show = command != SW_HIDE;
        w->visible = show;
        if (show)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~WS_VISIBLE;
        if (show && !wasVisible) w->invalid = true;
        if (w->machine) Machine().setShown(w->machine, show);
        bool activating = command != SW_HIDE && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                          command != SW_SHOWMINNOACTIVE && command != SW_MINIMIZE;
        activate = activating && !w->everShown && w->parent == nullptr;
        if (show) w->everShown = true;
    }
    if (activate) Activate(window);
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    bool paint = false;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) return BadWindow(FALSE);
        paint = w->visible && w->invalid;
    }
    if (paint) CallProcedure(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL BringWindowToTop(HWND window) { return IsWindow(window) ? TRUE : BadWindow(FALSE); }

HWND SetActiveWindow(HWND window) {
    HWND previous = GetForegroundWindow();
    if (!IsWindow(window)) return BadWindow(HWND(nullptr));
    Activate(window);
    return previous;
}

BOOL SetForegroundWindow(HWND window) {
    if (!IsWindow(window)) return FALSE;
    Activate(window);
    return TRUE;
}

HWND GetForegroundWindow() {
    std::lock_guard<std::mutex> hold(Mutex());
    return Foreground();
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w) return BadWindow(DWORD(0));
    if (processId) *processId = static_cast<DWORD>(getpid());
    return w->owner;
}

BOOL AttachThreadInput(DWORD, DWORD, BOOL) { return TRUE; }

// ---- placement ------------------------------------------------------------------------------------

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    RECT rect;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) return BadWindow(FALSE);
        if (!(flags & SWP_NOZORDER)) {
            if (insertAfter == HWND_TOPMOST) w->onTop = true;
            if (insertAfter == HWND_NOTOPMOST) w->onTop = false;
            if (w->machine) Machine().setOnTop(w->machine, w->onTop);
        }
        rect = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            rect.right += x - rect.left;
            rect.bottom += y - rect.top;
            rect.left = x;
            rect.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            rect.right = rect.left + (width < 0 ? 0 : width);
            rect.bottom = rect.top + (height < 0 ? 0 : height);
        }
    }
    PlaceWindow(window, rect);
    if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
    if (!IsWindow(window)) return BadWindow(FALSE);
    PlaceWindow(window, {x, y, x + (width < 0 ? 0 : width), y + (height < 0 ? 0 : height)});
    return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD exStyle) {
    if (!rect) return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    Frame f = FrameOf(static_cast<LONG>(style), static_cast<LONG>(exStyle));
    rect->left -= f.left;
    rect->top -= f.top;
    rect->right += f.right;
    rect->bottom += f.bottom;
    return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w || !rect) return BadWindow(FALSE);
    *rect = w->rect;
    if (Window* parent = w->parent ? Find(w->parent) : nullptr) {
        RECT origin = ClientOnDesktop(*parent);
        rect->left += origin.left;
        rect->right += origin.left;
        rect->top += origin.top;
        rect->bottom += origin.top;
    }
    return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w || !rect) return BadWindow(FALSE);
    RECT client = ClientOnDesktop(*w);
    *rect = {0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w || !point) return BadWindow(FALSE);
    RECT client = ClientOnDesktop(*w);
    point->x += client.left;
    point->y += client.top;
    return TRUE;
}

BOOL SetMenu(HWND window, HMENU menu) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w) return BadWindow(FALSE);
    w->menu = menu;
    return TRUE;
}

HMENU GetMenu(HWND window) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    return w ? w->menu : nullptr;
}

int SetWindowRgn(HWND window, HRGN region, BOOL) {
    // The window keeps a copy of its own, so the caller's region may be deleted.
    HRGN copy = nullptr;
    if (region != nullptr && (copy = gdi::CopyRegion(region)) == nullptr)
        return kernel::Fail(ERROR_INVALID_HANDLE, 0);
    HRGN old = nullptr;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) {
            if (copy) gdi::DeleteRegion(copy);
            return BadWindow(0);
        }
        old = w->region;
        w->region = copy;
    }
    if (old) gdi::DeleteRegion(old);
    return 1;
}

// ---- long values, procedures, text -------------------------------------------------------------------

LONG GetWindowLongA(HWND window, int index) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w) return BadWindow(LONG(0));
    switch (index) {
    case GWL_STYLE: return w->style;
    case GWL_EXSTYLE: return w->exStyle;
    case GWL_ID: return w->controlId;
    default: return kernel::Fail(ERROR_INVALID_INDEX, LONG(0));
    }
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w) return BadWindow(LONG(0));
    LONG previous = 0;
    switch (index) {
    case GWL_STYLE:
        previous = w->style;
        w->style = value;
        break;
    case GWL_EXSTYLE:
        previous = w->exStyle;
        w->exStyle = value;
        break;
    case GWL_ID:
        previous = w->controlId;
        w->controlId = value;
        return previous;
    default: return kernel::Fail(ERROR_INVALID_INDEX, LONG(0));
    }
    // The window keeps its rectangle; the frame, and with it the client area, follows
    // the new bits.
    SyncMachine(*w);
    return previous;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    if (index != GWLP_WNDPROC && index != GWLP_USERDATA && index != GWLP_HINSTANCE)
        return GetWindowLongA(window, index);
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w) return BadWindow(LONG_PTR(0));
    if (index == GWLP_WNDPROC) return reinterpret_cast<LONG_PTR>(w->proc);
    if (index == GWLP_HINSTANCE) return reinterpret_cast<LONG_PTR>(w->instance);
    return w->userData;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    if (index != GWLP_WNDPROC && index != GWLP_USERDATA && index != GWLP_HINSTANCE)
        return SetWindowLongA(window, index, static_cast<LONG>(value));
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w) return BadWindow(LONG_PTR(0));
    LONG_PTR previous = 0;
    if (index == GWLP_WNDPROC) {
        previous = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
    } else if (index == GWLP_HINSTANCE) {
        previous = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
    } else {
        previous = w->userData;
        w->userData = value;
    }
    return previous;
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w) return BadWindow(FALSE);
    w->title = text ? text : "";
    if (w->machine) Machine().setTitle(w->machine, kernel::Cp932ToUtf8(w->title).c_str());
    return TRUE;
}
