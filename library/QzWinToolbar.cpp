// QzWinToolbar.cpp: the toolbar strip (see the header).
//
// Rules:
// - One bitmap holds every button's picture side by side; a new bitmap replaces the old
//   one in the toolbar before the old one is deleted.
// - The library's button records are 20 bytes and the toolbar is told so; they are what
//   the window procedure reads and marks.
// - Building or closing the toolbar changes the client height, so the window is refitted.
#include "QzWinToolbar.h"

#include <platform/commctrl.h>
#include <platform/gdi.h>

#include "QzGraphicsDib.h"
#include "QzWinLog.h"
#include "QzWinState.h"
#include "QzWinWindow.h"

namespace {

constexpr int kSeparatorState = 3;

// The buttons the table really holds, whatever the count says.
int HeldButtons() {
    const ToolbarState& tb = g_windowSystem.toolbar;
    const int capacity = static_cast<int>(sizeof tb.buttons / sizeof tb.buttons[0]);
    return tb.buttonCount < 0 ? 0 : tb.buttonCount > capacity ? capacity : tb.buttonCount;
}

void CloseToolbar() {
    ToolbarState& tb = g_windowSystem.toolbar;
    if (tb.window != nullptr) DestroyWindow(tb.window);
    if (tb.bitmap != nullptr) DeleteObject(tb.bitmap);
    tb.window = nullptr;
    tb.bitmap = nullptr;
    tb.buttonCount = 0;
    tb.inUse = 0;
}

// A new toolbar window holding the bitmap; false (logged) when it cannot be made.
bool OpenToolbar(HBITMAP bitmap, int buttonCount) {
    WindowSystemState& ws = g_windowSystem;
    InitCommonControls();
    HWND window = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, ws.mainWindow,
                                  nullptr, ws.moduleInstance, nullptr);
    if (window == nullptr) {
        WriteLog("ツールバーウインドウの作成に失敗しました\n");
        return false;
    }
    SendMessageA(window, TB_BUTTONSTRUCTSIZE, sizeof(ToolbarButton), 0);
    TBADDBITMAP add = {nullptr, reinterpret_cast<UINT_PTR>(bitmap)};
    SendMessageA(window, TB_ADDBITMAP, static_cast<WPARAM>(buttonCount), reinterpret_cast<LPARAM>(&add));
    ws.toolbar.window = window;
    ws.toolbar.bitmap = bitmap;
    ws.toolbar.buttonCount = 0;
    ws.toolbar.inUse = 1;
    return true;
}

void ReplaceToolbarBitmap(HBITMAP bitmap, int buttonCount) {
    ToolbarState& tb = g_windowSystem.toolbar;
    TBREPLACEBITMAP replace = {nullptr, reinterpret_cast<UINT_PTR>(tb.bitmap), nullptr,
                               reinterpret_cast<UINT_PTR>(bitmap), buttonCount};
    SendMessageA(tb.window, TB_REPLACEBITMAP, 0, reinterpret_cast<LPARAM>(&replace));
    if (tb.bitmap != nullptr) DeleteObject(tb.bitmap);
    tb.bitmap = bitmap;
}

}  // namespace

int BuildToolbar(const char* bitmapFile, int buttonCount) {
    WindowSystemState& ws = g_windowSystem;
    if (bitmapFile == nullptr) {
        // Closing works in full screen too, so the end of the window never leaves one.
        if (!ws.toolbar.inUse && ws.toolbar.bitmap == nullptr) return 0;
        ClearToolbarButtons();
        CloseToolbar();
        if (ws.mainWindow != nullptr) FitWindowToScreenSize();
        return 0;
    }
    if (!ws.windowMode) return -1;
    // Each button takes width / count of the bitmap: no count, no buttons.
    if (buttonCount < 1) return -1;
    ClearToolbarButtons();
    HBITMAP bitmap = CreateDIBGraphFromFile(bitmapFile, 0, nullptr);
    if (bitmap == nullptr) {
        WriteLog("ツールバーのボタン用のビットマップファイルの読み込みに失敗しました\n");
        return -1;
    }
    if (ws.toolbar.inUse) {
        ReplaceToolbarBitmap(bitmap, buttonCount);
    } else if (!OpenToolbar(bitmap, buttonCount)) {
        DeleteObject(bitmap);
        return -1;
    }
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    SendMessageA(ws.toolbar.window, TB_SETBITMAPSIZE, 0, MAKELONG(info.bmWidth / buttonCount, info.bmHeight));
    SetWindowStyleIndex(6);
    FitWindowToScreenSize();
    return 0;
}

int ClearToolbarButtons() {
    ToolbarState& tb = g_windowSystem.toolbar;
    if (!tb.inUse) return -1;
    for (int i = HeldButtons(); i > 0; i--) SendMessageA(tb.window, TB_DELETEBUTTON, 0, 0);
    tb.buttonCount = 0;
    return 0;
}

int FindToolbarButton(int commandId) {
    const ToolbarState& tb = g_windowSystem.toolbar;
    if (!tb.inUse) return -1;
    for (int i = 0; i < HeldButtons(); i++)
        if (tb.buttons[i].state != kSeparatorState && tb.buttons[i].commandId == commandId) return i;
    return -1;
}

int MeasureToolbarHeight() {
    const ToolbarState& tb = g_windowSystem.toolbar;
    RECT rect;
    if (!tb.inUse || tb.window == nullptr || !GetWindowRect(tb.window, &rect)) return 0;
    return rect.bottom - rect.top;
}
