// window/messages.cpp: the per-thread message queues: posting, peeking, sending across
// threads, translating and dispatching, and the default window procedure.
// Any thread; a thread sees only its own queue.
#include <chrono>

#include "backend/audio.h"
#include "kernel/diag.h"
#include "platform/winmm.h"
#include "window/model.h"
#include "winsock/sockets.h"

using namespace window;

namespace {

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    return msg;
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
}

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

// The window a filter admits: null admits every window of the thread.
bool Admits(HWND filter, HWND window) {
    if (filter == nullptr) return true;
    if (filter == kThreadMessagesOnly) return window == nullptr;
    return window == filter;
}

}  // namespace

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> hold(Mutex());
    DWORD thread = GetCurrentThreadId();
    if (window != nullptr) {
        Window* w = Find(window);
        if (!w) return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        thread = w->owner;
    }
    QueueOf(thread).posted.push_back(MakeMessage(window, message, wParam, lParam));
    Changed().notify_all();
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    std::lock_guard<std::mutex> hold(Mutex());
    QueueOf(GetCurrentThreadId()).posted.push_back(MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0));
}

void window::DropPostedMessages(HWND window, UINT message, WPARAM wParam) {
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(window);
    if (!w) return;
    std::deque<MSG>& posted = QueueOf(w->owner).posted;
    std::erase_if(posted, [&](const MSG& m) { return m.hwnd == window && m.message == message && m.wParam == wParam; });
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    DWORD self = GetCurrentThreadId();
    RunSentMessages(self);
    ProcessMachineEvents(self);
    winsock::PollEvents(self);
    // The null sound device advances with the pump, so a play-and-wait ends headless.
    backend::AudioPumpPass();

    std::lock_guard<std::mutex> hold(Mutex());
    if (window != nullptr && window != kThreadMessagesOnly) {
        Window* w = Find(window);
        if (!w || w->owner != self) return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    ThreadQueue& queue = QueueOf(self);
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!Admits(window, it->hwnd) || !InRange(it->message, filterMin, filterMax)) continue;
        *msg = *it;
        if (removeFlags & PM_REMOVE) queue.posted.erase(it);
        return TRUE;
    }
    // Nothing queued: an invalid visible window asks to be painted. WM_PAINT stays until
    // the window is validated, whatever the remove flag.
    if (window == kThreadMessagesOnly || !InRange(WM_PAINT, filterMin, filterMax)) return FALSE;
    for (auto& [id, w] : Windows()) {
        HWND handle = ToHandle(id);
        if (w.owner != self || !w.visible || !w.invalid || w.destroying || !Admits(window, handle)) continue;
        *msg = MakeMessage(handle, WM_PAINT, 0, 0);
        return TRUE;
    }
    return FALSE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD self = GetCurrentThreadId();
    std::shared_ptr<SentCall> call;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(window);
        if (!w) return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT(0));
        if (w->owner != self) {
            call = std::make_shared<SentCall>();
            *call = {window, message, wParam, lParam};
            QueueOf(w->owner).sent.push_back(call);
            Changed().notify_all();
        }
    }
    if (!call) return CallProcedure(window, message, wParam, lParam);

    // Wait for the owner's next peek. Meanwhile messages sent to this thread still run,
    // so two threads sending to each other do not wait forever.
    for (;;) {
        RunSentMessages(self);
        std::unique_lock<std::mutex> hold(Mutex());
        if (call->done) return call->result;
        if (!QueueOf(self).sent.empty()) continue;
        Changed().wait_for(hold, std::chrono::milliseconds(20));
        if (call->done) return call->result;
    }
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    UINT character = 0;
    UINT message = WM_CHAR;
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
        case VK_BACK: character = 8; break;
        case VK_TAB: character = 9; break;
        case VK_RETURN: character = 13; break;
        case VK_ESCAPE: character = 27; break;
        default: return FALSE;
        }
    } else if (msg->message == WM_SYSKEYDOWN && msg->wParam == VK_RETURN) {
        character = 13;
        message = WM_SYSCHAR;
    } else {
        return FALSE;
    }
    // The character is the next message taken, as the key's own text would be.
    std::lock_guard<std::mutex> hold(Mutex());
    Window* w = Find(msg->hwnd);
    if (!w) return FALSE;
    QueueOf(w->owner).posted.push_front(MakeMessage(msg->hwnd, message, character, msg->lParam));
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || msg->hwnd == nullptr) return 0;
    {
        std::lock_guard<std::mutex> hold(Mutex());
        Window* w = Find(msg->hwnd);
        if (!w || w->owner != GetCurrentThreadId()) return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT(0));
    }
    return CallProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

int TranslateAcceleratorA(HWND, HACCEL, LPMSG) { return 0; }

BOOL IsDialogMessageA(HWND, LPMSG) { return FALSE; }

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_PAINT: {
        std::lock_guard<std::mutex> hold(Mutex());
        if (Window* w = Find(window)) w->invalid = false;
        return 0;
    }
    default: return 0;
    }
}
