// window/model.h: the window model shared by the window calls: classes, windows, the
// per-thread message queues and the machine events waiting for their owner thread.
//
// Everything here is guarded by Mutex(). A window procedure is never called with it
// held: callers copy what they need, unlock, call, and lock again. Backend window
// members are called with it held (they never call back into the window layer).
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backend/backend.h"
#include "platform/win32.h"

namespace window {

struct WindowClass {
    std::string name;  // as registered (CP932); looked up ASCII-case-insensitively
    WNDCLASSEXA info;  // the names inside are not kept
};

struct Window {
    uintptr_t id = 0;
    DWORD owner = 0;  // the thread that created it
    std::string className;
    WNDPROC proc = nullptr;
    LONG style = 0;
    LONG exStyle = 0;
    RECT rect = {};     // the window rectangle on the desktop
    std::string title;  // CP932
    HINSTANCE instance = nullptr;
    HMENU menu = nullptr;
    HRGN region = nullptr;
    // A WS_CHILD window: its rectangle is in the parent's client coordinates, it has no
    // machine window of its own and it goes when its parent goes.
    HWND parent = nullptr;
    LONG_PTR userData = 0;
    LONG controlId = 0;
    bool visible = false;
    bool everShown = false;
    bool invalid = true;  // needs WM_PAINT once visible
    bool onTop = false;
    bool imeEnabled = true;
    bool destroying = false;  // WM_DESTROY is being sent
    void* machine = nullptr;  // the backend window
    // Mouse state for the key flags of mouse messages, and the last position (client).
    int buttons = 0;
    POINT mouse = {};
};

// A message sent from another thread, run by the owner at its next peek.
struct SentCall {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct ThreadQueue {
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentCall>> sent;
};

std::mutex& Mutex();
// Notified whenever a queue gains something or a sent call completes.
std::condition_variable& Changed();

// ---- the tables (Mutex held) -----------------------------------------------------------
std::map<std::string, WindowClass>& Classes();  // keyed by the folded name
std::string FoldClassName(const char* name);    // ASCII letters lower-cased
std::map<uintptr_t, Window>& Windows();
Window* Find(HWND window);  // a live window (also while WM_DESTROY runs), else null
ThreadQueue& QueueOf(DWORD thread);
// A new window handle value: never 0 and not reused.
uintptr_t NewHandleValue();
inline HWND ToHandle(uintptr_t id) { return reinterpret_cast<HWND>(id); }

// The foreground window (null when another program, or nothing of ours, is in front).
HWND& Foreground();

// ---- frame metrics --------------------------------------------------------------------------
// Fixed sizes per style bit, shared by every rectangle call.
struct Frame {
    int left, top, right, bottom;
};
Frame FrameOf(LONG style, LONG exStyle);
RECT ClientOnDesktop(const Window& w);  // the client area in desktop coordinates

// ---- the backend window (Mutex held) -----------------------------------------------------------
const backend::Backend& Machine();
backend::WindowSpec SpecOf(const Window& w);
bool IsBordered(LONG style);
bool IsResizable(LONG style);
// Gives the backend the window's client rectangle, border and resizing.
void SyncMachine(const Window& w);

// ---- calls that run window procedures (Mutex NOT held) ------------------------------------------
// Calls the window's current procedure on this thread; 0 when the window is gone.
LRESULT CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Moves and resizes; sends WM_MOVE and WM_SIZE for what changed.
void PlaceWindow(HWND window, const RECT& rect);
// Makes the window the foreground window with the activation messages. The program's own
// activation also tells the machine; one the machine reported does not.
void Activate(HWND window, bool tellMachine = true);
// The window loses the foreground to another program.
void Deactivate(HWND window);
// Runs the messages other threads sent to this thread.
void RunSentMessages(DWORD thread);
// Drops the posted messages of this window, message and wParam still queued (a closed
// socket's events). Mutex NOT held.
void DropPostedMessages(HWND window, UINT message, WPARAM wParam);

// ---- machine events (events.cpp) -----------------------------------------------------------------
// Pumps the backend (on the main thread) and turns the events of this thread's windows
// into messages. Mutex NOT held.
void ProcessMachineEvents(DWORD thread);
// Drops the waiting events of a window (Mutex held).
void DropMachineEvents(uintptr_t window);
// The virtual key of a USB HID usage, 0 for keys without one (keys.cpp).
int VirtualKeyOf(int usbUsage);

// ---- the class lock behind FindWindowA (instance.cpp, Mutex held) -----------------------------------
void HoldClassLock(const std::string& className);
void ReleaseClassLock(const std::string& className);

// ---- dropped files (drop.cpp) ------------------------------------------------------------------
// A drop of the names (UTF-8, held in CP932), freed by DragFinish.
HDROP NewDrop(const std::vector<std::string>& utf8Names);

// ---- the cursor (cursor.cpp) ----------------------------------------------------------------------
bool CursorShown();

}  // namespace window
