// QzWinProc.cpp: the main window's procedure (see the header).
//
// Rules:
// - In user-window mode the user's own procedure runs first and its result is returned
//   instead of the default procedure's; the user message callback sees every message.
// - The window going away ends everything: WM_DESTROY posts the quit and sets the quit
//   flag. WM_CLOSE destroys the window unless the application keeps it (the end sequence
//   always destroys it).
// - Dragging the frame keeps the screen mode's aspect; the window scale follows the new
//   client width.
// - A display change the library cannot follow (no recovery handler, a 24-bit desktop,
//   a smaller desktop, an 8-bit desktop under another screen depth) closes the window,
//   once; so does losing a changed full-screen display without a recovery handler.
#include "QzWinProc.h"

#include <platform/gdi.h>

#include "Qz3DTexture.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsMovie.h"
#include "QzGraphicsRecovery.h"
#include "QzGraphicsSystem.h"
#include "QzInputKey.h"
#include "QzInput.h"
#include "QzSoundMusic.h"
#include "QzWinToolbar.h"
#include "QzWinMenu.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"
#include "QzWinNetWork.h"
#include "QzWinState.h"
#include "QzWinWindow.h"

namespace {

// Keys that put a control code into the character buffer.
struct ControlKey {
    int virtualKey;
    int code;
};
const ControlKey kControlKeys[] = {
    {VK_DELETE, 0x10}, {VK_LEFT, 0x1D}, {VK_RIGHT, 0x1C}, {VK_UP, 0x1E}, {VK_DOWN, 0x1F}, {0, 0},
};

constexpr int kMaxDroppedFiles = 1000;
constexpr UINT kSocketMessage = WM_USER + 0x105;

void PostCloseOnce() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.closePosted) return;
    ws.closePosted = 1;
    PostMessageA(ws.mainWindow, WM_CLOSE, 0, 0);
}

// The system-keys hook: on systems before NT the screen saver's running flag keeps the
// system keys away; on NT a hook DLL does it while the window is active.
void SwitchSystemKeys() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.osCode < 0x104) {
        UINT old = 0;
        SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, ws.active, &old, 0);
        return;
    }
    if (ws.active) {
        if (ws.hookHandle != nullptr) return;
        ws.hookDll = LoadLibraryA(ws.hookDllName[0] != '\0' ? ws.hookDllName : "Tapwire.dll");
        if (ws.hookDll == nullptr) return;
        ws.hookFunction = GetProcAddress(ws.hookDll, "SetTapwireDll");
        if (ws.hookFunction != nullptr) {
            // Through void (*)(), the type that converts to any other function type quietly.
            auto setHook = reinterpret_cast<HHOOK (*)(HWND)>(reinterpret_cast<void (*)()>(ws.hookFunction));
            ws.hookHandle = setHook(ws.mainWindow);
        }
        // Without a hook the library is of no use: it is freed now, as every activation
        // loads it again.
        if (ws.hookHandle == nullptr) {
            FreeLibrary(ws.hookDll);
            ws.hookDll = nullptr;
            ws.hookFunction = nullptr;
        }
    } else if (ws.hookHandle != nullptr) {
        UnhookWindowsHookEx(ws.hookHandle);
        ws.hookHandle = nullptr;
        FreeLibrary(ws.hookDll);
        ws.hookDll = nullptr;
    }
}

void HandleActivate(HWND window, WPARAM wParam) {
    WindowSystemState& ws = g_windowSystem;
    ws.active = LOWORD(wParam) != WA_INACTIVE ? 1 : 0;
    if (ws.windowBeingCreated) return;
    if (ws.active) {
        RestoreAllSurface2D();
        G_D3D_RestoreAllTextures();
        if (!ws.windowMode && ws.deviceLostWhileInactive && ws.libraryInitialized) {
            RebuildGraphicsDevice();
            ws.deviceLostWhileInactive = 0;
        } else {
            PlayAllGraphMovies();
        }
        ReacquireInputDevices();
    } else {
        if (!ws.windowMode && GetDisplayModeChangedFlag() && GetDirectDrawObject() != nullptr) {
            if (!HasGraphRecoveryHandler() && !ws.userWindowMode) {
                WriteLog("復元関数が登録されていないため終了します\n");
                PostCloseOnce();
                return;
            }
            ws.deviceLostWhileInactive = 1;
        } else {
            PauseAllGraphMovies();
        }
        HDC dc = GetDC(window);
        DrawInactiveBackground(dc);
        ReleaseDC(window, dc);
    }
    ApplyPadVibration();
    if (ws.activationCallback) ws.activationCallback(ws.active, ws.activationCallbackArg);
    if (ws.systemKeysOff) SwitchSystemKeys();
}

void HandleDisplayChange(WPARAM wParam, LPARAM lParam) {
    WindowSystemState& ws = g_windowSystem;
    int depth = static_cast<int>(wParam);
    int width = LOWORD(lParam), height = HIWORD(lParam);
    if (!ws.windowMode && ws.deviceLostWhileInactive) {
        ws.displayChangeSeen = 1;
        return;
    }
    int screenWidth = 0, screenHeight = 0, screenDepth = 0;
    GetScreenModeInfo(&screenWidth, &screenHeight, &screenDepth);
    bool differs = width != screenWidth || height != screenHeight || depth != screenDepth;
    if (!ws.windowMode || ws.modeChangeInProgress || !differs) {
        ws.displayChangeSeen = 1;
        return;
    }
    if (HasGraphRecoveryHandler() && depth != 24 && (depth == screenDepth || depth != 8) && width >= screenWidth &&
        height >= screenHeight) {
        ReleaseAllMovieStreams();
        ReadDisplayPixelFormat();
        RebuildGraphicsDevice();
        ReopenMovieStreams();
        ws.displayChangeSeen = 1;
        return;
    }
    WriteLog("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
    WriteLog("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
    PostCloseOnce();
}

void HandleCommand(WPARAM wParam) {
    WindowSystemState& ws = g_windowSystem;
    int id = LOWORD(wParam);
    if (ws.toolbar.inUse && id >= 0x500) {
        int button = FindToolbarButton(id - 0x500);
        if (button >= 0 && button < ws.toolbar.buttonCount && ws.toolbar.buttons[button].state == 0)
            ws.toolbar.buttons[button].clicked = 1;
        return;
    }
    if (!ws.menu.inUse) return;
    if (ws.menu.commandCallback) ws.menu.commandCallback(static_cast<uint16_t>(id));
    if (ws.menu.nameCallback) {
        char name[128] = "";
        LookUpMenuItemName(id, name);
        ws.menu.nameCallback(name, id);
    }
    for (int i = 0; i < ws.menu.selectedCount; i++)
        if (ws.menu.selected[i] == id) return;
    if (ws.menu.selectedCount < 64) ws.menu.selected[ws.menu.selectedCount++] = id;
}

// The dragged rectangle keeps the screen mode's aspect: an edge drag sets the other
// side; a corner follows whichever side grew relatively more.
void KeepAspect(HWND window, WPARAM edge, RECT* rect) {
    WindowSystemState& ws = g_windowSystem;
    RECT outer, client;
    if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client)) return;
    int borderWidth = (outer.right - outer.left) - client.right;
    int borderHeight = (outer.bottom - outer.top) - client.bottom;
    int width = (rect->right - rect->left) - borderWidth;
    int height = (rect->bottom - rect->top) - borderHeight;
    int screenWidth = 640, screenHeight = 480;
    GetScreenSize(&screenWidth, &screenHeight);
    bool heightFromWidth;
    switch (edge) {
    case WMSZ_LEFT:
    case WMSZ_RIGHT: heightFromWidth = true; break;
    case WMSZ_TOP:
    case WMSZ_BOTTOM: heightFromWidth = false; break;
    default:
        heightFromWidth = static_cast<double>(width) / screenWidth > static_cast<double>(height) / screenHeight;
        break;
    }
    if (heightFromWidth)
        rect->bottom = rect->top + borderHeight + width * screenHeight / screenWidth;
    else
        rect->right = rect->left + borderWidth + height * screenWidth / screenHeight;
    ws.windowScale = static_cast<double>((rect->right - rect->left) - borderWidth) / screenWidth;
}

void StoreDroppedFiles(HDROP drop) {
    WindowSystemState& ws = g_windowSystem;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    for (UINT i = 0; i < count && ws.droppedFileCount < kMaxDroppedFiles; i++) {
        UINT length = DragQueryFileA(drop, i, nullptr, 0);
        auto* name = static_cast<char*>(AllocMemory(static_cast<int>(length) + 1, "QzWin", 3517));
        if (name == nullptr) break;
        DragQueryFileA(drop, i, name, length + 1);
        ws.droppedFiles[ws.droppedFileCount++] = name;
    }
    DragFinish(drop);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowSystemState& ws = g_windowSystem;
    const bool user = ws.userWindowMode != 0;
    LRESULT own = 0;
    if (user && ws.userWindowProc) own = CallWindowProcA(ws.userWindowProc, window, message, wParam, lParam);
    if (ws.userMessageCallback) ws.userMessageCallback(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        if (ws.windowRegion) SetWindowRgn(window, ws.windowRegion, FALSE);
        break;
    case WM_DESTROY:
        if (user) break;
        WriteLog("ウインドウが破棄されようとしています\n");
        ws.windowDestroyed = 1;
        WriteLog("ソフトを終了する準備が整いました\n");
        if (!ws.noQuitMessage) PostQuitMessage(0);
        SetQuitFlag();
        break;
    case WM_CLOSE:
        if (user) break;
        WriteLog("ウインドウを閉じようとしています\n");
        if (!ws.keepWindowOnClose || ws.endingFlag == 1) DestroyWindow(window);
        if (ws.endingFlag == 0) ws.endingFlag = 4;
        return 0;
    case WM_MOVE:
        if (ws.windowMode && !ws.modeChangeInProgress) HandleWindowMove(static_cast<int>(lParam));
        break;
    case WM_SIZE:
        if (wParam == SIZE_MAXIMIZED) {
            if (ws.modeSwitchAllowed && !ws.modeChangeInProgress && !ws.windowBeingCreated && ws.windowMode == 1)
                ws.modeSwitchRequest = 1;
        } else {
            FitWindowToScreenSize();
        }
        if (ws.toolbar.inUse && ws.toolbar.window) SendMessageA(ws.toolbar.window, WM_SIZE, wParam, lParam);
        break;
    case WM_ACTIVATE: HandleActivate(window, wParam); break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (!ws.active && ws.backgroundImage.pixels != nullptr && !ws.runAlways)
            DrawInactiveBackground(dc);
        else if (!ws.libraryInitialized && ws.windowRegion == nullptr)
            FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        break;
    }
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        if (ws.cursorShown == 0) {
            SetCursor(nullptr);
            while (ShowCursor(FALSE) >= 0) {
            }
        }
        break;
    case WM_DISPLAYCHANGE: HandleDisplayChange(wParam, lParam); break;
    case WM_KEYDOWN:
        if (!IsInputCharBufferFull()) {
            for (const ControlKey* key = kControlKeys; key->virtualKey != 0; ++key)
                if (static_cast<WPARAM>(key->virtualKey) == wParam) {
                    PushInputChar(key->code);
                    break;
                }
        }
        break;
    case WM_CHAR: PushInputChar(static_cast<int>(wParam)); break;
    case WM_SYSCHAR:
        if (wParam == '\r' && ws.modeSwitchAllowed) {
            ws.modeSwitchRequest = 1;
            return 0;
        }
        break;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY: return HandleImeMessage(window, message, wParam, lParam);
    case WM_COMMAND: HandleCommand(wParam); break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE) return 1;  // the screen saver never starts
        if ((wParam & 0xFFF0) == SC_CLOSE && ws.systemKeysOff) return 0;
        break;
    case WM_MOUSEWHEEL: ws.mouseWheelCount += static_cast<short>(HIWORD(wParam)) > 0 ? 1 : -1; break;
    case WM_SIZING:
        if (ws.windowMode && !user) KeepAspect(window, wParam, reinterpret_cast<RECT*>(lParam));
        break;
    case WM_MOVING:
        // A full-screen window cannot be dragged.
        if (!ws.windowMode) GetWindowRect(window, reinterpret_cast<RECT*>(lParam));
        break;
    case WM_DROPFILES: StoreDroppedFiles(reinterpret_cast<HDROP>(wParam)); break;
    case MM_MCINOTIFY: HandleMciNotifyOf(static_cast<uint32_t>(lParam)); break;
    case kSocketMessage: return HandleSocketEvent(window, message, wParam, lParam);
    default: break;
    }
    return user ? own : DefWindowProcA(window, message, wParam, lParam);
}

// DrawInactiveBackground lives with the background picture, in QzWinExtras.cpp.
