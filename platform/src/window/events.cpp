// window/events.cpp: machine events into window messages, one translation for both
// backends. The sdl backend hands over SDL's events while the main thread peeks; the
// null backend (and testing.h's injection, from any thread) leaves them in the waiting
// list. Each event becomes messages on the thread that owns its window, at that thread's
// next PeekMessageA:
//   close request       WM_SYSCOMMAND(SC_CLOSE), posted
//   focus gained/lost   WM_ACTIVATEAPP and WM_ACTIVATE, sent
//   key                 WM_KEYDOWN/WM_KEYUP, or WM_SYSKEYDOWN/WM_SYSKEYUP with Alt, posted
//   text                WM_CHAR per CP932 byte (lead byte first), posted
//   mouse               WM_SETCURSOR sent, then the mouse message posted (client coordinates)
//   wheel               WM_MOUSEWHEEL, +-120 per notch in the high word, posted
//   user resize         WM_SIZING(WMSZ_BOTTOMRIGHT) sent; its rectangle is applied (WM_SIZE)
//   user move           the window follows (WM_MOVE)
//   maximise/minimise   WM_SIZE with SIZE_MAXIMIZED/SIZE_MINIMIZED, sent
//   dropped files       WM_DROPFILES, posted, only with WS_EX_ACCEPTFILES
//   display change      WM_DISPLAYCHANGE, sent
//   composition         the input method's messages (imm/ime.h), sent
// Keys also update the key state (keys.cpp), and committed text goes to the input method
// first. While an input script runs, the machine's own keys and text are dropped.
#include "dinput/input.h"
#include "imm/ime.h"
#include "kernel/text.h"
#include "window/keys.h"
#include "window/model.h"

using namespace window;
using backend::MachineEvent;

namespace {

std::deque<MachineEvent>& g_waiting = *new std::deque<MachineEvent>;  // guarded by Mutex(); never destroyed

void Deliver(const MachineEvent& event) {
    std::lock_guard<std::mutex> hold(Mutex());
    g_waiting.push_back(event);
    Changed().notify_all();
}

// What the machine itself reports; a running input script stands for its keyboard.
void DeliverFromMachine(const MachineEvent& event) {
    bool typing = event.kind == MachineEvent::Key || event.kind == MachineEvent::Text ||
                  event.kind == MachineEvent::Composition;
    if (typing && input::ScriptRunningUnlocked()) return;
    Deliver(event);
}

// The next waiting event of a window this thread owns; events of windows that no longer
// exist are dropped on the way.
bool TakeEventFor(DWORD thread, MachineEvent* event) {
    std::lock_guard<std::mutex> hold(Mutex());
    for (auto it = g_waiting.begin(); it != g_waiting.end();) {
        Window* w = Find(ToHandle(it->window));
        if (!w) {
            it = g_waiting.erase(it);
            continue;
        }
        if (w->owner == thread) {
            *event = std::move(*it);
            g_waiting.erase(it);
            return true;
        }
        ++it;
    }
    return false;
}

void OffsetBy(RECT* rect, int dx, int dy) {
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
}

LPARAM KeyData(const MachineEvent& e) {
    DWORD data = 1 | (static_cast<DWORD>(e.code & 0xFF) << 16);
    if (e.alt) data |= 1u << 29;
    if (!e.down) data |= (1u << 30) | (1u << 31);
    return static_cast<LPARAM>(data);
}

void TranslateKey(HWND window, const MachineEvent& e) {
    int vk = UpdateKeyState(e.code, e.down);
    if (vk == 0) return;
    bool system = e.alt || vk == VK_MENU;
    UINT message = e.down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    PostMessageA(window, message, static_cast<WPARAM>(vk), KeyData(e));
}

void TranslateMouse(HWND window, const MachineEvent& e) {
    UINT message = WM_MOUSEMOVE;
    WPARAM keys = 0;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) return;
        w->mouse = {e.x, e.y};
        if (e.kind == MachineEvent::MouseButton) {
            static const UINT kDown[] = {WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN};
            static const UINT kUp[] = {WM_LBUTTONUP, WM_MBUTTONUP, WM_RBUTTONUP};
            static const int kFlag[] = {MK_LBUTTON, MK_MBUTTON, MK_RBUTTON};
            if (e.code < 1 || e.code > 3) return;
            message = e.down ? kDown[e.code - 1] : kUp[e.code - 1];
            if (e.down)
                w->buttons |= kFlag[e.code - 1];
            else
                w->buttons &= ~kFlag[e.code - 1];
        }
        keys = static_cast<WPARAM>(w->buttons);
    }
    SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, message));
    PostMessageA(window, message, keys, MAKELPARAM(e.x, e.y));
}

void TranslateWheel(HWND window, const MachineEvent& e) {
    WPARAM keys = 0;
    POINT at = {};
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) return;
        RECT client = ClientOnDesktop(*w);
        keys = static_cast<WPARAM>(w->buttons);
        at = {client.left + w->mouse.x, client.top + w->mouse.y};
    }
    int delta = e.code * WHEEL_DELTA;
    PostMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(keys, static_cast<WORD>(static_cast<short>(delta))),
                 MAKELPARAM(at.x, at.y));
}

// The user dragged the frame: the window procedure may change the proposed rectangle
// (WMSZ_BOTTOMRIGHT, as for a drag of the bottom-right corner), and its answer is what
// the window becomes, on the machine too.
void TranslateResize(HWND window, const MachineEvent& e) {
    RECT proposed;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) return;
        Frame f = FrameOf(w->style, w->exStyle);
        proposed = {w->rect.left, w->rect.top, w->rect.left + f.left + e.width + f.right,
                    w->rect.top + f.top + e.height + f.bottom};
    }
    SendMessageA(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&proposed));
    PlaceWindow(window, proposed);
}

void TranslateMove(HWND window, const MachineEvent& e) {
    RECT rect;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) return;
        RECT client = ClientOnDesktop(*w);
        rect = w->rect;
        OffsetBy(&rect, e.x - client.left, e.y - client.top);
    }
    PlaceWindow(window, rect);
}

void TranslateSizeState(HWND window, WPARAM type) {
    LPARAM size = 0;
    if (type != SIZE_MINIMIZED) {
        RECT client;
        if (!GetClientRect(window, &client)) return;
        size = MAKELPARAM(client.right, client.bottom);
    }
    SendMessageA(window, WM_SIZE, type, size);
}

void TranslateDrop(HWND window, const MachineEvent& e) {
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w || !(w->exStyle & WS_EX_ACCEPTFILES)) return;
    }
    HDROP drop = NewDrop(e.files);
    if (!PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) DragFinish(drop);
}

void Translate(const MachineEvent& e) {
    HWND window = ToHandle(e.window);
    switch (e.kind) {
    case MachineEvent::Close: PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case MachineEvent::FocusGained: Activate(window, false); break;
    case MachineEvent::FocusLost: Deactivate(window); break;
    case MachineEvent::Key: TranslateKey(window, e); break;
    case MachineEvent::Text: imm::Commit(window, kernel::Utf8ToCp932(e.text)); break;
    case MachineEvent::Composition: imm::ComposeUtf8(window, e.text, e.x, {}); break;
    case MachineEvent::MouseMove:
    case MachineEvent::MouseButton: TranslateMouse(window, e); break;
    case MachineEvent::Wheel: TranslateWheel(window, e); break;
    case MachineEvent::Resize: TranslateResize(window, e); break;
    case MachineEvent::Move: TranslateMove(window, e); break;
    case MachineEvent::Maximize: TranslateSizeState(window, SIZE_MAXIMIZED); break;
    case MachineEvent::Minimize: TranslateSizeState(window, SIZE_MINIMIZED); break;
    case MachineEvent::Restore: TranslateSizeState(window, SIZE_RESTORED); break;
    case MachineEvent::DropFiles: TranslateDrop(window, e); break;
    case MachineEvent::DisplayChange:
        SendMessageA(window, WM_DISPLAYCHANGE, static_cast<WPARAM>(e.code), MAKELPARAM(e.width, e.height));
        break;
    }
}

void Inject(MachineEvent event) {
    if (Machine().injectEvent(event)) return;
    Deliver(event);
}

MachineEvent EventFor(HWND window, MachineEvent::Kind kind) {
    MachineEvent event;
    event.kind = kind;
    event.window = reinterpret_cast<uintptr_t>(window);
    return event;
}

}  // namespace

namespace window {

void ProcessMachineEvents(DWORD thread) {
    Machine().pumpEvents(DeliverFromMachine);
    input::Pump();
    MachineEvent event;
    while (TakeEventFor(thread, &event)) Translate(event);
}

void DropMachineEvents(uintptr_t window) {
    std::erase_if(g_waiting, [&](const MachineEvent& e) { return e.window == window; });
}

void PressKey(int usage, bool down, bool throughMachine) {
    if (usage == 0) return;
    HWND front = nullptr;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        front = Foreground();
    }
    if (front == nullptr) {
        UpdateKeyState(usage, down);
        return;
    }
    MachineEvent event = EventFor(front, MachineEvent::Key);
    event.code = usage;
    event.down = down;
    if (throughMachine)
        Inject(event);
    else
        Deliver(event);
}

}  // namespace window

namespace ptest {

void InjectClose(HWND window) { Inject(EventFor(window, MachineEvent::Close)); }

void InjectFocus(HWND window, bool gained) {
    Inject(EventFor(window, gained ? MachineEvent::FocusGained : MachineEvent::FocusLost));
}

void InjectKey(HWND window, int usbUsage, bool down, bool alt) {
    MachineEvent event = EventFor(window, MachineEvent::Key);
    event.code = usbUsage;
    event.down = down;
    event.alt = alt;
    Inject(event);
}

void InjectText(HWND window, const std::string& utf8) {
    MachineEvent event = EventFor(window, MachineEvent::Text);
    event.text = utf8;
    Inject(event);
}

void InjectMouseMove(HWND window, int x, int y) {
    MachineEvent event = EventFor(window, MachineEvent::MouseMove);
    event.x = x;
    event.y = y;
    Inject(event);
}

void InjectMouseButton(HWND window, int button, bool down, int x, int y) {
    MachineEvent event = EventFor(window, MachineEvent::MouseButton);
    event.code = button;
    event.down = down;
    event.x = x;
    event.y = y;
    Inject(event);
}

void InjectWheel(HWND window, int notches) {
    MachineEvent event = EventFor(window, MachineEvent::Wheel);
    event.code = notches;
    Inject(event);
}

void InjectResize(HWND window, int clientWidth, int clientHeight) {
    MachineEvent event = EventFor(window, MachineEvent::Resize);
    event.width = clientWidth;
    event.height = clientHeight;
    Inject(event);
}

void InjectMaximize(HWND window) { Inject(EventFor(window, MachineEvent::Maximize)); }
void InjectMinimize(HWND window) { Inject(EventFor(window, MachineEvent::Minimize)); }
void InjectRestore(HWND window) { Inject(EventFor(window, MachineEvent::Restore)); }

void InjectDropFiles(HWND window, const std::vector<std::string>& utf8Names) {
    MachineEvent event = EventFor(window, MachineEvent::DropFiles);
    event.files = utf8Names;
    Inject(event);
}

void InjectDisplayChange(int width, int height, int bitsPerPixel) {
    std::vector<uintptr_t> windows;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        for (const auto& [id, w] : Windows()) windows.push_back(id);
    }
    for (uintptr_t id : windows) {
        MachineEvent event = EventFor(ToHandle(id), MachineEvent::DisplayChange);
        event.width = width;
        event.height = height;
        event.code = bitsPerPixel;
        Deliver(event);
    }
}

}  // namespace ptest
