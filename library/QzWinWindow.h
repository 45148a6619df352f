// QzWinWindow.h: the window system: the main window of class "QzLib", its creation in
// window mode or full screen, its styles and size, the switch between the two modes,
// the caption and the end of the window; the readers of WindowSystemState.
// Main thread under the library lock; the message thread calls none of these.
#pragma once

#include <platform/win32.h>

#include "QzWinState.h"

// The class every main window is made of.
extern const char kMainWindowClass[];  // "QzLib"

int InitializeWindowSystem();  // 0, or -1 (second instance, class or window failure)
int TerminateWindowSystem();   // 0

// 1 window mode, 0 full screen; before start-up it only records the mode. The result of
// the screen-mode change, or 0.
int ChangeWindowMode(int flag);
int SetWindowModeFlag(int flag);  // 0
int ApplyWindowStyle();           // 0
// Keeps at most 255 bytes of the text, cut between characters; 0.
int SetWindowCaption(const char* text);
int SetWindowStyleIndex(int index);   // 0, or -1 outside 0-6
int SetWindowResizableFlag(int flag);  // 0
int FitWindowToScreenSize();          // 0
int HandleWindowMove(int lParam);     // 0

// The style and ex-style the main window has in each mode: the table row of the style
// index with its extra bits.
DWORD GetWindowModeStyle();
DWORD GetWindowModeExStyle();
DWORD GetFullScreenStyle();
DWORD GetFullScreenExStyle();

// ---- readers -------------------------------------------------------------------------------
HWND GetMainWindowHwnd();  // null before creation
int IsWindowMode();
int IsWindowActive();
int IsMouseVisible();
int IsCloseMessagePosted();
int HasWindowRegion();
int GetDesktopScreenMode(int* width, int* height, int* colorBitDepth);  // 0
int GetWindowClientRect(RECT* rect);  // 0: on the desktop, below the toolbar
double GetWindowScale();               // a scale not above 0 becomes 1.0
int CheckVSyncWaitAllowed();           // 1
