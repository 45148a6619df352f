// window/model.cpp: the window tables, frame metrics, and the steps shared by the
// window calls (placing, activating, running sent messages). Any thread; the tables
// are guarded by Mutex().
#include "window/model.h"

#include <unordered_map>

#include "kernel/text.h"

namespace window {
namespace {

// The tables are never destroyed: other threads may still use them while the process
// ends, and what they hold stays reachable to the end.
std::mutex& g_mutex = *new std::mutex;
std::condition_variable& g_changed = *new std::condition_variable;
std::map<std::string, WindowClass>& g_classes = *new std::map<std::string, WindowClass>;
std::map<uintptr_t, Window>& g_windows = *new std::map<uintptr_t, Window>;
std::unordered_map<DWORD, ThreadQueue>& g_queues = *new std::unordered_map<DWORD, ThreadQueue>;
HWND g_foreground = nullptr;
// Window handles step by 4 from 0x10000 and never come back, so a stale handle
// cannot name a newer window.
uintptr_t g_nextHandle = 0x10000;

// Frame sizes in pixels per side, as the classic desktop theme draws them.
constexpr int kBorder = 1;        // WS_BORDER alone
constexpr int kFixedFrame = 3;    // WS_DLGFRAME (every caption has one)
constexpr int kSizingFrame = 4;   // WS_THICKFRAME
constexpr int kClientEdge = 2;    // WS_EX_CLIENTEDGE
constexpr int kCaption = 19;      // WS_CAPTION
constexpr int kToolCaption = 15;  // WS_CAPTION with WS_EX_TOOLWINDOW

}  // namespace

std::mutex& Mutex() { return g_mutex; }
std::condition_variable& Changed() { return g_changed; }
std::map<std::string, WindowClass>& Classes() { return g_classes; }
std::map<uintptr_t, Window>& Windows() { return g_windows; }
HWND& Foreground() { return g_foreground; }

std::string FoldClassName(const char* name) {
    std::string folded = name ? name : "";
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

Window* Find(HWND window) {
    auto it = g_windows.find(reinterpret_cast<uintptr_t>(window));
    return it == g_windows.end() ? nullptr : &it->second;
}

ThreadQueue& QueueOf(DWORD thread) { return g_queues[thread]; }

uintptr_t NewHandleValue() {
    uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    return value;
}

Frame FrameOf(LONG style, LONG exStyle) {
    int side = 0;
    if (style & WS_THICKFRAME)
        side = kSizingFrame;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        side = kFixedFrame;
    else if (style & WS_BORDER)
        side = kBorder;
    if (exStyle & WS_EX_CLIENTEDGE) side += kClientEdge;
    int caption = 0;
    if ((style & WS_CAPTION) == WS_CAPTION) caption = (exStyle & WS_EX_TOOLWINDOW) ? kToolCaption : kCaption;
    return {side, side + caption, side, side};
}

RECT ClientOnDesktop(const Window& w) {
    Frame f = FrameOf(w.style, w.exStyle);
    RECT client = {w.rect.left + f.left, w.rect.top + f.top, w.rect.right - f.right, w.rect.bottom - f.bottom};
    if (client.right < client.left) client.right = client.left;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

const backend::Backend& Machine() { return backend::Current(); }

bool IsBordered(LONG style) { return (style & WS_CAPTION) == WS_CAPTION; }
bool IsResizable(LONG style) { return (style & WS_THICKFRAME) != 0; }

backend::WindowSpec SpecOf(const Window& w) {
    RECT client = ClientOnDesktop(w);
    return {w.id,
            kernel::Cp932ToUtf8(w.title),
            client.left,
            client.top,
            client.right - client.left,
            client.bottom - client.top,
            w.visible,
            IsBordered(w.style),
            IsResizable(w.style),
            w.onTop};
}

void SyncMachine(const Window& w) {
    if (!w.machine) return;
    const backend::Backend& m = Machine();
    RECT client = ClientOnDesktop(w);
    m.setBordered(w.machine, IsBordered(w.style));
    m.setResizable(w.machine, IsResizable(w.style));
    m.setClientRect(w.machine, client.left, client.top, client.right - client.left, client.bottom - client.top);
}

LRESULT CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        Window* w = Find(window);
        if (w) proc = w->proc;
    }
    return proc ? proc(window, message, wParam, lParam) : 0;
}

void PlaceWindow(HWND window, const RECT& rect) {
    bool moved = false, resized = false;
    RECT client = {};
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        Window* w = Find(window);
        if (!w) return;
        RECT before = ClientOnDesktop(*w);
        w->rect = rect;
        client = ClientOnDesktop(*w);
        moved = client.left != before.left || client.top != before.top;
        resized = client.right - client.left != before.right - before.left ||
                  client.bottom - client.top != before.bottom - before.top;
        if (resized) w->invalid = true;
        SyncMachine(*w);
    }
    if (moved) CallProcedure(window, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if (resized)
        CallProcedure(window, WM_SIZE, SIZE_RESTORED,
                      MAKELPARAM(client.right - client.left, client.bottom - client.top));
}

void Activate(HWND window, bool tellMachine) {
    HWND previous = nullptr;
    bool previousOurs = false;
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        Window* w = Find(window);
        if (!w) return;
        if (tellMachine && w->machine && w->owner == GetCurrentThreadId()) Machine().activateWindow(w->machine);
        if (g_foreground == window) return;
        previous = g_foreground;
        previousOurs = previous != nullptr && Find(previous) != nullptr;
        g_foreground = window;
    }
    // As the desktop does it: the window losing activation hears first; the program
    // hears WM_ACTIVATEAPP only when it comes to the front from elsewhere.
    if (previousOurs)
        SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
    else
        SendMessageA(window, WM_ACTIVATEAPP, TRUE, 0);
    SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previousOurs ? previous : nullptr));
}

void Deactivate(HWND window) {
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        if (!Find(window) || g_foreground != window) return;
        g_foreground = nullptr;
    }
    SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    SendMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
}

void RunSentMessages(DWORD thread) {
    for (;;) {
        std::shared_ptr<SentCall> call;
        {
            std::lock_guard<std::mutex> hold(g_mutex);
            ThreadQueue& queue = QueueOf(thread);
            if (queue.sent.empty()) return;
            call = queue.sent.front();
            queue.sent.pop_front();
        }
        LRESULT result = CallProcedure(call->window, call->message, call->wParam, call->lParam);
        std::lock_guard<std::mutex> hold(g_mutex);
        call->result = result;
        call->done = true;
        g_changed.notify_all();
    }
}

}  // namespace window
