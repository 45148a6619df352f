// sdl/sdl_backend.cpp: the backend of a real machine: SDL2 windows, their events, the
// desktop mode, the cursor, the screen saver and message boxes.
//
// Threads: SDL is touched only from the main thread (ptest::IsMainThread). Video starts
// lazily there, at the first window or desktop question. A window made on another
// thread exists only in the window layer's model (a stub here). Cursor and screen-saver
// changes asked from another thread wait for the main thread's next pump. Injected
// events are pushed into SDL's own queue (SDL_PushEvent may be called from any thread),
// so they take the way a real event takes.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "backend/backend.h"
#include "backend/present_mode.h"

namespace backend {
namespace {

struct SdlWindow {
    SDL_Window* sdl = nullptr;  // null for a window made off the main thread
    uintptr_t tag = 0;
    Uint32 id = 0;
    // What this side last asked of SDL: a report of the same place or size is the echo
    // of our own change, not the user's.
    int x = 0, y = 0, width = 0, height = 0;
    ptest::WindowView cache;  // what a stub shows
    // Showing full-screen frames in the desktop's full screen: SDL's own size and place
    // changes then are no user's.
    bool desktopFull = false;
};

std::mutex g_lock;  // guards the tables and the deferred settings below
// Never destroyed, so windows still open at the end stay reachable.
std::map<uintptr_t, SdlWindow*>& g_byTag = *new std::map<uintptr_t, SdlWindow*>;
std::map<Uint32, SdlWindow*>& g_byId = *new std::map<Uint32, SdlWindow*>;
int g_desktopWidth = 0, g_desktopHeight = 0, g_desktopDepth = 0;  // 0: not measured yet
int g_wantCursor = -1;       // -1: nothing pending, else 0 or 1
int g_wantScreenSaver = -1;  // likewise
bool g_videoFailed = false;
std::vector<std::string> g_dropping;  // files of a drop in progress
Uint32 g_dropWindow = 0;
bool g_dropBegun = false;  // between SDL_DROPBEGIN and SDL_DROPCOMPLETE

bool OnMain() { return ptest::IsMainThread(); }

// Starts video on the main thread; false when it cannot run here.
bool EnsureVideo() {
    if (!OnMain()) return false;
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (g_videoFailed) return false;
    // Ctrl+C keeps ending the process, and the screen saver follows the program's own
    // setting, not SDL's default of switching it off.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        g_videoFailed = true;
        std::fprintf(stderr, "sdl: video cannot start (%s); QZ_BACKEND=null runs without a display\n",
                     SDL_GetError());
        return false;
    }
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        std::lock_guard<std::mutex> hold(g_lock);
        g_desktopWidth = mode.w;
        g_desktopHeight = mode.h;
        // The depth is the storage per pixel: X8R8G8B8 is 32, never the 24 bits of colour.
        g_desktopDepth = SDL_BYTESPERPIXEL(mode.format) * 8;
    }
    return true;
}

SdlWindow* ByTag(uintptr_t tag) {
    auto it = g_byTag.find(tag);
    return it == g_byTag.end() ? nullptr : it->second;
}

bool Open() { return true; }

void Close() {
    if (OnMain() && SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// ---- presenting --------------------------------------------------------------------------
// A frame goes to the newest shown window, through its window surface (no renderer, so
// no vertical-blank wait of SDL's own: the DirectDraw layer paces). A full-screen frame
// puts the window in the desktop's full screen and is scaled in with its aspect kept,
// black bars around; a window frame fills the window.

SdlWindow* PresentTarget() {
    SdlWindow* found = nullptr;
    for (auto& entry : g_byTag)
        if (entry.second->sdl && (SDL_GetWindowFlags(entry.second->sdl) & SDL_WINDOW_SHOWN)) found = entry.second;
    return found;
}

void SetDesktopFull(SdlWindow* w, bool on) {
    if (w->desktopFull == on) return;
    w->desktopFull = on;
    SDL_SetWindowFullscreen(w->sdl, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (!on) {
        // Back where the program last put it.
        int x, y, width, height;
        {
            std::lock_guard<std::mutex> hold(g_lock);
            x = w->x, y = w->y, width = w->width, height = w->height;
        }
        SDL_SetWindowPosition(w->sdl, x, y);
        SDL_SetWindowSize(w->sdl, width, height);
    }
}

void Present(const uint32_t* xrgb, int width, int height, int pitch) {
    if (!OnMain() || !SDL_WasInit(SDL_INIT_VIDEO) || width <= 0 || height <= 0) return;
    SdlWindow* w;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        w = PresentTarget();
    }
    if (w == nullptr) return;
    bool full = FullScreenPresent();
    SetDesktopFull(w, full);
    SDL_Surface* target = SDL_GetWindowSurface(w->sdl);
    if (target == nullptr) return;
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(xrgb), width, height, 32, pitch,
                                                            SDL_PIXELFORMAT_RGB888);
    if (frame == nullptr) return;
    SDL_Rect to = {0, 0, target->w, target->h};
    if (full) {
        // The largest size of the frame's aspect that fits, centred.
        if ((int64_t)target->w * height <= (int64_t)target->h * width) {
            to.w = target->w;
            to.h = (int)((int64_t)target->w * height / width);
        } else {
            to.h = target->h;
            to.w = (int)((int64_t)target->h * width / height);
        }
        to.x = (target->w - to.w) / 2;
        to.y = (target->h - to.h) / 2;
        SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    }
    if (to.w == width && to.h == height)
        SDL_BlitSurface(frame, nullptr, target, &to);
    else
        SDL_BlitScaled(frame, nullptr, target, &to);
    SDL_UpdateWindowSurface(w->sdl);
    SDL_FreeSurface(frame);
}

// ---- events ----------------------------------------------------------------------------

void ApplyDeferred() {
    int cursor, screenSaver;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        cursor = g_wantCursor;
        screenSaver = g_wantScreenSaver;
        g_wantCursor = g_wantScreenSaver = -1;
    }
    if (cursor >= 0) SDL_ShowCursor(cursor ? SDL_ENABLE : SDL_DISABLE);
    if (screenSaver == 1) SDL_EnableScreenSaver();
    if (screenSaver == 0) SDL_DisableScreenSaver();
}

// The window an SDL event names, as its tag; 0 for none of ours. Echoes of our own
// moves and resizes are dropped here.
uintptr_t TagOf(Uint32 id) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_byId.find(id);
    return it == g_byId.end() ? 0 : it->second->tag;
}

void TranslateWindowEvent(const SDL_WindowEvent& e, void (*deliver)(const MachineEvent&)) {
    MachineEvent event;
    event.window = TagOf(e.windowID);
    if (event.window == 0) return;
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE: event.kind = MachineEvent::Close; break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: event.kind = MachineEvent::FocusGained; break;
    case SDL_WINDOWEVENT_FOCUS_LOST: event.kind = MachineEvent::FocusLost; break;
    case SDL_WINDOWEVENT_MAXIMIZED: event.kind = MachineEvent::Maximize; break;
    case SDL_WINDOWEVENT_MINIMIZED: event.kind = MachineEvent::Minimize; break;
    case SDL_WINDOWEVENT_RESTORED: event.kind = MachineEvent::Restore; break;
    case SDL_WINDOWEVENT_RESIZED: {
        std::lock_guard<std::mutex> hold(g_lock);
        SdlWindow* w = g_byId[e.windowID];
        if (w->desktopFull || (e.data1 == w->width && e.data2 == w->height)) return;
        event.kind = MachineEvent::Resize;
        event.width = e.data1;
        event.height = e.data2;
        break;
    }
    case SDL_WINDOWEVENT_MOVED: {
        std::lock_guard<std::mutex> hold(g_lock);
        SdlWindow* w = g_byId[e.windowID];
        if (w->desktopFull || (e.data1 == w->x && e.data2 == w->y)) return;
        w->x = e.data1;
        w->y = e.data2;
        event.kind = MachineEvent::Move;
        event.x = e.data1;
        event.y = e.data2;
        break;
    }
    default: return;
    }
    deliver(event);
}

void Translate(const SDL_Event& e, void (*deliver)(const MachineEvent&)) {
    MachineEvent event;
    switch (e.type) {
    case SDL_WINDOWEVENT: TranslateWindowEvent(e.window, deliver); return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        event.kind = MachineEvent::Key;
        event.window = TagOf(e.key.windowID);
        event.code = e.key.keysym.scancode;
        event.down = e.type == SDL_KEYDOWN;
        event.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
        break;
    case SDL_TEXTINPUT:
        event.kind = MachineEvent::Text;
        event.window = TagOf(e.text.windowID);
        event.text = e.text.text;
        break;
    case SDL_TEXTEDITING:
        event.kind = MachineEvent::Composition;
        event.window = TagOf(e.edit.windowID);
        event.text = e.edit.text;
        event.x = e.edit.start;
        break;
    case SDL_MOUSEMOTION:
        event.kind = MachineEvent::MouseMove;
        event.window = TagOf(e.motion.windowID);
        event.x = e.motion.x;
        event.y = e.motion.y;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        event.kind = MachineEvent::MouseButton;
        event.window = TagOf(e.button.windowID);
        event.code = e.button.button;  // 1 left, 2 middle, 3 right, as MachineEvent counts
        event.down = e.type == SDL_MOUSEBUTTONDOWN;
        event.x = e.button.x;
        event.y = e.button.y;
        break;
    case SDL_MOUSEWHEEL:
        event.kind = MachineEvent::Wheel;
        event.window = TagOf(e.wheel.windowID);
        event.code = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        if (event.code == 0) return;
        break;
    case SDL_DROPBEGIN:
        g_dropping.clear();
        g_dropWindow = e.drop.windowID;
        g_dropBegun = true;
        return;
    case SDL_DROPFILE:
        if (e.drop.file) {
            g_dropping.push_back(e.drop.file);
            SDL_free(e.drop.file);
        }
        g_dropWindow = e.drop.windowID;
        // A machine that sends no SDL_DROPBEGIN drops each file alone.
        if (g_dropBegun) return;
        event.kind = MachineEvent::DropFiles;
        event.window = TagOf(g_dropWindow);
        event.files.swap(g_dropping);
        break;
    case SDL_DROPCOMPLETE:
        g_dropBegun = false;
        event.kind = MachineEvent::DropFiles;
        event.window = TagOf(g_dropWindow);
        event.files.swap(g_dropping);
        if (event.files.empty()) return;
        break;
    case SDL_DROPTEXT:
        SDL_free(e.drop.file);
        return;
    default: return;
    }
    if (event.window != 0) deliver(event);
}

void PumpEvents(void (*deliver)(const MachineEvent&)) {
    if (!OnMain() || !SDL_WasInit(SDL_INIT_VIDEO)) return;
    ApplyDeferred();
    SDL_Event e;
    while (SDL_PollEvent(&e)) Translate(e, deliver);
}

bool InjectEvent(const MachineEvent& event) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    Uint32 id;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        SdlWindow* w = ByTag(event.window);
        if (!w || !w->sdl) return false;
        id = w->id;
    }
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    auto windowEvent = [&](Uint8 kind, int data1 = 0, int data2 = 0) {
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = id;
        e.window.event = kind;
        e.window.data1 = data1;
        e.window.data2 = data2;
    };
    switch (event.kind) {
    case MachineEvent::Close: windowEvent(SDL_WINDOWEVENT_CLOSE); break;
    case MachineEvent::FocusGained: windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED); break;
    case MachineEvent::FocusLost: windowEvent(SDL_WINDOWEVENT_FOCUS_LOST); break;
    case MachineEvent::Maximize: windowEvent(SDL_WINDOWEVENT_MAXIMIZED); break;
    case MachineEvent::Minimize: windowEvent(SDL_WINDOWEVENT_MINIMIZED); break;
    case MachineEvent::Restore: windowEvent(SDL_WINDOWEVENT_RESTORED); break;
    case MachineEvent::Resize: windowEvent(SDL_WINDOWEVENT_RESIZED, event.width, event.height); break;
    case MachineEvent::Key:
        e.type = event.down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = id;
        e.key.state = event.down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = static_cast<SDL_Scancode>(event.code);
        e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
        e.key.keysym.mod = event.alt ? KMOD_LALT : KMOD_NONE;
        break;
    case MachineEvent::Text: {
        // SDL carries text in short pieces; cut between characters.
        size_t at = 0;
        while (at < event.text.size()) {
            size_t length = std::min(event.text.size() - at, sizeof e.text.text - 1);
            while (length > 0 && at + length < event.text.size() &&
                   (static_cast<unsigned char>(event.text[at + length]) & 0xC0) == 0x80)
                --length;
            if (length == 0) break;
            std::memset(&e, 0, sizeof e);
            e.type = SDL_TEXTINPUT;
            e.text.windowID = id;
            std::memcpy(e.text.text, event.text.data() + at, length);
            SDL_PushEvent(&e);
            at += length;
        }
        return true;
    }
    case MachineEvent::MouseMove:
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = id;
        e.motion.x = event.x;
        e.motion.y = event.y;
        break;
    case MachineEvent::MouseButton:
        e.type = event.down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = id;
        e.button.button = static_cast<Uint8>(event.code);
        e.button.state = event.down ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = event.x;
        e.button.y = event.y;
        break;
    case MachineEvent::Wheel:
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = id;
        e.wheel.y = event.code;
        e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
        break;
    default: return false;  // drops and display changes take the window layer's queue
    }
    return SDL_PushEvent(&e) == 1;
}

// ---- windows -------------------------------------------------------------------------------

void* CreateWindow(const WindowSpec& spec) {
    auto* w = new SdlWindow;
    w->tag = spec.tag;
    w->x = spec.x;
    w->y = spec.y;
    w->width = spec.width;
    w->height = spec.height;
    w->cache = {true, spec.title, spec.x, spec.y, spec.width, spec.height, spec.shown, spec.bordered, spec.resizable,
                spec.onTop};
    if (OnMain()) {
        if (!EnsureVideo()) {
            delete w;
            return nullptr;
        }
        Uint32 flags = spec.shown ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
        if (!spec.bordered) flags |= SDL_WINDOW_BORDERLESS;
        if (spec.resizable) flags |= SDL_WINDOW_RESIZABLE;
        if (spec.onTop) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        w->sdl = SDL_CreateWindow(spec.title.c_str(), spec.x, spec.y, std::max(spec.width, 1),
                                  std::max(spec.height, 1), flags);
        if (!w->sdl) {
            std::fprintf(stderr, "sdl: no window (%s); QZ_BACKEND=null runs without a display\n", SDL_GetError());
            delete w;
            return nullptr;
        }
        w->id = SDL_GetWindowID(w->sdl);
    }
    std::lock_guard<std::mutex> hold(g_lock);
    g_byTag[w->tag] = w;
    if (w->sdl) g_byId[w->id] = w;
    return w;
}

void DestroyWindow(void* window) {
    auto* w = static_cast<SdlWindow*>(window);
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_byTag.erase(w->tag);
        if (w->sdl) g_byId.erase(w->id);
    }
    if (w->sdl && OnMain()) SDL_DestroyWindow(w->sdl);
    delete w;
}

// Runs `change` on the SDL window when this is the main thread and the window is real.
template <typename Change>
void OnSdl(void* window, Change change) {
    auto* w = static_cast<SdlWindow*>(window);
    if (w->sdl && OnMain()) change(w);
}

void SetTitle(void* window, const char* utf8) {
    static_cast<SdlWindow*>(window)->cache.title = utf8;
    OnSdl(window, [&](SdlWindow* w) { SDL_SetWindowTitle(w->sdl, utf8); });
}

void SetClientRect(void* window, int x, int y, int width, int height) {
    auto* sw = static_cast<SdlWindow*>(window);
    sw->cache.x = x;
    sw->cache.y = y;
    sw->cache.width = width;
    sw->cache.height = height;
    OnSdl(window, [&](SdlWindow* w) {
        // The program places the window itself: a maximised window is restored first.
        if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_MAXIMIZED) SDL_RestoreWindow(w->sdl);
        {
            std::lock_guard<std::mutex> hold(g_lock);
            w->x = x;
            w->y = y;
            w->width = std::max(width, 1);
            w->height = std::max(height, 1);
        }
        SDL_SetWindowPosition(w->sdl, x, y);
        SDL_SetWindowSize(w->sdl, std::max(width, 1), std::max(height, 1));
    });
}

void SetShown(void* window, bool shown) {
    static_cast<SdlWindow*>(window)->cache.shown = shown;
    OnSdl(window, [&](SdlWindow* w) {
        if (shown)
            SDL_ShowWindow(w->sdl);
        else
            SDL_HideWindow(w->sdl);
    });
}

void SetBordered(void* window, bool bordered) {
    static_cast<SdlWindow*>(window)->cache.bordered = bordered;
    OnSdl(window, [&](SdlWindow* w) { SDL_SetWindowBordered(w->sdl, bordered ? SDL_TRUE : SDL_FALSE); });
}

void SetResizable(void* window, bool resizable) {
    static_cast<SdlWindow*>(window)->cache.resizable = resizable;
    OnSdl(window, [&](SdlWindow* w) { SDL_SetWindowResizable(w->sdl, resizable ? SDL_TRUE : SDL_FALSE); });
}

void SetOnTop(void* window, bool onTop) {
    static_cast<SdlWindow*>(window)->cache.onTop = onTop;
    OnSdl(window, [&](SdlWindow* w) { SDL_SetWindowAlwaysOnTop(w->sdl, onTop ? SDL_TRUE : SDL_FALSE); });
}

void ActivateWindow(void* window) {
    OnSdl(window, [&](SdlWindow* w) {
        // Only a shown window can take the focus.
        if (!(SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN)) return;
        SDL_RaiseWindow(w->sdl);
        // Without a window manager nobody else moves the keyboard focus to the window.
        SDL_SetWindowInputFocus(w->sdl);
    });
}

void ViewWindow(void* window, ptest::WindowView* view) {
    auto* w = static_cast<SdlWindow*>(window);
    *view = w->cache;
    OnSdl(window, [&](SdlWindow*) {
        view->title = SDL_GetWindowTitle(w->sdl);
        SDL_GetWindowPosition(w->sdl, &view->x, &view->y);
        SDL_GetWindowSize(w->sdl, &view->width, &view->height);
        Uint32 flags = SDL_GetWindowFlags(w->sdl);
        view->shown = (flags & SDL_WINDOW_SHOWN) != 0;
        view->bordered = (flags & SDL_WINDOW_BORDERLESS) == 0;
        view->resizable = (flags & SDL_WINDOW_RESIZABLE) != 0;
        view->onTop = (flags & SDL_WINDOW_ALWAYS_ON_TOP) != 0;
    });
}

// ---- desktop ----------------------------------------------------------------------------------

void DesktopMode(int* width, int* height, int* bitsPerPixel) {
    EnsureVideo();
    std::lock_guard<std::mutex> hold(g_lock);
    // Until the main thread has measured it (or where no display exists), the desktop
    // reads as the headless one does.
    *width = g_desktopWidth ? g_desktopWidth : 1920;
    *height = g_desktopHeight ? g_desktopHeight : 1080;
    *bitsPerPixel = g_desktopDepth ? g_desktopDepth : 32;
}

void SetCursorVisible(bool visible) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_wantCursor = visible ? 1 : 0;
    }
    if (OnMain() && SDL_WasInit(SDL_INIT_VIDEO)) ApplyDeferred();
}

void SetScreenSaverEnabled(bool enabled) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_wantScreenSaver = enabled ? 1 : 0;
    }
    if (OnMain() && SDL_WasInit(SDL_INIT_VIDEO)) ApplyDeferred();
}

int MessageBox(const MessageBoxSpec& spec) {
    if (!OnMain()) return -1;
    std::vector<SDL_MessageBoxButtonData> buttons(spec.buttons.size());
    for (size_t i = 0; i < buttons.size(); ++i) {
        buttons[i].buttonid = static_cast<int>(i);
        buttons[i].text = spec.buttons[i].c_str();
        buttons[i].flags = 0;
        if (static_cast<int>(i) == spec.defaultButton) buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (i + 1 == buttons.size()) buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    }
    Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    switch (spec.icon) {
    case MessageBoxSpec::Error: flags |= SDL_MESSAGEBOX_ERROR; break;
    case MessageBoxSpec::Warning: flags |= SDL_MESSAGEBOX_WARNING; break;
    case MessageBoxSpec::Information: flags |= SDL_MESSAGEBOX_INFORMATION; break;
    case MessageBoxSpec::None: break;
    }
    SDL_MessageBoxData data = {flags,          nullptr, spec.caption.c_str(), spec.text.c_str(),
                               static_cast<int>(buttons.size()), buttons.data(), nullptr};
    int chosen = -1;
    if (SDL_ShowMessageBox(&data, &chosen) != 0) {
        std::fprintf(stderr, "sdl: no message box (%s)\n", SDL_GetError());
        return -1;
    }
    // Closing the box answers as Esc does.
    return chosen < 0 ? static_cast<int>(buttons.size()) - 1 : chosen;
}

}  // namespace

bool SdlReadBackShownFrame(std::vector<uint32_t>* pixels, int* width, int* height) {
    pixels->clear();
    *width = *height = 0;
    if (!OnMain() || !SDL_WasInit(SDL_INIT_VIDEO)) return false;
    SdlWindow* w;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        w = PresentTarget();
    }
    SDL_Surface* shown = w ? SDL_GetWindowSurface(w->sdl) : nullptr;
    SDL_Surface* copy = shown ? SDL_ConvertSurfaceFormat(shown, SDL_PIXELFORMAT_RGB888, 0) : nullptr;
    if (copy == nullptr) return false;
    *width = copy->w;
    *height = copy->h;
    pixels->resize(static_cast<size_t>(copy->w) * copy->h);
    SDL_LockSurface(copy);
    for (int y = 0; y < copy->h; ++y)
        for (int x = 0; x < copy->w; ++x) {
            uint32_t v;
            std::memcpy(&v, static_cast<uint8_t*>(copy->pixels) + y * copy->pitch + x * 4, 4);
            (*pixels)[static_cast<size_t>(y) * copy->w + x] = v & 0xFFFFFF;
        }
    SDL_UnlockSurface(copy);
    SDL_FreeSurface(copy);
    return true;
}

const Backend& SdlBackend() {
    static const Backend table = {
        "sdl",        Open,          Close,          Present,       PumpEvents,   InjectEvent,
        CreateWindow, DestroyWindow, SetTitle,       SetClientRect, SetShown,     SetBordered,
        SetResizable, SetOnTop,      ActivateWindow, ViewWindow,     DesktopMode,   SetCursorVisible, SetScreenSaverEnabled,
        MessageBox,
    };
    return table;
}

}  // namespace backend

// Under LeakSanitizer: libraries that SDL's video brings in keep allocations to the end
// of the process by design (the session bus connection), which are not ours to free; and
// fontconfig loses a few blocks once, parsing the system's configuration. gdi/fonts.cpp
// leaves that parse out of the check; the suppression stays for any other path into it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\nleak:libfontconfig.so\n"; }
