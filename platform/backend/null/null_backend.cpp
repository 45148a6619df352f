// null/null_backend.cpp: the headless backend. It keeps the last presented frame and
// counts frames, keeps each window as the machine would show it, and reports a desktop
// of 1920 x 1080 at 32 bits that tests can change; it never touches a display. Its
// events come only from testing.h's injection, which the window layer queues itself.
// Any thread.
#include <cstring>
#include <mutex>
#include <vector>

#include "backend/backend.h"
#include "backend/null/null_backend.h"

namespace backend {
namespace {

std::mutex g_lock;  // guards everything below
std::vector<uint32_t> g_lastFrame;
int g_lastWidth = 0;
int g_lastHeight = 0;
uint64_t g_frameCount = 0;

constexpr int kDefaultDesktopWidth = 1920;
constexpr int kDefaultDesktopHeight = 1080;
int g_desktopWidth = kDefaultDesktopWidth;
int g_desktopHeight = kDefaultDesktopHeight;

struct NullWindow {
    ptest::WindowView view;
};

bool Open() { return true; }
void Close() {}

void Present(const uint32_t* xrgb, int width, int height, int pitch) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_lastFrame.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(&g_lastFrame[static_cast<size_t>(y) * width],
                    reinterpret_cast<const uint8_t*>(xrgb) + static_cast<ptrdiff_t>(y) * pitch,
                    static_cast<size_t>(width) * 4);
    g_lastWidth = width;
    g_lastHeight = height;
    ++g_frameCount;
}

void PumpEvents(void (*)(const MachineEvent&)) {}
bool InjectEvent(const MachineEvent&) { return false; }

void* CreateWindow(const WindowSpec& spec) {
    auto* window = new NullWindow;
    ptest::WindowView& v = window->view;
    v.title = spec.title;
    v.x = spec.x;
    v.y = spec.y;
    v.width = spec.width;
    v.height = spec.height;
    v.shown = spec.shown;
    v.bordered = spec.bordered;
    v.resizable = spec.resizable;
    v.onTop = spec.onTop;
    return window;
}

void DestroyWindow(void* window) { delete static_cast<NullWindow*>(window); }

// Applies a change to a window's view under the lock.
template <typename Change>
void Update(void* window, Change change) {
    std::lock_guard<std::mutex> hold(g_lock);
    change(static_cast<NullWindow*>(window)->view);
}

void SetTitle(void* window, const char* utf8) {
    Update(window, [&](ptest::WindowView& v) { v.title = utf8; });
}

void SetClientRect(void* window, int x, int y, int width, int height) {
    Update(window, [&](ptest::WindowView& v) {
        v.x = x;
        v.y = y;
        v.width = width;
        v.height = height;
    });
}

void SetShown(void* window, bool shown) {
    Update(window, [&](ptest::WindowView& v) { v.shown = shown; });
}
void SetBordered(void* window, bool bordered) {
    Update(window, [&](ptest::WindowView& v) { v.bordered = bordered; });
}
void SetResizable(void* window, bool resizable) {
    Update(window, [&](ptest::WindowView& v) { v.resizable = resizable; });
}
void SetOnTop(void* window, bool onTop) {
    Update(window, [&](ptest::WindowView& v) { v.onTop = onTop; });
}

void ActivateWindow(void*) {}

void ViewWindow(void* window, ptest::WindowView* view) {
    Update(window, [&](ptest::WindowView& v) { *view = v; });
}

void DesktopMode(int* width, int* height, int* bitsPerPixel) {
    std::lock_guard<std::mutex> hold(g_lock);
    *width = g_desktopWidth;
    *height = g_desktopHeight;
    *bitsPerPixel = 32;
}

void SetCursorVisible(bool) {}
void SetScreenSaverEnabled(bool) {}

// Nobody is there to press a button: the default one is taken.
int MessageBox(const MessageBoxSpec& spec) { return spec.defaultButton; }

}  // namespace

const Backend& NullBackend() {
    static const Backend table = {
        "null",        Open,         Close,           Present,      PumpEvents,   InjectEvent,
        CreateWindow,  DestroyWindow, SetTitle,       SetClientRect, SetShown,    SetBordered,
        SetResizable,  SetOnTop,     ActivateWindow, ViewWindow,      DesktopMode,  SetCursorVisible, SetScreenSaverEnabled,
        MessageBox,
    };
    return table;
}

uint64_t NullFrameCount() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_frameCount;
}

std::vector<uint32_t> NullLastFrame(int* width, int* height) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (width) *width = g_lastWidth;
    if (height) *height = g_lastHeight;
    return g_lastFrame;
}

void ResetNullDesktop() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_desktopWidth = kDefaultDesktopWidth;
    g_desktopHeight = kDefaultDesktopHeight;
}

}  // namespace backend

namespace ptest {

void SetDesktopSize(int width, int height) {
    std::lock_guard<std::mutex> hold(backend::g_lock);
    bool useDefault = width <= 0 || height <= 0;
    backend::g_desktopWidth = useDefault ? backend::kDefaultDesktopWidth : width;
    backend::g_desktopHeight = useDefault ? backend::kDefaultDesktopHeight : height;
}

}  // namespace ptest
