// backend/backend.h: what the platform needs of the machine below it, as a table
// chosen once by name (QZ_BACKEND, see testing.h): "sdl", a real window, audio and
// pads, or "null", headless, for tests and benchmarks. Nothing above this table asks
// which backend it has.
//
// Threads: the sdl backend touches SDL only from the main thread, so the window layer
// calls the window members from the thread that owns the window (the main thread for
// every window the library makes) and pumps only there. Members marked "any thread"
// may be called from anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/testing.h"

namespace backend {

// A machine event on its way to becoming window messages (window/events.cpp).
// `window` is the tag the window layer gave the backend window (its HWND value).
struct MachineEvent {
    enum Kind {
        Close,          // the user asked to close the window
        FocusGained,
        FocusLost,
        Key,            // code, down, alt
        Text,           // text (UTF-8)
        MouseMove,      // x, y (client)
        MouseButton,    // code (1 left, 2 middle, 3 right), down, x, y
        Wheel,          // code: notches, positive away from the user
        Resize,         // width, height: the client size the user dragged to
        Move,           // x, y: where the user put the client area
        Maximize,
        Minimize,
        Restore,
        DropFiles,      // files (UTF-8), x, y
        DisplayChange,  // width, height, code: bits per pixel; sent to every window
        Composition,    // text (UTF-8): the input method's composition; x: its cursor in characters
    };
    Kind kind = Close;
    uintptr_t window = 0;
    int code = 0;  // key: USB HID usage (SDL's scancode numbering)
    bool down = false;
    bool alt = false;
    int x = 0, y = 0, width = 0, height = 0;
    std::string text;
    std::vector<std::string> files;
};

// What the window layer asks a backend window to be. Coordinates are the client area's,
// in desktop pixels.
struct WindowSpec {
    uintptr_t tag;      // carried by every event of this window
    std::string title;  // UTF-8
    int x, y, width, height;
    bool shown, bordered, resizable, onTop;
};

struct MessageBoxSpec {
    std::string text, caption;         // UTF-8
    std::vector<std::string> buttons;  // labels, left to right
    int defaultButton;                 // index; Enter takes it, Esc takes the last
    enum Icon { None, Error, Warning, Information } icon;
};

struct Backend {
    const char* name;  // "sdl" or "null"

    // Makes the backend usable; false when it cannot run here. Any thread: it must not
    // touch the machine (sdl starts lazily, on the main thread).
    bool (*open)();
    // Releases what open made.
    void (*close)();

    // One finished frame in X8R8G8B8, shown at once (the caller has already waited for
    // the vertical blank). width x height pixels, pitch in bytes.
    void (*present)(const uint32_t* xrgb, int width, int height, int pitch);

    // Turns pending machine events into MachineEvents handed to `deliver`. Called inside
    // PeekMessageA; the sdl backend does its work only on the main thread.
    void (*pumpEvents)(void (*deliver)(const MachineEvent& event));
    // Puts an injected event (testing.h) into the machine's own queue, so that it takes
    // the way a real one takes; false when this backend leaves it to the window layer's
    // queue. Any thread.
    bool (*injectEvent)(const MachineEvent& event);

    // ---- windows -------------------------------------------------------------------------
    // A new window, or null when the machine cannot make one (a line on stderr says why).
    void* (*createWindow)(const WindowSpec& spec);
    void (*destroyWindow)(void* window);
    void (*setTitle)(void* window, const char* utf8);
    void (*setClientRect)(void* window, int x, int y, int width, int height);
    void (*setShown)(void* window, bool shown);
    void (*setBordered)(void* window, bool bordered);
    void (*setResizable)(void* window, bool resizable);
    void (*setOnTop)(void* window, bool onTop);
    // Raises the window and gives it the keyboard focus, as the program's own activation
    // (first show, SetForegroundWindow) does on the desktop.
    void (*activateWindow)(void* window);
    // What the machine shows of the window (testing.h).
    void (*viewWindow)(void* window, ptest::WindowView* view);

    // ---- desktop ----------------------------------------------------------------------------
    // The desktop mode: size and bits per pixel of storage (32 for X8R8G8B8).
    void (*desktopMode)(int* width, int* height, int* bitsPerPixel);
    void (*setCursorVisible)(bool visible);
    void (*setScreenSaverEnabled)(bool enabled);
    // Shows a message box and returns the index of the button taken, or -1 when no box
    // can be shown.
    int (*messageBox)(const MessageBoxSpec& spec);
};

// The backend in use, chosen on first use from the controls and opened then.
const Backend& Current();

// The two backends, for the selection and for tests that want one directly.
const Backend& NullBackend();
const Backend& SdlBackend();

}  // namespace backend
