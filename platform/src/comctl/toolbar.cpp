// comctl/toolbar.cpp: the toolbar common control as an in-memory model. A toolbar is a
// child strip along the top of its parent's client area, as wide as that area; its
// height follows the button bitmap size (buttons are the bitmap's height plus 7, the
// strip adds 4). Nothing is drawn: the parent's client area simply starts with the strip.
// Buttons, bitmaps and sizes are kept per window and read back through testing.h.
// Main thread (the toolbar's owner); the model has a lock of its own for read-back.
#include <cstddef>
#include <map>
#include <mutex>
#include <vector>

#include "platform/commctrl.h"
#include "platform/testing.h"

namespace {

constexpr int kButtonPadding = 7;  // around the bitmap, each axis
constexpr int kStripPadding = 4;   // above and below the buttons together

struct Toolbar {
    HWND parent = nullptr;
    int structSize = 0;
    int bitmapWidth = 16, bitmapHeight = 15;
    std::vector<ptest::ToolbarBitmap> bitmaps;
    std::vector<TBBUTTON> buttons;
};

std::mutex& g_toolbarLock = *new std::mutex;  // never destroyed
std::map<HWND, Toolbar>& g_toolbars = *new std::map<HWND, Toolbar>;

Toolbar* FindToolbar(HWND window) {
    auto it = g_toolbars.find(window);
    return it == g_toolbars.end() ? nullptr : &it->second;
}

int StripHeight(const Toolbar& t) { return t.bitmapHeight + kButtonPadding + kStripPadding; }

// Spans the parent's client width at the top; only a change reaches the window (and
// sends it WM_SIZE), so a toolbar sizing itself from WM_SIZE settles at once.
void FitToParent(HWND window) {
    HWND parent = nullptr;
    int height = 0;
    {
        std::lock_guard<std::mutex> hold(g_toolbarLock);
        Toolbar* t = FindToolbar(window);
        if (!t) return;
        parent = t->parent;
        height = StripHeight(*t);
    }
    RECT client = {};
    if (!GetClientRect(parent, &client)) return;
    MoveWindow(window, 0, 0, client.right, height, TRUE);
}

LRESULT AddButtons(Toolbar* t, size_t at, int count, const TBBUTTON* buttons) {
    if (count < 0 || (count > 0 && buttons == nullptr)) return FALSE;
    if (at > t->buttons.size()) at = t->buttons.size();
    t->buttons.insert(t->buttons.begin() + static_cast<std::ptrdiff_t>(at), buttons, buttons + count);
    return TRUE;
}

// Every toolbar message but sizing, with the model lock held.
LRESULT ToolbarMessage(Toolbar* t, UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
    *handled = true;
    switch (message) {
    case TB_BUTTONSTRUCTSIZE: t->structSize = static_cast<int>(wParam); return 0;
    case TB_ADDBITMAP: {
        const auto* add = reinterpret_cast<const TBADDBITMAP*>(lParam);
        // No resources exist here: only a bitmap handle can be added.
        if (add == nullptr || add->hInst != nullptr || add->nID == 0) return -1;
        int first = 0;
        for (const ptest::ToolbarBitmap& b : t->bitmaps) first += b.images;
        t->bitmaps.push_back({reinterpret_cast<HBITMAP>(add->nID), static_cast<int>(wParam)});
        return first;
    }
    case TB_REPLACEBITMAP: {
        const auto* replace = reinterpret_cast<const TBREPLACEBITMAP*>(lParam);
        if (replace == nullptr || replace->hInstOld != nullptr || replace->hInstNew != nullptr) return FALSE;
        for (ptest::ToolbarBitmap& b : t->bitmaps)
            if (b.bitmap == reinterpret_cast<HBITMAP>(replace->nIDOld)) {
                b.bitmap = reinterpret_cast<HBITMAP>(replace->nIDNew);
                b.images = replace->nButtons;
                return TRUE;
            }
        return FALSE;
    }
    case TB_ADDBUTTONSA:
        return AddButtons(t, t->buttons.size(), static_cast<int>(wParam), reinterpret_cast<const TBBUTTON*>(lParam));
    case TB_INSERTBUTTONA:
        return AddButtons(t, static_cast<size_t>(wParam), 1, reinterpret_cast<const TBBUTTON*>(lParam));
    case TB_DELETEBUTTON:
        if (wParam >= t->buttons.size()) return FALSE;
        t->buttons.erase(t->buttons.begin() + static_cast<std::ptrdiff_t>(wParam));
        return TRUE;
    case TB_GETBUTTON:
        if (wParam >= t->buttons.size() || lParam == 0) return FALSE;
        *reinterpret_cast<TBBUTTON*>(lParam) = t->buttons[wParam];
        return TRUE;
    case TB_BUTTONCOUNT: return static_cast<LRESULT>(t->buttons.size());
    default: *handled = false; return 0;
    }
}

LRESULT CALLBACK ToolbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        {
            std::lock_guard<std::mutex> hold(g_toolbarLock);
            g_toolbars[window].parent = create->hwndParent;
        }
        FitToParent(window);
        return 0;
    }
    case WM_DESTROY: {
        std::lock_guard<std::mutex> hold(g_toolbarLock);
        g_toolbars.erase(window);
        return 0;
    }
    // The parent passes its own WM_SIZE on; either way the strip follows the parent.
    case WM_SIZE: FitToParent(window); return 0;
    case TB_SETBITMAPSIZE: {
        {
            std::lock_guard<std::mutex> hold(g_toolbarLock);
            Toolbar* t = FindToolbar(window);
            if (!t) return FALSE;
            t->bitmapWidth = LOWORD(lParam);
            t->bitmapHeight = HIWORD(lParam);
        }
        // The strip takes its new height at once, so the parent can measure it next.
        FitToParent(window);
        return TRUE;
    }
    default: break;
    }
    {
        std::lock_guard<std::mutex> hold(g_toolbarLock);
        if (Toolbar* t = FindToolbar(window)) {
            bool handled = false;
            LRESULT result = ToolbarMessage(t, message, wParam, lParam, &handled);
            if (handled) return result;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void InitCommonControls() {
    WNDCLASSEXA cls = {};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = ToolbarProc;
    cls.lpszClassName = TOOLBARCLASSNAMEA;
    // Already registered by an earlier call: nothing to do.
    RegisterClassExA(&cls);
}

namespace ptest {

bool GetToolbarModel(HWND toolbar, ToolbarModel* out) {
    *out = ToolbarModel{};
    std::lock_guard<std::mutex> hold(g_toolbarLock);
    Toolbar* t = FindToolbar(toolbar);
    if (!t) return false;
    out->parent = t->parent;
    out->structSize = t->structSize;
    out->bitmapWidth = t->bitmapWidth;
    out->bitmapHeight = t->bitmapHeight;
    out->bitmaps = t->bitmaps;
    out->buttons = t->buttons;
    return true;
}

bool ClickToolbarButton(HWND toolbar, int index) {
    HWND parent = nullptr;
    int id = 0;
    {
        std::lock_guard<std::mutex> hold(g_toolbarLock);
        Toolbar* t = FindToolbar(toolbar);
        if (!t || index < 0 || static_cast<size_t>(index) >= t->buttons.size()) return false;
        const TBBUTTON& b = t->buttons[static_cast<size_t>(index)];
        if ((b.fsStyle & TBSTYLE_SEP) || !(b.fsState & TBSTATE_ENABLED)) return false;
        parent = t->parent;
        id = b.idCommand;
    }
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(toolbar));
    return true;
}

}  // namespace ptest
