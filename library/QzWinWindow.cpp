// QzWinWindow.cpp: the window system (see the header). Main thread under the library
// lock.
//
// Rules:
// - Start-up clears WindowSystemState but keeps what was set before it: the settings,
//   the user's window, the system information and what the timers stored, the log's
//   state, the start-up directory, the title, the COM flag, the tracker and the lock.
// - The window-mode style is the style table's row plus WS_MAXIMIZEBOX when mode
//   switching is allowed, WS_VISIBLE once the window has been fitted or switched, and
//   WS_THICKFRAME when resizable; the ex-style adds WS_EX_TRANSPARENT for a hidden window.
// - The client area is the screen mode's size times the window scale (truncated), plus
//   the toolbar's height.
#include "QzWinWindow.h"

#include <cstddef>
#include <cstring>

#include <platform/gdi.h>
#include <platform/winmm.h>

#include "QzDrawScreen.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsMask.h"
#include "QzGraphicsSystem.h"
#include "QzInputKey.h"
#include "QzUseCLib.h"
#include "QzWinExtras.h"
#include "QzWinToolbar.h"
#include "QzWinMenu.h"
#include "QzWinLog.h"
#include "QzWinMessage.h"
#include "QzWinProc.h"
#include "QzWinTime.h"

const char kMainWindowClass[] = "QzLib";

namespace {

// Style and ex-style per style index: window mode, then full screen.
struct StyleRow {
    DWORD windowStyle;
    DWORD windowExStyle;
    DWORD fullScreenStyle;
    DWORD fullScreenExStyle;
};

const StyleRow kStyles[7] = {
    {0x80CA0000u, 0x300, 0x80000000u, 0x8},  // popup, caption, system menu, minimise box; edges
    {0x80080000u, 0x300, 0x80000000u, 0x8},  // popup, system menu; edges
    {0x80080000u, 0x0, 0x80000000u, 0x8},
    {0x80CA0000u, 0x80, 0x80000000u, 0x8},   // tool window
    {0x80080000u, 0x80, 0x80000000u, 0x8},
    {0x80C80000u, 0x100, 0x0, 0x0},          // popup, caption, system menu; window edge
    {0x80CA0000u, 0x0, 0x0, 0x0},
};

const StyleRow& CurrentRow() {
    int index = g_windowSystem.windowStyleIndex;
    return kStyles[(index >= 0 && index <= 6) ? index : 0];
}

// The client size the screen mode asks for at the current scale.
void ClientSizeForScreen(int* width, int* height) {
    int screenWidth = 0, screenHeight = 0;
    GetScreenSize(&screenWidth, &screenHeight);
    double scale = GetWindowScale();
    *width = static_cast<int>(screenWidth * scale);
    *height = static_cast<int>(screenHeight * scale);
}

// The outer rectangle for a client of this size, centred as the window system centres
// it: each side moves by (desktop size - outer size) / 2.
void CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int* x, int* y, int* width,
                       int* height) {
    const WindowSystemState& ws = g_windowSystem;
    RECT rect = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    *x = rect.left + (ws.desktopWidth - *width) / 2;
    *y = rect.top + (ws.desktopHeight - *height) / 2;
    if (ws.windowPosSet) {
        *x = ws.windowPosX;
        *y = ws.windowPosY;
    }
}

void ReadClientRectOnDesktop(HWND window, RECT* rect) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    *rect = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

// Step 1 of the start-up: clears the record but what it keeps. The lock is the last
// field and is never touched; everything before it is copied aside and put back field by
// field.
static_assert(sizeof(WindowSystemState) - (offsetof(WindowSystemState, lock) + sizeof(LibraryLockState)) <
                  alignof(WindowSystemState),
              "the lock is the record's last field, which the start-up's clear never touches");

void ClearRecordKeepingSettings() {
    WindowSystemState& ws = g_windowSystem;
    static WindowSystemState kept;
    constexpr size_t kClearedBytes = offsetof(WindowSystemState, lock);
    std::memcpy(static_cast<void*>(&kept), &ws, kClearedBytes);
    std::memset(static_cast<void*>(&ws), 0, kClearedBytes);

    ws.systemInfo = kept.systemInfo;
    // The user's own window, when the application made it.
    ws.userWindowMode = kept.userWindowMode;
    if (kept.userWindowMode) ws.mainWindow = kept.mainWindow;
    ws.windowStyleIndex = kept.windowStyleIndex;
    ws.windowMode = kept.windowMode;
    ws.modeSwitchAllowed = kept.modeSwitchAllowed;
    ws.modeSwitchCallback = kept.modeSwitchCallback;
    ws.modeSwitchCallbackArg = kept.modeSwitchCallbackArg;
    ws.keepWindowOnClose = kept.keepWindowOnClose;
    ws.noQuitMessage = kept.noQuitMessage;
    ws.mouseVisible = kept.mouseVisible;
    // COM comes up before the window; its flag must outlive the clear, or the end would
    // never release it.
    ws.comInitialized = kept.comInitialized;
    ws.doubleStartAllowed = kept.doubleStartAllowed;
    ws.archivesOff = kept.archivesOff;
    ws.logIndent = kept.logIndent;
    ws.logLineOpen = kept.logLineOpen;
    ws.logNoTimePrefix = kept.logNoTimePrefix;
    ws.logFailureTold = kept.logFailureTold;
    ws.activationCallback = kept.activationCallback;
    ws.activationCallbackArg = kept.activationCallbackArg;
    std::memcpy(ws.startupDir, kept.startupDir, sizeof ws.startupDir);
    std::memcpy(ws.windowTitle, kept.windowTitle, sizeof ws.windowTitle);
    ws.logOff = kept.logOff;
    ws.logDateNamed = kept.logDateNamed;
    std::memcpy(ws.logFileName, kept.logFileName, sizeof ws.logFileName);
    ws.runAlways = kept.runAlways;
    ws.iconId = kept.iconId;
    ws.acceleratorTable = kept.acceleratorTable;
    ws.menu.handle = kept.menu.handle;
    ws.menu.inUse = kept.menu.inUse;
    ws.menu.commandCallback = kept.menu.commandCallback;
    ws.menu.nameCallback = kept.menu.nameCallback;
    ws.menu.hidden = kept.menu.hidden;
    ws.menu.alwaysShown = kept.menu.alwaysShown;
    ws.resizable = kept.resizable;
    ws.windowScale = kept.windowScale;
    ws.hiddenWindow = kept.hiddenWindow;
    ws.systemKeysOff = kept.systemKeysOff;
    std::memcpy(ws.hookDllName, kept.hookDllName, sizeof ws.hookDllName);
    ws.directXVersion = kept.directXVersion;
    ws.osCode = kept.osCode;
    ws.mmxFlag = kept.mmxFlag;
    ws.timeStampCounterFlag = kept.timeStampCounterFlag;
    ws.timeStampTicksPerSecond = kept.timeStampTicksPerSecond;
    ws.userMessageCallback = kept.userMessageCallback;
    ws.logStartTime = kept.logStartTime;
    ws.windowPosX = kept.windowPosX;
    ws.windowPosY = kept.windowPosY;
    ws.windowPosSet = kept.windowPosSet;
    ws.graphicsOff = kept.graphicsOff;
    ws.tracker = kept.tracker;
}

// Step 19: which clock changes more often while the pump runs.
void MeasureTimers() {
    WindowSystemState& ws = g_windowSystem;
    LARGE_INTEGER frequency;
    frequency.QuadPart = 0;
    QueryPerformanceFrequency(&frequency);
    ws.performanceFrequency = frequency.QuadPart;
    ws.usePerformanceCounter = frequency.QuadPart != 0 ? 1 : 0;
    TIMECAPS caps = {1, 1000};
    timeGetDevCaps(&caps, sizeof caps);
    timeBeginPeriod(caps.wPeriodMin);
    if (!ws.usePerformanceCounter) return;

    WriteLog("タイマーの精度を検査します\n");
    int counterChanges = 0, timerChanges = 0;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    LONGLONG lastCounter = counter.QuadPart;
    DWORD start = timeGetTime();
    DWORD lastTimer = start;
    while (ProcessMessage() == 0 && counterChanges < 60 && timerChanges < 60) {
        QueryPerformanceCounter(&counter);
        if (counter.QuadPart != lastCounter) {
            ++counterChanges;
            lastCounter = counter.QuadPart;
        }
        DWORD now = timeGetTime();
        if (now != lastTimer) {
            ++timerChanges;
            lastTimer = now;
        }
        if (now - start >= 1000) break;
    }
    WriteLogFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", timerChanges,
                   counterChanges);
    if (counterChanges < timerChanges) {
        WriteLogFormat("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", static_cast<int>(caps.wPeriodMin));
        ws.usePerformanceCounter = 0;
    } else {
        WriteLogFormat("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                       static_cast<double>(ws.performanceFrequency) / 1000.0);
    }
}

// Steps 10 and 11: the class and the window. false when either fails (logged).
bool CreateMainWindow(int screenWidth, int screenHeight) {
    WindowSystemState& ws = g_windowSystem;
    ws.windowBeingCreated = 1;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = ws.moduleInstance;
    wc.hIcon = LoadIconA(ws.moduleInstance, MAKEINTRESOURCEA(ws.iconId != 0 ? (ws.iconId & 0xFFFF) : 32512));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = kMainWindowClass;
    WriteLog("ウインドウクラスを登録します... ");
    if (RegisterClassExA(&wc) == 0) {
        WriteLog("ウインドウクラスの登録に失敗しました\n");
        return false;
    }
    WriteLog("登録に成功しました\n");
    if (ws.windowTitle[0] == '\0') std::strcpy(ws.windowTitle, kMainWindowClass);

    HWND window;
    if (ws.windowMode) {
        WriteLog("ウインドウモード起動用のウインドウを作成します\n");
        ws.mouseVisible = 1;
        int clientWidth, clientHeight, x, y, width, height;
        ClientSizeForScreen(&clientWidth, &clientHeight);
        CentredWindowRect(clientWidth, clientHeight, GetWindowModeStyle(), GetWindowModeExStyle(), &x, &y, &width,
                          &height);
        window = CreateWindowExA(GetWindowModeExStyle(), kMainWindowClass, ws.windowTitle, GetWindowModeStyle(), x,
                                 y, width, height, nullptr, ws.menu.inUse ? ws.menu.handle : nullptr,
                                 ws.moduleInstance, nullptr);
    } else {
        WriteLog("フルスクリーンモード用のウインドウを作成します\n");
        ws.mouseVisible = 0;
        window = CreateWindowExA(GetFullScreenExStyle(), kMainWindowClass, ws.windowTitle, GetFullScreenStyle(), 0, 0,
                                 screenWidth, screenHeight, nullptr, nullptr, ws.moduleInstance, nullptr);
    }
    if (window == nullptr) {
        WriteLog("ウインドウの作成に失敗しました\n");
        // Nothing will end this window system, so the class goes now: a later start-up
        // in the same process can register it again.
        UnregisterClassA(kMainWindowClass, ws.moduleInstance);
        return false;
    }
    ws.mainWindow = window;
    if (!ws.hiddenWindow) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    } else {
        ShowWindow(window, SW_HIDE);
    }
    return true;
}

}  // namespace

// ---- styles -------------------------------------------------------------------------------------

DWORD GetWindowModeStyle() {
    const WindowSystemState& ws = g_windowSystem;
    DWORD style = CurrentRow().windowStyle;
    if (ws.modeSwitchAllowed) style |= WS_MAXIMIZEBOX;
    if (ws.modeChanged) style |= WS_VISIBLE;
    if (ws.resizable) style |= WS_THICKFRAME;
    return style;
}

DWORD GetWindowModeExStyle() {
    DWORD exStyle = CurrentRow().windowExStyle;
    if (g_windowSystem.hiddenWindow) exStyle |= WS_EX_TRANSPARENT;
    return exStyle;
}

DWORD GetFullScreenStyle() { return CurrentRow().fullScreenStyle; }
DWORD GetFullScreenExStyle() { return CurrentRow().fullScreenExStyle; }

// ---- start-up and end ------------------------------------------------------------------------------

int InitializeWindowSystem() {
    WindowSystemState& ws = g_windowSystem;
    ClearRecordKeepingSettings();
    ws.moduleInstance = GetModuleHandleA(nullptr);
    ws.mainThreadId = GetCurrentThreadId();

    WriteLog("ソフトの２重起動検査... ");
    if (FindWindowA(kMainWindowClass, nullptr) != nullptr) {
        if (!ws.doubleStartAllowed) {
            WriteLog("２重起動されています、ソフトを終了します\n");
            return -1;
        }
        WriteLog("２重起動されていますが続行します\n");
    } else {
        WriteLog("２重起動はされていませんでした\n");
    }

    MEMORYSTATUS memory = {};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    WriteLogFormat("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", memory.dwTotalPhys / 1048576.0,
                   memory.dwAvailPhys / 1048576.0);
    ws.systemInfo.totalPhysicalMemory = memory.dwTotalPhys;
    ws.systemInfo.availablePhysicalMemory = memory.dwAvailPhys;

    if (ws.menu.inUse) EnumMenuItems(ws.menu.handle);

    ws.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    ws.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    HDC desktop = GetDC(nullptr);
    ws.desktopColorBitDepth = GetDeviceCaps(desktop, PLANES) * GetDeviceCaps(desktop, BITSPIXEL);
    ReleaseDC(nullptr, desktop);

    int screenWidth = 0, screenHeight = 0;
    GetScreenSize(&screenWidth, &screenHeight);

    WriteLog("ソフトの実行優先レベルを上げました\n");

    if (ws.userWindowMode) {
        ws.userWindowProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(ws.mainWindow, GWLP_WNDPROC));
    } else if (!CreateMainWindow(screenWidth, screenHeight)) {
        return -1;
    }

    ws.closePosted = 0;
    ws.windowDestroyed = 0;
    ws.active = 1;
    if (!ws.windowMode) {
        WriteLog("カーソルを不可視にしました\n");
        SetCursor(nullptr);
    }
    WriteLog("ＩＭＥを無効にしました\n");
    WINNLSEnableIME(ws.mainWindow, FALSE);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
    if (ws.windowMode) ReadClientRectOnDesktop(ws.mainWindow, &ws.clientRect);
    ws.codePageMode = GetOEMCP() == 949 ? 2 : 1;
    UpdateCursorVisibility(ws.mouseVisible);
    ws.endingFlag = 0;

    MeasureTimers();
    SeedMersenneTwister(static_cast<uint32_t>(GetMillisecondTime(0)));

    if (!ws.userWindowMode) {
        if (!ws.hiddenWindow) BringWindowToTop(ws.mainWindow);
        int start = GetMillisecondTime(0);
        while (MillisecondsSince(start) < 200) ProcessMessage();
        if (!ws.hiddenWindow) FitWindowToScreenSize();
        ws.windowBeingCreated = 0;
    }

    ws.messageThread = CreateThread(nullptr, 0, MessageThreadProc, nullptr, 0, &ws.messageThreadId);
    if (ws.messageThread == nullptr)
        WriteLog("ProcessMessage をひたすら呼びつづけるスレッドの立ち上げに失敗しました\n");
    return 0;
}

int TerminateWindowSystem() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.mainWindow == nullptr) return 0;

    WINNLSEnableIME(ws.mainWindow, TRUE);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
    UpdateCursorVisibility(1);

    if (ws.hookHandle) {
        UnhookWindowsHookEx(ws.hookHandle);
        ws.hookHandle = nullptr;
    }
    if (ws.secondHookHandle) {
        UnhookWindowsHookEx(ws.secondHookHandle);
        ws.secondHookHandle = nullptr;
    }
    if (ws.hookDll) {
        FreeLibrary(ws.hookDll);
        ws.hookDll = nullptr;
    }

    SetWindowRegionFromFile(nullptr);
    SetMenuEnabled(0);
    BuildToolbar(nullptr, 0);

    if (ws.userWindowMode) {
        SetWindowLongPtrA(ws.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ws.userWindowProc));
        SetQuitFlag();
    } else {
        if (!ws.closePosted) {
            ws.closePosted = 1;
            PostMessageA(ws.mainWindow, WM_CLOSE, 0, 0);
        }
        while (ProcessMessage() == 0) {
        }
        UnregisterClassA(kMainWindowClass, ws.moduleInstance);
    }

    DeleteAllTextInputData();
    if (ws.backgroundImage.pixels != nullptr) {
        FreeGraphImage(&ws.backgroundImage);
        if (ws.backgroundGraph > 0) DeleteOneGraph(ws.backgroundGraph, 0);
        ws.backgroundGraph = 0;
    }
    FreeDroppedFileNames();

    if (ws.messageThread != nullptr) {
        while (__atomic_load_n(&ws.messageThreadFinished, __ATOMIC_ACQUIRE) == 0) Sleep(1);
        CloseHandle(ws.messageThread);
        ws.messageThread = nullptr;
    }
    ws.mainWindow = nullptr;
    return 0;
}

// ---- modes, styles, caption, size ------------------------------------------------------------------

int ChangeWindowMode(int flag) {
    WindowSystemState& ws = g_windowSystem;
    WriteLog("ChangeWindowMode実行 \n");
    if (flag == ws.windowMode) return 0;
    ws.modeChanged = 1;
    SetWindowModeFlag(flag);
    if (ws.mainWindow == nullptr || ws.userWindowMode) return 0;

    ws.modeChangeInProgress = 1;
    ws.displayChangeSeen = 0;
    ApplyWindowStyle();
    int result = ChangeScreenMode(-1, -1, -1, 1, -1);
    // The display announces its new mode with WM_DISPLAYCHANGE; when the mode did not
    // really change none comes, so the wait also ends after two seconds.
    int start = GetMillisecondTime(0);
    while (ProcessMessage() == 0 && !ws.displayChangeSeen && MillisecondsSince(start) < 2000) {
    }
    ws.modeChangeInProgress = 0;
    return result;
}

int SetWindowModeFlag(int flag) {
    WindowSystemState& ws = g_windowSystem;
    ws.windowMode = flag;
    WriteLog(flag ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    if (ws.menu.inUse && ws.mainWindow != nullptr) SetMenu(ws.mainWindow, flag ? ws.menu.handle : nullptr);
    return 0;
}

int ApplyWindowStyle() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.mainWindow == nullptr || ws.userWindowMode) return 0;
    if (ws.windowMode) {
        WriteLog("ウインドウスタイルをウインドウモード用に変更します... ");
        DWORD style = GetWindowModeStyle(), exStyle = GetWindowModeExStyle();
        SetWindowLongA(ws.mainWindow, GWL_EXSTYLE, static_cast<LONG>(exStyle));
        SetWindowLongA(ws.mainWindow, GWL_STYLE, static_cast<LONG>(style));
        int clientWidth, clientHeight, x, y, width, height;
        ClientSizeForScreen(&clientWidth, &clientHeight);
        clientHeight += MeasureToolbarHeight();
        CentredWindowRect(clientWidth, clientHeight, style, exStyle, &x, &y, &width, &height);
        SetWindowPos(ws.mainWindow, HWND_TOP, x, y, width, height, 0);
        ReadClientRectOnDesktop(ws.mainWindow, &ws.clientRect);
        // A window larger than the desktop keeps its client area's corner on screen.
        if ((ws.clientRect.left < 0 || ws.clientRect.top < 0) && !ws.windowPosSet) {
            SetWindowPos(ws.mainWindow, HWND_TOP, x - ws.clientRect.left, y - ws.clientRect.top, 0, 0, SWP_NOSIZE);
            ReadClientRectOnDesktop(ws.mainWindow, &ws.clientRect);
        }
        UpdateCursorVisibility(1);
        WriteLog("完了\n");
    } else {
        WriteLog("ウインドウスタイルをフルスクリーンモード用に変更します... ");
        SetWindowLongA(ws.mainWindow, GWL_EXSTYLE, static_cast<LONG>(GetFullScreenExStyle()));
        SetWindowLongA(ws.mainWindow, GWL_STYLE, static_cast<LONG>(GetFullScreenStyle()));
        int screenWidth = 0, screenHeight = 0;
        GetScreenSize(&screenWidth, &screenHeight);
        ws.clientRect = {0, 0, screenWidth, screenHeight};
        SetWindowPos(ws.mainWindow, HWND_TOP, 0, 0, screenWidth, screenHeight, SWP_NOREDRAW);
        UpdateCursorVisibility(0);
        WriteLog("完了\n");
    }
    SetActiveWindow(ws.mainWindow);
    PostMessageA(ws.mainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(ws.mainWindow), 0);
    return 0;
}

int SetWindowCaption(const char* text) {
    WindowSystemState& ws = g_windowSystem;
    if (text == nullptr) text = "";
    // The title buffer is 256 bytes: keep at most 255, never half a character.
    size_t length = 0;
    while (text[length] != '\0') {
        size_t step = (IsShiftJisLeadByte(static_cast<unsigned char>(text[length])) && text[length + 1] != '\0') ? 2 : 1;
        if (length + step > sizeof ws.windowTitle - 1) break;
        length += step;
    }
    std::memcpy(ws.windowTitle, text, length);
    ws.windowTitle[length] = '\0';
    if (ws.mainWindow != nullptr) SetWindowTextA(ws.mainWindow, ws.windowTitle);
    return 0;
}

int SetWindowStyleIndex(int index) {
    WindowSystemState& ws = g_windowSystem;
    if (index < 0 || index > 6) return -1;
    ws.windowStyleIndex = index;
    if (ws.windowMode) ApplyWindowStyle();
    if (ws.mainWindow != nullptr) UpdateWindow(ws.mainWindow);
    return 0;
}

int SetWindowResizableFlag(int flag) {
    WindowSystemState& ws = g_windowSystem;
    if (flag == ws.resizable) return 0;
    ws.resizable = flag;
    if (ws.windowMode == 1) ApplyWindowStyle();
    return 0;
}

int FitWindowToScreenSize() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.userWindowMode) return 0;
    RECT client, outer;
    if (!GetClientRect(ws.mainWindow, &client)) return 0;
    GetWindowRect(ws.mainWindow, &outer);
    int clientWidth, clientHeight;
    ClientSizeForScreen(&clientWidth, &clientHeight);
    clientHeight += MeasureToolbarHeight();
    int borderWidth = (outer.right - outer.left) - client.right;
    int borderHeight = (outer.bottom - outer.top) - client.bottom;
    MoveWindow(ws.mainWindow, outer.left, outer.top, clientWidth + borderWidth, clientHeight + borderHeight, TRUE);
    if (ws.windowMode && ws.modeChanged == 0) {
        ws.modeChanged = 1;
        ApplyWindowStyle();
    }
    return 0;
}

int HandleWindowMove(int lParam) {
    WindowSystemState& ws = g_windowSystem;
    RECT client;
    if (ws.userWindowMode || !GetClientRect(ws.mainWindow, &client)) return 0;
    ws.clientRect.left = static_cast<short>(LOWORD(lParam));
    ws.clientRect.top = static_cast<short>(HIWORD(lParam));
    ws.clientRect.right = ws.clientRect.left + client.right;
    ws.clientRect.bottom = ws.clientRect.top + client.bottom;
    if (g_drawState.drawScreen == kDrawTargetFront) {
        int masked = IsMaskDrawEnabled();
        EnableMaskDraw(0);
        SetDrawOriginRect(&ws.clientRect);
        EnableMaskDraw(masked);
    }
    const RECT& area = g_drawState.drawArea;
    SetDrawClipArea(area.left, area.top, area.right, area.bottom);
    return 0;
}

// ---- readers ---------------------------------------------------------------------------------------

HWND GetMainWindowHwnd() { return g_windowSystem.mainWindow; }
int IsWindowMode() { return g_windowSystem.windowMode; }
int IsWindowActive() { return g_windowSystem.active; }
int IsMouseVisible() { return g_windowSystem.mouseVisible; }
int IsCloseMessagePosted() { return g_windowSystem.closePosted; }
int HasWindowRegion() { return g_windowSystem.windowRegion != nullptr ? 1 : 0; }

int GetDesktopScreenMode(int* width, int* height, int* colorBitDepth) {
    const WindowSystemState& ws = g_windowSystem;
    if (width) *width = ws.desktopWidth;
    if (height) *height = ws.desktopHeight;
    if (colorBitDepth) *colorBitDepth = ws.desktopColorBitDepth;
    return 0;
}

int GetWindowClientRect(RECT* rect) {
    if (rect == nullptr) return 0;
    *rect = g_windowSystem.clientRect;
    int toolbar = MeasureToolbarHeight();
    rect->top += toolbar;
    rect->bottom += toolbar;
    return 0;
}

double GetWindowScale() {
    WindowSystemState& ws = g_windowSystem;
    if (!(ws.windowScale > 0.0)) ws.windowScale = 1.0;
    return ws.windowScale;
}

int CheckVSyncWaitAllowed() { return 1; }
